#pragma once

#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "text/text.h"

// One ODBC environment and at most one connection, over unixODBC. Texts passed in and read out are GBK;
// statements, connection strings and texts cross the ODBC boundary as UTF-8 (converted here), so the
// database files hold ordinary UTF-8 text. Binary values (Bytes) are passed unchanged.
// An object is used by one thread at a time; a driver call counts as successful only when it returns
// SQL_SUCCESS unless an operation says otherwise.
namespace lanque {

// Owns one ODBC handle of the given type and frees it once; copy deleted, move hands it over.
template <SQLSMALLINT kType>
class OdbcHandle {
public:
    OdbcHandle() = default;
    explicit OdbcHandle(SQLHANDLE handle) : m_handle(handle) {}
    ~OdbcHandle() { Reset(); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept : m_handle(other.Release()) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;

    SQLHANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }
    SQLHANDLE Release();
    // Frees the handle; false (and the handle kept) when the driver refuses, as for a connected SQLHDBC.
    bool Reset();
    // Allocates a fresh handle of kType on the parent; false when that fails.
    bool Allocate(SQLHANDLE parent);

private:
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

extern template class OdbcHandle<SQL_HANDLE_ENV>;
extern template class OdbcHandle<SQL_HANDLE_DBC>;
extern template class OdbcHandle<SQL_HANDLE_STMT>;

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandleHolder = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandleHolder = OdbcHandle<SQL_HANDLE_STMT>;

// A statement handed to the caller by OpenQuery / Prepare; nullptr is "no statement". Free it with
// FreeStatement (or adopt it into a StatementHandleHolder).
using StatementHandle = SQLHSTMT;

class OdbcDatabase {
public:
    OdbcDatabase();
    ~OdbcDatabase();
    // Two objects owning the same handles would free them twice: copying is not offered.
    OdbcDatabase(const OdbcDatabase&) = delete;
    OdbcDatabase& operator=(const OdbcDatabase&) = delete;

    SQLHDBC ConnectionHandle() const { return m_connection.Get(); }
    // Adopts the handle: the object frees it from now on. A connection held before is closed and released.
    void SetConnectionHandle(SQLHDBC handle);

    // Connects with a GBK connection string, never prompting; success or success with information is true.
    bool Connect(std::string_view connectionString);
    // Builds a SQL Server connection string and connects; fails cleanly when no such driver is installed.
    bool ConnectSqlServer(std::string_view server, std::string_view database,
                          std::optional<Text> user = std::nullopt, std::optional<Text> password = std::nullopt);
    // Connects an existing database file through the SQLite driver; a missing file fails (nothing is
    // created). The password and the long form have no meaning for SQLite files and are accepted as given.
    bool ConnectAccess(const std::filesystem::path& file, std::optional<Text> password = std::nullopt,
                       std::optional<bool> longForm = std::nullopt);
    // Disconnects and releases the connection handle; false (nothing changed) when not connected.
    bool Close();

    bool Execute(std::string_view statement, long long* affectedRows = nullptr);
    // Binds up to five binary parameters ("?" markers) in order, stopping at the first one not given.
    bool ExecuteWithParams(std::string_view statement, long long* affectedRows = nullptr,
                           std::optional<Bytes> p1 = std::nullopt, std::optional<Bytes> p2 = std::nullopt,
                           std::optional<Bytes> p3 = std::nullopt, std::optional<Bytes> p4 = std::nullopt,
                           std::optional<Bytes> p5 = std::nullopt);
    // Binds GBK texts as text parameters (stored as UTF-8), in order; any number of them.
    bool ExecuteWithTexts(std::string_view statement, const std::vector<Text>& texts,
                          long long* affectedRows = nullptr);

    StatementHandle OpenQuery(std::string_view statement, std::optional<int> cursorType = std::nullopt);
    StatementHandle Prepare(std::string_view statement, std::optional<int> cursorType = std::nullopt);
    bool ExecutePrepared(StatementHandle statement);
    // The bytes must stay alive and unchanged until the statement has been executed.
    bool BindBytes(StatementHandle statement, int parameterNumber, const Bytes& bytes);
    bool FreeStatement(StatementHandle statement);

    bool FetchNext(StatementHandle statement);
    bool FetchPrior(StatementHandle statement);
    bool FetchFirst(StatementHandle statement);
    bool FetchLast(StatementHandle statement);
    bool FetchAbsolute(StatementHandle statement, long long row);

    int ColumnIndex(StatementHandle statement, std::string_view columnName);
    Text TextByName(StatementHandle statement, std::string_view columnName);
    Bytes BytesByName(StatementHandle statement, std::string_view columnName);
    int IntByName(StatementHandle statement, std::string_view columnName);
    float FloatByName(StatementHandle statement, std::string_view columnName);
    double DoubleByName(StatementHandle statement, std::string_view columnName);

    // Reads the whole value in pieces; NULL or a failed read gives empty.
    Text TextAt(StatementHandle statement, int column);
    Bytes BytesAt(StatementHandle statement, int column);
    int IntAt(StatementHandle statement, int column);
    float FloatAt(StatementHandle statement, int column);
    double DoubleAt(StatementHandle statement, int column);

    Text ColumnName(StatementHandle statement, int column);
    int ColumnCount(StatementHandle statement);
    int ColumnType(StatementHandle statement, int column);
    long long ColumnSize(StatementHandle statement, int column);
    bool ColumnNullable(StatementHandle statement, int column);

    // Rows of the table (with an optional condition such as "where ..."); -1 when the query fails.
    int TableRowCount(std::string_view table, std::optional<Text> condition = std::nullopt);

    bool BeginTransaction();
    bool Rollback();
    bool Commit();

    bool SetConnectTimeout(int seconds);
    // -1 when the attribute cannot be read.
    int ConnectTimeout();

    // The connection's diagnostic records: states and messages appended; the native code of the last one.
    int LastError(Text& states, Text& messages);

    Text BrowseConnect(std::string_view connectionString);
    int ListServers(std::vector<Text>& list);
    int ListDatabases(std::string_view server, std::string_view user, std::string_view password,
                      std::vector<Text>& list);

private:
    bool EnsureConnectionHandle();
    bool ConnectUtf8(const std::string& connectionString);
    StatementHandle NewStatement(std::string_view statement, std::optional<int> cursorType, bool execute);
    bool BindParameter(StatementHandle statement, int number, SQLSMALLINT cType, SQLSMALLINT sqlType,
                       const std::string& value, SQLLEN& length);
    bool Fetch(StatementHandle statement, SQLSMALLINT direction, SQLLEN offset);
    std::optional<Bytes> ReadPieces(StatementHandle statement, int column, SQLSMALLINT cType, SQLLEN firstPiece);
    bool EndTransaction(SQLSMALLINT completion);

    EnvironmentHandle m_environment;
    ConnectionHandleHolder m_connection;
    // Length indicators of BindBytes parameters: ODBC reads them at execution, so they live here.
    std::map<std::pair<StatementHandle, int>, SQLLEN> m_boundLengths;
};

}  // namespace lanque
