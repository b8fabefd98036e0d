#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "concurrency/critical_section.h"
#include "text/text.h"

// The collector's database files under the program folder F (a UTF-8 path):
//   F/数据库文件/PageUrl.mdb              de-duplication database, table PageUrl
//   F/数据库文件/<keyword>/SpiderResult.mdb result database of one keyword, table Content
//   F/数据库文件/SpiderResult.mdb          the shared result database
// They are SQLite files; a missing one is created from its schema. Every operation opens and closes its
// own connection while holding the database lock, so one statement runs at a time in the whole program.
// Keywords, addresses, titles and bodies are GBK texts; values are bound as parameters, never pasted.
namespace lanque {

std::filesystem::path DatabaseFolderPath(const std::filesystem::path& programFolder);
std::filesystem::path DeduplicationDatabasePath(const std::filesystem::path& programFolder);
// F/数据库文件/<keyword>; nullopt for a keyword that would name a place outside the database folder
// (empty after trimming blanks, ".", "..", holding "/" or NUL).
std::optional<std::filesystem::path> KeywordFolderPath(const std::filesystem::path& programFolder,
                                                       std::string_view keyword);

// 1 inserted, 0 not inserted (already present, or the statement failed), -1 the database did not open.
int RecordArticleAddress(const std::filesystem::path& programFolder, CriticalSection& databaseLock,
                         std::string_view address);

// Stores one article row in the keyword's result database, or in the shared one when useSharedFile
// says so at the moment of storing (the keyword's folder is created either way).
// 1 stored, 0 statement failed, -1 the database did not open or the keyword was refused.
int StoreArticle(const std::filesystem::path& programFolder, CriticalSection& databaseLock, std::string_view keyword,
                 std::string_view title, std::string_view body, const std::function<bool()>& useSharedFile);
int StoreArticle(const std::filesystem::path& programFolder, CriticalSection& databaseLock, std::string_view keyword,
                 std::string_view title, std::string_view body, bool useSharedFile);

struct ClearResult {
    bool ok = false;
    // "链接表记录清空_成功", "链接表记录清空_失败" or "链接表链接失败" (GBK).
    Text message;
};

// Empties the de-duplication table and restarts its Id counter at 1.
ClearResult ClearArticleAddresses(const std::filesystem::path& programFolder, CriticalSection& databaseLock);

}  // namespace lanque
