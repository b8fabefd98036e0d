// RecordArticleAddress (a fresh connection per address) against the same inserts through the sqlite3 C API
// opening and closing the file each time, and against one connection kept open. Rates are per wall-clock
// second: the file system's syncs are part of the cost.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "concurrency/critical_section.h"
#include "db/database_files.h"
#include "db/odbc_database.h"
#include "support/test_support.h"

namespace lanque {
namespace {

constexpr int kAddresses = 10000;

std::string Address(int i) { return "http://127.0.0.1/s?id=" + std::to_string(i); }

// The driver connects with synchronous NORMAL and the rollback journal (its defaults); the C API side sets
// the same per connection so both write alike.
int SynchronousAsSeenThroughOdbc(const std::filesystem::path& file) {
    OdbcDatabase db;
    if (!db.ConnectAccess(file)) {
        return -1;
    }
    StatementHandle st = db.OpenQuery("pragma synchronous", 0);
    int value = st && db.FetchNext(st) ? db.IntAt(st, 0) : -1;
    db.FreeStatement(st);
    return value;
}

void BM_RecordArticleAddress(benchmark::State& state) {
    test::TempDir dir;
    CriticalSection lock;
    int i = 0;
    for (auto _ : state) {
        if (RecordArticleAddress(dir.path(), lock, Address(i++)) != 1) {
            state.SkipWithError("insert failed");
            break;
        }
    }
    state.counters["synchronous"] = SynchronousAsSeenThroughOdbc(DeduplicationDatabasePath(dir.path()));
    state.SetItemsProcessed(state.iterations());
}

void BM_SqliteOpenInsertClose(benchmark::State& state) {
    test::TempDir dir;
    CriticalSection lock;
    // The same file and schema, created the program's way, then only the C API touches it.
    RecordArticleAddress(dir.path(), lock, "seed");
    const std::string file = DeduplicationDatabasePath(dir.path()).string();
    int i = 0;
    for (auto _ : state) {
        std::lock_guard<CriticalSection> hold(lock);
        sqlite3* db = nullptr;
        sqlite3_stmt* st = nullptr;
        std::string address = Address(i++);
        bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                  sqlite3_exec(db, "pragma synchronous = NORMAL", nullptr, nullptr, nullptr) == SQLITE_OK &&
                  sqlite3_prepare_v2(db, "insert into `PageUrl` (`Urls`) values (?)", -1, &st, nullptr) ==
                      SQLITE_OK &&
                  sqlite3_bind_text(st, 1, address.data(), static_cast<int>(address.size()), SQLITE_TRANSIENT) ==
                      SQLITE_OK &&
                  sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
        sqlite3_close(db);
        if (!ok) {
            state.SkipWithError("insert failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_OdbcOneOpenConnection(benchmark::State& state) {
    test::TempDir dir;
    CriticalSection lock;
    RecordArticleAddress(dir.path(), lock, "seed");
    OdbcDatabase db;
    if (!db.ConnectAccess(DeduplicationDatabasePath(dir.path()))) {
        state.SkipWithError("connect failed");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        if (!db.ExecuteWithTexts("insert into `PageUrl` (`Urls`) values (?)", {Address(i++)})) {
            state.SkipWithError("insert failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_RecordArticleAddress)->Iterations(kAddresses)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteOpenInsertClose)->Iterations(kAddresses)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OdbcOneOpenConnection)->Iterations(kAddresses)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lanque
