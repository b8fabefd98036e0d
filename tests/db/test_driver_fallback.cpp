#include <gtest/gtest.h>

#include <cstdlib>

#include "db/odbc_database.h"
#include "support/test_support.h"

namespace lanque {
namespace {

// A program of its own: the driver manager reads its driver list once per process, so the empty list must be
// in place before the first connection.
TEST(OdbcDatabaseDriverFallback, ConnectsThroughTheLibraryWhenTheDriverIsNotRegistered) {
    test::TempDir iniDir;
    ASSERT_TRUE(test::WriteFileBytes(iniDir.path() / "odbcinst.ini", ""));
    ASSERT_EQ(setenv("ODBCSYSINI", iniDir.str().c_str(), 1), 0);
    ASSERT_EQ(setenv("ODBCINSTINI", "odbcinst.ini", 1), 0);
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "f.db";
    ASSERT_TRUE(test::WriteFileBytes(file, ""));  // an empty file is an empty SQLite database

    OdbcDatabase byName;
    EXPECT_FALSE(byName.Connect("DRIVER=SQLite3;Database=" + file.string() + ";NoCreat=1;"));
    OdbcDatabase db;
    ASSERT_TRUE(db.ConnectAccess(file));
    EXPECT_TRUE(db.Execute("create table q (a)"));
    EXPECT_EQ(db.TableRowCount("q"), 0);
    EXPECT_FALSE(db.ConnectAccess(dir.path() / "missing.db"));
}

}  // namespace
}  // namespace lanque
