#include "db/database_files.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <system_error>

#include "db/odbc_database.h"
#include "db/schema_sql.h"
#include "text/cutters.h"
#include "text/encodings.h"

namespace lanque {

namespace {

std::filesystem::path Utf8Name(std::string_view gbk) { return std::filesystem::path(GbkToUtf8(gbk)); }

std::filesystem::path ResultFileName() { return "SpiderResult.mdb"; }

// Writes a new database file holding the schema: built under a temporary name beside it and renamed into
// place, so an interrupted creation never leaves a file without its tables.
bool CreateDatabaseFile(const std::filesystem::path& file, const char* schemaSql) {
    static std::atomic<unsigned> serial{0};
    std::filesystem::path temporary = file;
    temporary += ".creating-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
                  SQLITE_OK &&
              sqlite3_exec(db, schemaSql, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    std::error_code error;
    if (ok) {
        std::filesystem::rename(temporary, file, error);
        ok = !error;
    }
    if (!ok) {
        std::filesystem::remove(temporary, error);
    }
    return ok;
}

// Folder, file and connection: the steps every operation takes before its statement. False when the
// database cannot be opened.
bool OpenDatabase(OdbcDatabase& db, const std::filesystem::path& folder, const std::filesystem::path& file,
                  const char* schemaSql) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        return false;
    }
    if (!std::filesystem::exists(file, error) && !CreateDatabaseFile(file, schemaSql)) {
        return false;
    }
    return db.ConnectAccess(file, Text(), false);
}

}  // namespace

std::filesystem::path DatabaseFolderPath(const std::filesystem::path& programFolder) {
    return programFolder / Utf8Name("数据库文件");
}

std::filesystem::path DeduplicationDatabasePath(const std::filesystem::path& programFolder) {
    return DatabaseFolderPath(programFolder) / "PageUrl.mdb";
}

std::optional<std::filesystem::path> KeywordFolderPath(const std::filesystem::path& programFolder,
                                                       std::string_view keyword) {
    if (Trim(keyword).empty() || keyword.find('/') != std::string_view::npos ||
        keyword.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // Judged on the name as the file system sees it: bytes the conversion drops could leave "." or "..".
    std::string name = GbkToUtf8(keyword);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return DatabaseFolderPath(programFolder) / std::filesystem::path(name);
}

int RecordArticleAddress(const std::filesystem::path& programFolder, CriticalSection& databaseLock,
                         std::string_view address) {
    OdbcDatabase db;
    std::lock_guard<CriticalSection> hold(databaseLock);
    if (!OpenDatabase(db, DatabaseFolderPath(programFolder), DeduplicationDatabasePath(programFolder),
                      PageUrlSchemaSql())) {
        db.Close();
        return -1;
    }
    long long rows = 0;
    bool inserted = db.ExecuteWithTexts("insert into `PageUrl` (`Urls`) values (?)", {Text(address)}, &rows);
    db.Close();
    return inserted ? 1 : 0;
}

int StoreArticle(const std::filesystem::path& programFolder, CriticalSection& databaseLock, std::string_view keyword,
                 std::string_view title, std::string_view body, const std::function<bool()>& useSharedFile) {
    OdbcDatabase db;
    std::lock_guard<CriticalSection> hold(databaseLock);
    std::optional<std::filesystem::path> keywordFolder = KeywordFolderPath(programFolder, keyword);
    if (!keywordFolder) {
        return -1;
    }
    std::error_code error;
    std::filesystem::create_directories(*keywordFolder, error);
    if (!std::filesystem::is_directory(*keywordFolder, error)) {
        return -1;
    }
    const bool shared = useSharedFile && useSharedFile();
    const std::filesystem::path folder = shared ? DatabaseFolderPath(programFolder) : *keywordFolder;
    if (!OpenDatabase(db, folder, folder / ResultFileName(), SpiderResultSchemaSql())) {
        db.Close();
        return -1;
    }
    long long rows = 0;
    bool stored = db.ExecuteWithTexts(
        "insert into `Content` (`标题`,`内容`,`标题En`,`内容En`,`PageUrl`,`已采`,`已发`) values (?,?,'','','','-1','0')",
        {Text(title), Text(body)}, &rows);
    db.Close();
    return stored ? 1 : 0;
}

int StoreArticle(const std::filesystem::path& programFolder, CriticalSection& databaseLock, std::string_view keyword,
                 std::string_view title, std::string_view body, bool useSharedFile) {
    return StoreArticle(programFolder, databaseLock, keyword, title, body,
                        std::function<bool()>([useSharedFile] { return useSharedFile; }));
}

ClearResult ClearArticleAddresses(const std::filesystem::path& programFolder, CriticalSection& databaseLock) {
    OdbcDatabase db;
    std::lock_guard<CriticalSection> hold(databaseLock);
    if (!OpenDatabase(db, DatabaseFolderPath(programFolder), DeduplicationDatabasePath(programFolder),
                      PageUrlSchemaSql())) {
        db.Close();
        return {false, "链接表链接失败"};
    }
    // The counter of an AUTOINCREMENT table lives in sqlite_sequence; without its row the next Id is 1.
    // Deleting nothing reports "no data", so success is judged by the state left behind.
    db.Execute("delete from `PageUrl`");
    db.Execute("delete from sqlite_sequence where name = 'PageUrl'");
    bool reset = db.TableRowCount("`PageUrl`") == 0 &&
                 db.TableRowCount("sqlite_sequence", Text("where name = 'PageUrl'")) == 0;
    db.Close();
    return {reset, reset ? Text("链接表记录清空_成功") : Text("链接表记录清空_失败")};
}

}  // namespace lanque
