// 100 000 rows fetched and every field read as text, through CMySQLConnection
// and CMySQLResult and through the client library's C interface directly, on
// one server of the benchmark's own. Client CPU time tells what the classes
// add; wall-clock time includes the server's share.
#include "db/MariaDbServer.h"
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <mysql.h>

namespace {

constexpr char kQuery[] = "SELECT id, name, amount, note FROM bench_rows";

// Walks the whole result; returns the bytes read, for checking both ways agree.
size_t ReadThroughClasses(CMySQLConnection& connection) {
    size_t bytes = 0;
    if (!connection.DoQuery(kQuery)) return 0;
    CMySQLResult result = connection.GetResult();
    const int fields = result.GetFieldCount();
    while (result.NextRow())
        for (int i = 0; i < fields; ++i) {
            const CString field = result.GetField(i);
            bytes += field.GetLength();
        }
    return bytes;
}

size_t ReadThroughCApi(MYSQL* connection) {
    size_t bytes = 0;
    if (mysql_query(connection, kQuery) != 0) return 0;
    MYSQL_RES* result = mysql_store_result(connection);
    const unsigned fields = mysql_num_fields(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        for (unsigned i = 0; i < fields; ++i) {
            const std::string field = row[i] ? std::string(row[i], lengths[i]) : std::string();
            bytes += field.size();
        }
    }
    mysql_free_result(result);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    dbtest::MariaDbServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "the benchmark's server did not start:\n%s", server.Logs().c_str());
        return 1;
    }
    server.SetClientDefaults();

    CMySQLConnection ours;
    MYSQL* peer = mysql_init(nullptr);
    if (!ours.Init("") || !ours.Connect("localhost", dbtest::kUser, dbtest::kPassword, dbtest::kDatabase) ||
        !mysql_real_connect(peer, "localhost", dbtest::kUser, dbtest::kPassword, dbtest::kDatabase, 0,
                            nullptr, 0) ||
        !ours.DoQuery("CREATE TABLE bench_rows (id INT PRIMARY KEY, name VARCHAR(32), amount DECIMAL(12, 2), "
                      "note VARCHAR(64) NULL)") ||
        !ours.DoQuery("INSERT INTO bench_rows SELECT seq, CONCAT('name ', seq), seq * 1.25, "
                      "IF(seq % 5 = 0, NULL, REPEAT('n', seq % 40)) FROM seq_1_to_100000")) {
        std::fprintf(stderr, "cannot set up the benchmark table: %s\n", mysql_error(peer));
        return 1;
    }
    const size_t expected = ReadThroughCApi(peer);
    if (expected == 0 || ReadThroughClasses(ours) != expected) {
        std::fprintf(stderr, "the classes and the C interface read different results\n");
        return 1;
    }

    const benchsupport::Body classes = [&](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(ReadThroughClasses(ours));
    };
    const benchsupport::Body cApi = [&](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(ReadThroughCApi(peer));
    };
    benchsupport::RunPairs(argc, argv,
                           {{"100000 rows as text", classes, "C client API", cApi},
                            {"100000 rows as text, wall clock", classes, "C client API", cApi, benchsupport::Timing::Real}});
    mysql_close(peer);
    return 0;
}
