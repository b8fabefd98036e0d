#include "db/odbc_database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace lanque {
namespace {

class OdbcDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file = m_dir.path() / "t.db";
        // Without NoCreat the driver creates the file; the object under test then opens it as usual.
        OdbcDatabase creator;
        ASSERT_TRUE(creator.Connect("DRIVER=SQLite3;Database=" + m_file.string() + ";"));
        ASSERT_TRUE(creator.Execute("create table u (Id integer primary key autoincrement, Urls text)"));
        ASSERT_TRUE(creator.Execute("create unique index u_urls on u (Urls)"));
        ASSERT_TRUE(creator.Execute("create table t (x text, y blob, n integer, f real)"));
        ASSERT_TRUE(creator.Execute("create table 表 (标题 text)"));
        ASSERT_TRUE(creator.Close());
        ASSERT_TRUE(m_db.ConnectAccess(m_file, Text(), false));
    }

    test::TempDir m_dir;
    std::filesystem::path m_file;
    OdbcDatabase m_db;
};

TEST(OdbcDatabase, ExecuteBeforeConnectFails) {
    OdbcDatabase db;
    long long rows = 7;
    EXPECT_FALSE(db.Execute("select 1", &rows));
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(db.OpenQuery("select 1"), nullptr);
    EXPECT_EQ(db.TableRowCount("t"), -1);
    EXPECT_FALSE(db.Close());
}

TEST(OdbcDatabase, ConnectAccessOnMissingFileFailsAndCreatesNothing) {
    test::TempDir dir;
    OdbcDatabase db;
    EXPECT_FALSE(db.ConnectAccess(dir.path() / "missing.mdb"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.mdb"));
    Text states, messages;
    db.LastError(states, messages);
    EXPECT_FALSE(states.empty());
}

TEST(OdbcDatabase, ConnectSqlServerWithoutSuchDriverFails) {
    OdbcDatabase db;
    EXPECT_FALSE(db.ConnectSqlServer("127.0.0.1", "db"));
    EXPECT_FALSE(db.ConnectSqlServer("127.0.0.1", "db", Text("sa"), Text("pw")));
    std::vector<Text> list{"stale"};
    EXPECT_EQ(db.ListServers(list), 0);
    EXPECT_TRUE(list.empty());
}

TEST_F(OdbcDatabaseTest, InsertReportsOneRowAndUniqueViolationFails) {
    long long rows = 0;
    EXPECT_TRUE(m_db.Execute("insert into u (Urls) values ('a')", &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_FALSE(m_db.Execute("insert into u (Urls) values ('a')", &rows));
    EXPECT_EQ(m_db.TableRowCount("u"), 1);
}

TEST_F(OdbcDatabaseTest, SecondStatementInOneExecuteIsRefused) {
    EXPECT_FALSE(m_db.Execute("insert into u (Urls) values ('b'); drop table t; --')"));
    EXPECT_EQ(m_db.TableRowCount("t"), 0);
}

TEST_F(OdbcDatabaseTest, TableRowCount) {
    EXPECT_EQ(m_db.TableRowCount("t"), 0);
    ASSERT_TRUE(m_db.Execute("insert into u (Urls) values ('a')"));
    ASSERT_TRUE(m_db.Execute("insert into u (Urls) values ('b')"));
    EXPECT_EQ(m_db.TableRowCount("u"), 2);
    EXPECT_EQ(m_db.TableRowCount("u", Text("where Urls = 'b'")), 1);
    EXPECT_EQ(m_db.TableRowCount("no_such_table"), -1);
}

TEST_F(OdbcDatabaseTest, TextAtReadsNullAsEmptyAndLongTextWhole) {
    const std::string big(1000, 'x');
    ASSERT_TRUE(m_db.Execute("insert into t (x) values (NULL)"));
    ASSERT_TRUE(m_db.Execute("insert into t (x) values ('" + big + "')"));
    // A GBK text longer than one piece, so a two-byte character is split between pieces on the wire.
    Text gbk;
    for (int i = 0; i < 300; ++i) {
        gbk += "岚雀";
    }
    ASSERT_TRUE(m_db.Execute("insert into t (x) values ('" + gbk + "')"));
    StatementHandle st = m_db.OpenQuery("select x from t order by rowid");
    ASSERT_NE(st, nullptr);
    ASSERT_TRUE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.TextAt(st, 0), "");
    ASSERT_TRUE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.TextAt(st, 0), big);
    ASSERT_TRUE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.TextAt(st, 0), gbk);
    EXPECT_FALSE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.TextAt(nullptr, 0), "");
    EXPECT_TRUE(m_db.FreeStatement(st));
}

TEST_F(OdbcDatabaseTest, GbkTextIsStoredAsUtf8AndReadBackAsGbk) {
    const Text title = "标题：岚雀AI原创";
    ASSERT_TRUE(m_db.ExecuteWithTexts("insert into 表 (标题) values (?)", {title}));
    StatementHandle st = m_db.OpenQuery("select 标题, hex(标题) from 表");
    ASSERT_NE(st, nullptr);
    ASSERT_TRUE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.ColumnName(st, 0), "标题");
    EXPECT_EQ(m_db.ColumnIndex(st, "标题"), 0);
    EXPECT_EQ(m_db.TextByName(st, "标题"), title);
    std::string hex;
    for (unsigned char c : test::Utf8(u8"标题：岚雀AI原创")) {
        static const char kHex[] = "0123456789ABCDEF";
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    EXPECT_EQ(m_db.TextAt(st, 1), hex);
    m_db.FreeStatement(st);
}

TEST_F(OdbcDatabaseTest, BinaryParametersAndTypedReads) {
    Bytes blob(30000, '\0');
    for (std::size_t i = 0; i < blob.size(); ++i) {
        blob[i] = static_cast<char>(i * 7);
    }
    long long rows = 0;
    ASSERT_TRUE(m_db.ExecuteWithParams("insert into t (y, x) values (?, ?)", &rows, blob, Bytes("plain")));
    EXPECT_EQ(rows, 1);
    ASSERT_TRUE(m_db.Execute("update t set n = 42, f = 1.5"));
    StatementHandle st = m_db.OpenQuery("select x, y, n, f from t");
    ASSERT_NE(st, nullptr);
    ASSERT_TRUE(m_db.FetchNext(st));
    EXPECT_EQ(m_db.ColumnCount(st), 4);
    EXPECT_EQ(m_db.BytesAt(st, 1), blob);
    EXPECT_EQ(m_db.IntByName(st, "n"), 42);
    EXPECT_DOUBLE_EQ(m_db.DoubleByName(st, "f"), 1.5);
    EXPECT_FLOAT_EQ(m_db.FloatAt(st, 3), 1.5f);
    EXPECT_EQ(m_db.BytesByName(st, "x"), "plain");
    EXPECT_EQ(m_db.ColumnIndex(st, "N"), -1);
    EXPECT_EQ(m_db.IntByName(st, "missing"), 0);
    EXPECT_EQ(m_db.ColumnType(st, 2), SQL_INTEGER);
    EXPECT_TRUE(m_db.ColumnNullable(st, 0));
    EXPECT_EQ(m_db.ColumnName(st, 9), "");
    m_db.FreeStatement(st);
}

TEST_F(OdbcDatabaseTest, PreparedStatementWithBoundBytes) {
    StatementHandle st = m_db.Prepare("insert into u (Urls) values (?)");
    ASSERT_NE(st, nullptr);
    const Bytes value = "it's";
    ASSERT_TRUE(m_db.BindBytes(st, 1, value));
    EXPECT_TRUE(m_db.ExecutePrepared(st));
    EXPECT_FALSE(m_db.ExecutePrepared(st));  // same address again: unique index
    EXPECT_TRUE(m_db.FreeStatement(st));
    EXPECT_EQ(m_db.TableRowCount("u", Text("where Urls = cast(x'69742773' as blob)")), 1);
    // The driver may defer checking a statement to its execution; either way it does not succeed.
    StatementHandle bad = m_db.Prepare("not sql");
    EXPECT_FALSE(bad && m_db.ExecutePrepared(bad));
    m_db.FreeStatement(bad);
}

TEST_F(OdbcDatabaseTest, ScrollFetches) {
    for (const char* v : {"a", "b", "c"}) {
        ASSERT_TRUE(m_db.Execute(std::string("insert into u (Urls) values ('") + v + "')"));
    }
    StatementHandle st = m_db.OpenQuery("select Urls from u order by Id");
    ASSERT_NE(st, nullptr);
    ASSERT_TRUE(m_db.FetchLast(st));
    EXPECT_EQ(m_db.TextAt(st, 0), "c");
    ASSERT_TRUE(m_db.FetchPrior(st));
    EXPECT_EQ(m_db.TextAt(st, 0), "b");
    ASSERT_TRUE(m_db.FetchFirst(st));
    EXPECT_EQ(m_db.TextAt(st, 0), "a");
    ASSERT_TRUE(m_db.FetchAbsolute(st, 3));
    EXPECT_EQ(m_db.TextAt(st, 0), "c");
    EXPECT_FALSE(m_db.FetchNext(st));
    m_db.FreeStatement(st);
}

TEST_F(OdbcDatabaseTest, RollbackAndCommit) {
    ASSERT_TRUE(m_db.BeginTransaction());
    ASSERT_TRUE(m_db.Execute("insert into u (Urls) values ('gone')"));
    EXPECT_TRUE(m_db.Rollback());
    EXPECT_EQ(m_db.TableRowCount("u"), 0);
    ASSERT_TRUE(m_db.BeginTransaction());
    ASSERT_TRUE(m_db.Execute("insert into u (Urls) values ('kept')"));
    EXPECT_TRUE(m_db.Commit());
    ASSERT_TRUE(m_db.Close());
    ASSERT_TRUE(m_db.ConnectAccess(m_file));
    EXPECT_EQ(m_db.TableRowCount("u"), 1);
}

TEST_F(OdbcDatabaseTest, CloseTwiceAndReconnect) {
    EXPECT_TRUE(m_db.Close());
    EXPECT_EQ(m_db.ConnectionHandle(), nullptr);
    EXPECT_FALSE(m_db.Close());
    EXPECT_FALSE(m_db.Execute("select 1"));
    EXPECT_TRUE(m_db.ConnectAccess(m_file));
    EXPECT_TRUE(m_db.Execute("select 1"));
}

TEST(OdbcDatabase, ConnectTimeout) {
    OdbcDatabase db;
    EXPECT_TRUE(db.SetConnectTimeout(5));
    EXPECT_EQ(db.ConnectTimeout(), 5);
    EXPECT_FALSE(db.SetConnectTimeout(-1));
}

TEST(OdbcDatabase, PathWithSemicolonConnects) {
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "a;b {c}.db";
    {
        OdbcDatabase creator;
        ASSERT_TRUE(creator.Connect("DRIVER=SQLite3;Database=file:" + dir.str() + "/a%3Bb%20%7Bc%7D.db;"));
        ASSERT_TRUE(creator.Execute("create table q (a)"));
    }
    ASSERT_TRUE(std::filesystem::exists(file));
    OdbcDatabase db;
    ASSERT_TRUE(db.ConnectAccess(file));
    EXPECT_EQ(db.TableRowCount("q"), 0);
    EXPECT_FALSE(db.ConnectAccess(dir.path() / "a;missing.db"));
}

}  // namespace
}  // namespace lanque
