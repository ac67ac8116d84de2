// Stored results walked row by row, every field read as text: NULLs, binary
// data with zero bytes, Windows-1250 text, long texts, many rows, fields by
// name, and results shared by copies.
#include "db/DbTestSupport.h"

#include <zep3/db/detail/ClientLibrary.h>

using namespace dbtest;
using zep3::detail::ClientLibraryReferences;

namespace {

// Every byte value once, as the bytes and as a hex literal.
std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    return bytes;
}

std::string HexLiteral(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex = "X'";
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex + "'";
}

} // namespace

TEST(MySQLResult, FieldsAsTextWithNullsAndZeroBytes) {
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
    const std::string bytes = AllBytes();
    ASSERT_TRUE(connection.DoQuery(("SELECT 'text' AS a, NULL AS b, '' AS c, " + HexLiteral(bytes) +
                                    " AS d, NULL AS e, NULL AS f, X'0000' AS g")
                                       .c_str()));
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

TEST(MySQLResult, Windows1250TextKeepsItsBytes) {
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
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

TEST(MySQLResult, LongTextsBothWays) {
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
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

TEST(MySQLResult, ManyRowsWalkedOneByOne) {
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
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

TEST(MySQLResult, CopiesShareOneStoredResultFreedByTheLast) {
    CMySQLResult empty, emptyCopy(empty);
    EXPECT_FALSE(emptyCopy.NextRow());
    EXPECT_EQ(emptyCopy.GetRowCount(), 0u);
    EXPECT_EQ(emptyCopy.GetFieldCount(), 0);
    EXPECT_EQ(emptyCopy.GetField(0), "");
    EXPECT_EQ(emptyCopy["seq"], "");

    CMySQLResult result;
    {
        CMySQLConnection connection;
        ASSERT_TRUE(ConnectTestUser(connection));
        ASSERT_TRUE(connection.DoQuery("SELECT seq FROM seq_1_to_5"));
        result = connection.GetResult();
        ASSERT_TRUE(result.NextRow());
        {
            CMySQLResult copy(result), assigned;
            assigned = copy;
            EXPECT_EQ(assigned.GetMYSQL_RES(), result.GetMYSQL_RES());
            EXPECT_EQ(copy.GetField(0), "1"); // the current row comes along
            ASSERT_TRUE(assigned.NextRow());  // and the copies walk one result
            EXPECT_EQ(assigned.GetField(0), "2");
        }
        ASSERT_TRUE(result.NextRow());
        EXPECT_EQ(result.GetField(0), "3");
    }
    // The result outlives its connection and keeps the library loaded.
    EXPECT_EQ(ClientLibraryReferences(), 1);
    ASSERT_TRUE(result.NextRow());
    EXPECT_EQ(result.GetField(0), "4");
    result = empty;
    EXPECT_EQ(result.GetMYSQL_RES(), nullptr);
    EXPECT_EQ(ClientLibraryReferences(), 0);
    EXPECT_EQ(LoadedClientCopies(), 0);
}
