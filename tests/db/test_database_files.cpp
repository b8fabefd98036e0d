#include "db/database_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "db/odbc_database.h"
#include "support/test_support.h"
#include "text/encodings.h"

namespace lanque {
namespace {

namespace fs = std::filesystem;

fs::path Folder(const fs::path& f) { return f / test::Utf8(u8"数据库文件"); }

// Rows of one query, each column read as text.
std::vector<std::vector<Text>> Rows(const fs::path& file, const std::string& query) {
    std::vector<std::vector<Text>> rows;
    OdbcDatabase db;
    if (!db.ConnectAccess(file)) {
        ADD_FAILURE() << "cannot open " << file;
        return rows;
    }
    StatementHandle st = db.OpenQuery(query, 0);
    EXPECT_NE(st, nullptr) << query;
    while (st && db.FetchNext(st)) {
        std::vector<Text> row;
        for (int i = 0; i < db.ColumnCount(st); ++i) {
            row.push_back(db.TextAt(st, i));
        }
        rows.push_back(row);
    }
    db.FreeStatement(st);
    return rows;
}

class DatabaseFilesTest : public ::testing::Test {
protected:
    test::TempDir m_dir;
    fs::path m_f = m_dir.path();
    CriticalSection m_lock;
};

TEST_F(DatabaseFilesTest, PathsAreTheProgramFoldersOwn) {
    EXPECT_EQ(DatabaseFolderPath(m_f), Folder(m_f));
    EXPECT_EQ(DeduplicationDatabasePath(m_f), Folder(m_f) / "PageUrl.mdb");
    EXPECT_EQ(KeywordFolderPath(m_f, "关键词"), Folder(m_f) / test::Utf8(u8"关键词"));
}

TEST_F(DatabaseFilesTest, RecordingCreatesTheFolderAndRejectsADuplicate) {
    ASSERT_FALSE(fs::exists(Folder(m_f)));
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "http://127.0.0.1/s?id=1"), 1);
    EXPECT_TRUE(fs::exists(Folder(m_f) / "PageUrl.mdb"));
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "http://127.0.0.1/s?id=1"), 0);
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "http://127.0.0.1/s?id=2"), 1);
    // The file is an ordinary SQLite file holding UTF-8 and only the expected entries.
    EXPECT_EQ(Rows(DeduplicationDatabasePath(m_f), "select Id, Urls from PageUrl order by Id"),
              (std::vector<std::vector<Text>>{{"1", "http://127.0.0.1/s?id=1"}, {"2", "http://127.0.0.1/s?id=2"}}));
    EXPECT_FALSE(m_lock.TryEnter() == false);  // the lock was released on every path
    m_lock.Leave();
}

TEST_F(DatabaseFilesTest, ClearingEmptiesTheTableAndRestartsTheCounter) {
    for (const char* a : {"a", "b", "c"}) {
        ASSERT_EQ(RecordArticleAddress(m_f, m_lock, a), 1);
    }
    ClearResult cleared = ClearArticleAddresses(m_f, m_lock);
    EXPECT_TRUE(cleared.ok);
    EXPECT_EQ(cleared.message, "链接表记录清空_成功");
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "b"), 1);
    EXPECT_EQ(Rows(DeduplicationDatabasePath(m_f), "select Id, Urls from PageUrl"),
              (std::vector<std::vector<Text>>{{"1", "b"}}));
}

TEST_F(DatabaseFilesTest, ClearingBeforeAnythingWasRecordedSucceeds) {
    ClearResult cleared = ClearArticleAddresses(m_f, m_lock);
    EXPECT_TRUE(cleared.ok);
    EXPECT_EQ(cleared.message, "链接表记录清空_成功");
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "a"), 1);
}

TEST_F(DatabaseFilesTest, ADatabaseThatCannotOpenGivesMinusOneAndTheLinkMessage) {
    // A plain file where the database folder should be.
    ASSERT_TRUE(test::WriteFileBytes(Folder(m_f), "not a folder"));
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "a"), -1);
    EXPECT_EQ(StoreArticle(m_f, m_lock, "k", "t", "b", false), -1);
    ClearResult cleared = ClearArticleAddresses(m_f, m_lock);
    EXPECT_FALSE(cleared.ok);
    EXPECT_EQ(cleared.message, "链接表链接失败");
}

TEST_F(DatabaseFilesTest, AFileWithoutTheTableFailsTheStatement) {
    fs::create_directories(Folder(m_f));
    ASSERT_TRUE(test::WriteFileBytes(Folder(m_f) / "PageUrl.mdb", ""));  // an empty SQLite database
    EXPECT_EQ(RecordArticleAddress(m_f, m_lock, "a"), 0);
    EXPECT_FALSE(ClearArticleAddresses(m_f, m_lock).ok);
}

TEST_F(DatabaseFilesTest, StoredRowHoldsTheArticleAndTheFixedColumns) {
    const Text title = "岚雀标题·一";
    const Text body = "<p>正文内容</p>\r\n<p>第二段</p>";
    ASSERT_EQ(StoreArticle(m_f, m_lock, "关键词", title, body, false), 1);
    const fs::path file = Folder(m_f) / test::Utf8(u8"关键词") / "SpiderResult.mdb";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(Rows(file, "select * from Content"),
              (std::vector<std::vector<Text>>{{"1", "-1", "0", title, body, "", "", ""}}));
    // The columns, in order, under their own names.
    OdbcDatabase db;
    ASSERT_TRUE(db.ConnectAccess(file));
    StatementHandle st = db.OpenQuery("select * from Content");
    std::vector<Text> names;
    for (int i = 0; i < db.ColumnCount(st); ++i) {
        names.push_back(db.ColumnName(st, i));
    }
    db.FreeStatement(st);
    EXPECT_EQ(names, (std::vector<Text>{"Id", "已采", "已发", "标题", "内容", "标题En", "内容En", "PageUrl"}));
    // Stored as UTF-8 text, readable by any SQLite tool.
    EXPECT_EQ(Rows(file, "select hex(标题) from Content")[0][0].size(), 2 * GbkToUtf8(title).size());
}

TEST_F(DatabaseFilesTest, PerKeywordAndSharedResultFiles) {
    bool shared = false;
    int reads = 0;
    auto useShared = [&] {
        ++reads;
        return shared;
    };
    ASSERT_EQ(StoreArticle(m_f, m_lock, "a", "ta", "ba", useShared), 1);
    ASSERT_EQ(StoreArticle(m_f, m_lock, "b", "tb", "bb", useShared), 1);
    EXPECT_EQ(reads, 2);  // read at the moment of each store
    EXPECT_TRUE(fs::exists(Folder(m_f) / "a" / "SpiderResult.mdb"));
    EXPECT_TRUE(fs::exists(Folder(m_f) / "b" / "SpiderResult.mdb"));
    EXPECT_FALSE(fs::exists(Folder(m_f) / "SpiderResult.mdb"));

    shared = true;
    ASSERT_EQ(StoreArticle(m_f, m_lock, "c", "tc", "bc", useShared), 1);
    ASSERT_EQ(StoreArticle(m_f, m_lock, "d", "td", "bd", useShared), 1);
    EXPECT_TRUE(fs::is_directory(Folder(m_f) / "c"));
    EXPECT_TRUE(fs::is_directory(Folder(m_f) / "d"));
    EXPECT_FALSE(fs::exists(Folder(m_f) / "c" / "SpiderResult.mdb"));
    EXPECT_EQ(Rows(Folder(m_f) / "SpiderResult.mdb", "select 标题 from Content order by Id"),
              (std::vector<std::vector<Text>>{{"tc"}, {"td"}}));
    EXPECT_EQ(Rows(Folder(m_f) / "a" / "SpiderResult.mdb", "select 标题 from Content"),
              (std::vector<std::vector<Text>>{{"ta"}}));
}

TEST_F(DatabaseFilesTest, QuotesAndInjectionTextsAreStoredVerbatim) {
    const Text texts[] = {"it's", "'); drop table Content; --", "\"双引号\"与'单引号'", "a'); delete from PageUrl; --"};
    for (const Text& t : texts) {
        EXPECT_EQ(RecordArticleAddress(m_f, m_lock, t), 1) << t;
        EXPECT_EQ(StoreArticle(m_f, m_lock, "k", t, t + "'", false), 1) << t;
    }
    auto urls = Rows(DeduplicationDatabasePath(m_f), "select Urls from PageUrl order by Id");
    auto content = Rows(Folder(m_f) / "k" / "SpiderResult.mdb", "select 标题, 内容 from Content order by Id");
    ASSERT_EQ(urls.size(), 4u);
    ASSERT_EQ(content.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(urls[i][0], texts[i]);
        EXPECT_EQ(content[i], (std::vector<Text>{texts[i], texts[i] + "'"}));
    }
}

TEST_F(DatabaseFilesTest, KeywordsThatWouldLeaveTheFolderAreRefused) {
    const std::string keywords[] = {"", "   ", "　", ".", "..", "a/b", "../x", "/", std::string("a\0b", 3),
                                    // a lone lead byte at the end is dropped by the conversion, leaving ".."
                                    "..\x81"};
    for (const std::string& k : keywords) {
        EXPECT_EQ(StoreArticle(m_f, m_lock, k, "t", "b", false), -1) << k;
        EXPECT_EQ(StoreArticle(m_f, m_lock, k, "t", "b", true), -1) << k;
        EXPECT_FALSE(KeywordFolderPath(m_f, k).has_value()) << k;
    }
    EXPECT_TRUE(fs::is_empty(m_f));
    // Dots and blanks inside a name are ordinary characters.
    EXPECT_EQ(StoreArticle(m_f, m_lock, "...", "t", "b", false), 1);
    EXPECT_EQ(StoreArticle(m_f, m_lock, " a b ", "t", "b", false), 1);
    EXPECT_TRUE(fs::exists(Folder(m_f) / "..." / "SpiderResult.mdb"));
}

TEST_F(DatabaseFilesTest, ManyThreadsRecordingAtOnceLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kEach = 25;
    std::atomic<int> inserted{0};
    std::atomic<int> duplicates{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                // Every thread records its own addresses and the shared ones.
                for (const std::string& a : {std::to_string(t) + "-" + std::to_string(i), "shared-" + std::to_string(i)}) {
                    int r = RecordArticleAddress(m_f, m_lock, a);
                    (r == 1 ? inserted : duplicates)++;
                    EXPECT_NE(r, -1);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(inserted.load(), kThreads * kEach + kEach);
    EXPECT_EQ(duplicates.load(), (kThreads - 1) * kEach);
    EXPECT_EQ(Rows(DeduplicationDatabasePath(m_f), "select count(*), count(distinct Urls), max(Id) from PageUrl"),
              (std::vector<std::vector<Text>>{{"225", "225", "225"}}));
}

}  // namespace
}  // namespace lanque
