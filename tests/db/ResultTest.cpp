// Stored results walked row by row, every field read as text: NULLs, binary
// data with zero bytes, Windows-1250 text, long texts, many rows, fields by
// name, and results shared by copies.
#include "db/DbTestSupport.h"

#include <zep3/db/detail/ClientLibrary.h>

using namespace dbtest;
using zep3::detail::ClientLibraryReferences;

namespace {

class MySQLResult : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ConnectTestUser(connection)); }
    CMySQLConnection connection;
};

} // namespace

TEST_F(MySQLResult, FieldsAsTextWithNullsAndZeroBytes) {
    std::string bytes, hex; // every byte value once, and as a hex literal
    for (int b = 0; b < 256; ++b) {
        bytes += char(b);
        hex += "0123456789ABCDEF"[b >> 4];
        hex += "0123456789ABCDEF"[b & 15];
    }
    ASSERT_TRUE(connection.DoQuery(
        ("SELECT 'text' AS a, NULL AS b, '' AS c, X'" + hex + "' AS d, NULL AS e, NULL AS f, X'0000' AS g").c_str()));
    CMySQLResult result = connection.GetResult();
    EXPECT_EQ(result.GetRowCount(), 1u);
    ASSERT_EQ(result.GetFieldCount(), 7);
    EXPECT_EQ(result.GetField(0), ""); // before the first row

    ASSERT_TRUE(result.NextRow());
    EXPECT_EQ(result.GetField(0), "text");
    EXPECT_EQ(result[1], "");
    EXPECT_EQ(result[2], "");
    EXPECT_EQ(result.GetField(3).str(), bytes); // NULLs follow it
    EXPECT_EQ(result.GetField("g").str(), std::string(2, '\0'));
    EXPECT_EQ(result["d"].str(), bytes);
    EXPECT_EQ(result["D"], "");      // names match case-sensitively
    EXPECT_EQ(result["nosuch"], ""); // and a missing one is no error
    EXPECT_EQ(result.GetField(7), "");
    EXPECT_EQ(result.GetField(-1), "");

    EXPECT_FALSE(result.NextRow());
    EXPECT_EQ(result.GetField(0), "");
}

TEST_F(MySQLResult, Windows1250TextKeepsItsBytes) {
    const std::string polish = "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"; // Zażółć gęślą jaźń
    ASSERT_TRUE(connection.DoQuery("SET NAMES cp1250"));
    ASSERT_TRUE(connection.DoQuery("CREATE TEMPORARY TABLE t (txt VARCHAR(40) CHARACTER SET cp1250)"));
    ASSERT_TRUE(connection.DoQuery(("INSERT INTO t VALUES ('" + polish + "')").c_str()));
    // The server took the bytes as Windows-1250 letters.
    const auto rows =
        Rows(connection, "SELECT txt, HEX(CONVERT(txt USING utf8mb4)), CHAR_LENGTH(txt) FROM t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], polish);
    EXPECT_EQ(rows[0][1], "5A61C5BCC3B3C582C4872067C499C59B6CC485206A61C5BAC584");
    EXPECT_EQ(rows[0][2], "17");
}

TEST_F(MySQLResult, LongTextsBothWays) {
    std::string text(1 << 20, ' ');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(connection.DoQuery("CREATE TEMPORARY TABLE t (txt LONGTEXT)"));
    ASSERT_TRUE(connection.DoQuery(("INSERT INTO t VALUES ('" + text + "')").c_str()));
    ASSERT_TRUE(connection.DoQuery("SELECT txt, REPEAT('0123456789', 800000) FROM t"));
    CMySQLResult result = connection.GetResult();
    ASSERT_TRUE(result.NextRow());
    EXPECT_TRUE(result.GetField(0).str() == text);
    const CString generated = result.GetField(1);
    ASSERT_EQ(generated.GetLength(), 8000000);
    EXPECT_EQ(generated.Right(12), "890123456789");
}

TEST_F(MySQLResult, ManyRowsWalkedOneByOne) {
    constexpr int kRows = 50000;
    ASSERT_TRUE(connection.DoQuery("SELECT seq, CONCAT('row ', seq) AS label, IF(seq % 7 = 0, NULL, seq * 2) "
                                   "AS twice FROM seq_1_to_50000"));
    CMySQLResult result = connection.GetResult();
    EXPECT_EQ(result.GetRowCount(), ULONGLONG(kRows));
    int rows = 0, wrong = 0;
    while (result.NextRow()) {
        ++rows;
        const int twice = rows % 7 ? 2 * rows : 0;
        wrong += result.GetField(0).str() != std::to_string(rows) ||
                 result.GetField("label").str() != "row " + std::to_string(rows) ||
                 result.GetField(2).str() != (twice ? std::to_string(twice) : "");
    }
    EXPECT_EQ(rows, kRows);
    EXPECT_EQ(wrong, 0);
}

// The copies walk one result, which outlives its connection and keeps the library loaded.
TEST_F(MySQLResult, CopiesShareOneStoredResultFreedByTheLast) {
    ASSERT_TRUE(connection.DoQuery("SELECT seq FROM seq_1_to_5"));
    CMySQLResult result = connection.GetResult();
    ASSERT_TRUE(result.NextRow());
    {
        CMySQLResult copy(result), assigned;
        assigned = copy;
        EXPECT_EQ(copy.GetField(0), "1"); // the current row comes along
        ASSERT_TRUE(assigned.NextRow());
        EXPECT_EQ(assigned.GetField(0), "2");
    }
    connection.Release();
    EXPECT_EQ(ClientLibraryReferences(), 1);
    ASSERT_TRUE(result.NextRow());
    EXPECT_EQ(result.GetField(0), "3");
    CMySQLResult empty;
    result = empty;
    EXPECT_EQ(result.GetMYSQL_RES(), nullptr);
    EXPECT_FALSE(result.NextRow());
    EXPECT_EQ(result["seq"], "");
    EXPECT_EQ(ClientLibraryReferences(), 0);
    EXPECT_EQ(LoadedClientCopies(), 0);
}
