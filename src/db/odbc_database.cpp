#include "db/odbc_database.h"

#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

template <SQLSMALLINT kType>
OdbcHandle<kType>& OdbcHandle<kType>::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        m_handle = other.Release();
    }
    return *this;
}

template <SQLSMALLINT kType>
SQLHANDLE OdbcHandle<kType>::Release() {
    return std::exchange(m_handle, static_cast<SQLHANDLE>(nullptr));
}

template <SQLSMALLINT kType>
bool OdbcHandle<kType>::Reset() {
    if (m_handle == SQL_NULL_HANDLE) {
        return true;
    }
    if (!SQL_SUCCEEDED(SQLFreeHandle(kType, m_handle))) {
        return false;
    }
    m_handle = SQL_NULL_HANDLE;
    return true;
}

template <SQLSMALLINT kType>
bool OdbcHandle<kType>::Allocate(SQLHANDLE parent) {
    Reset();
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(kType, parent, &handle))) {
        return false;
    }
    m_handle = handle;
    return true;
}

template class OdbcHandle<SQL_HANDLE_ENV>;
template class OdbcHandle<SQL_HANDLE_DBC>;
template class OdbcHandle<SQL_HANDLE_STMT>;

namespace {

// The SQLite driver by its registered name, and its library for systems where it is not registered.
constexpr const char* kSqliteDriverName = "SQLite3";
constexpr const char* kSqliteDriverLibraries[] = {
    "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
    "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
    "/usr/lib/odbc/libsqlite3odbc.so",
    "/usr/local/lib/libsqlite3odbc.so",
};

constexpr SQLLEN kFirstTextPiece = 255;
constexpr SQLLEN kFirstBytesPiece = 10240;
constexpr SQLSMALLINT kBrowseBufferLength = 2048;

SQLCHAR* Chars(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS; }

// The connection-string form of a database path. The driver's parser ends a value at ";" and knows no
// quoting, so such a path goes as a file: URI with the special characters percent-encoded.
std::string DatabaseValue(const std::string& path) {
    if (path.find_first_of(";{}") == std::string::npos && !path.empty() && path.front() != ' ' &&
        path.back() != ' ') {
        return path;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~' || c >= 0x80;
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// True when the driver manager could not find or load the named driver (as opposed to the driver
// refusing the connection).
bool DriverMissing(SQLHDBC connection) {
    SQLCHAR state[6] = {};
    SQLCHAR message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 1;
         SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, connection, record, state, &native, message,
                                     sizeof message, &length));
         ++record) {
        std::string s(reinterpret_cast<char*>(state));
        std::string m(reinterpret_cast<char*>(message));
        if (s == "IM002" || s == "IM003" || m.find("Can't open lib") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The driver manager loads the driver (and the driver its setup library) at every connect and unloads
// them at every disconnect when no other connection uses them; holding one reference of our own keeps
// them resident between connections, which the open-per-operation pattern of the program needs.
void KeepSqliteDriverLoaded() {
    static std::once_flag once;
    std::call_once(once, [] {
        dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
        for (const char* library : kSqliteDriverLibraries) {
            if (dlopen(library, RTLD_NOW | RTLD_LOCAL) != nullptr) {
                return;
            }
        }
    });
}

// The value between "={" and "}" split at ",", as the browse-connect result lists choices.
int ChoiceList(const Text& result, std::vector<Text>& list) {
    list = GbkSplit(TextBetween(result, "={", "}"), ",");
    return static_cast<int>(list.size());
}

// Reports the rows an executed statement touched (when asked) and whether it succeeded.
bool Finished(SQLHSTMT statement, SQLRETURN rc, long long* affectedRows) {
    if (affectedRows) {
        SQLLEN rows = -1;
        SQLRowCount(statement, &rows);
        *affectedRows = rows;
    }
    return Succeeded(rc);
}

// Prepares a GBK statement, which crosses the ODBC boundary as UTF-8.
bool PrepareGbk(SQLHSTMT statement, std::string_view gbk) {
    std::string text = GbkToUtf8(gbk);
    return Succeeded(SQLPrepare(statement, Chars(text), static_cast<SQLINTEGER>(text.size())));
}

}  // namespace

OdbcDatabase::OdbcDatabase() {
    if (m_environment.Allocate(SQL_NULL_HANDLE)) {
        SQLSetEnvAttr(m_environment.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
}

OdbcDatabase::~OdbcDatabase() {
    Close();
    // A handle that was allocated but never connected is still ours to free.
    m_connection.Reset();
}

void OdbcDatabase::SetConnectionHandle(SQLHDBC handle) {
    if (handle == m_connection.Get()) {
        return;
    }
    Close();
    m_connection.Reset();
    m_connection = ConnectionHandleHolder(handle);
}

bool OdbcDatabase::EnsureConnectionHandle() {
    if (m_connection) {
        return true;
    }
    return m_environment && m_connection.Allocate(m_environment.Get());
}

bool OdbcDatabase::ConnectUtf8(const std::string& connectionString) {
    if (!EnsureConnectionHandle()) {
        return false;
    }
    std::string in = connectionString;
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnect(m_connection.Get(), nullptr, Chars(in), static_cast<SQLSMALLINT>(in.size()),
                                    out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
    return SQL_SUCCEEDED(rc);
}

bool OdbcDatabase::Connect(std::string_view connectionString) {
    return ConnectUtf8(GbkToUtf8(connectionString));
}

bool OdbcDatabase::ConnectSqlServer(std::string_view server, std::string_view database, std::optional<Text> user,
                                    std::optional<Text> password) {
    Text text;
    if (user || password) {
        text = "driver={sql server};server=" + Text(server) + ";database=" + Text(database) +
               ";uid=" + user.value_or("") + ";pwd=" + password.value_or("");
    } else {
        text = "Driver=SQL Server;Server=" + Text(server) + ";Database=" + Text(database) +
               ";Trusted_Connection=Yes;Connect Timeout=90";
    }
    return Connect(text);
}

bool OdbcDatabase::ConnectAccess(const std::filesystem::path& file, std::optional<Text>, std::optional<bool>) {
    KeepSqliteDriverLoaded();
    // NoCreat: a missing file fails instead of being created empty.
    std::string tail = ";Database=" + DatabaseValue(file.string()) + ";NoCreat=1;";
    if (ConnectUtf8(std::string("DRIVER=") + kSqliteDriverName + tail)) {
        return true;
    }
    if (!m_connection || !DriverMissing(m_connection.Get())) {
        return false;
    }
    for (const char* library : kSqliteDriverLibraries) {
        std::error_code error;
        if (std::filesystem::exists(library, error) && ConnectUtf8(std::string("DRIVER=") + library + tail)) {
            return true;
        }
    }
    return false;
}

bool OdbcDatabase::Close() {
    if (!m_connection || !Succeeded(SQLDisconnect(m_connection.Get()))) {
        return false;
    }
    m_connection.Reset();
    return true;
}

bool OdbcDatabase::Execute(std::string_view statement, long long* affectedRows) {
    StatementHandleHolder holder;
    if (!m_connection || !holder.Allocate(m_connection.Get())) {
        return false;
    }
    std::string text = GbkToUtf8(statement);
    SQLRETURN rc = SQLExecDirect(holder.Get(), Chars(text), static_cast<SQLINTEGER>(text.size()));
    return Finished(holder.Get(), rc, affectedRows);
}

bool OdbcDatabase::BindParameter(StatementHandle statement, int number, SQLSMALLINT cType, SQLSMALLINT sqlType,
                                 const std::string& value, SQLLEN& length) {
    if (!statement || number < 1) {
        return false;
    }
    length = static_cast<SQLLEN>(value.size());
    // The driver only reads the buffer; ODBC's signature is not const.
    SQLPOINTER buffer = const_cast<char*>(value.data());
    SQLULEN columnSize = value.empty() ? 1 : value.size();
    return Succeeded(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(number), SQL_PARAM_INPUT, cType, sqlType,
                                      columnSize, 0, buffer, length, &length));
}

bool OdbcDatabase::ExecuteWithParams(std::string_view statement, long long* affectedRows, std::optional<Bytes> p1,
                                     std::optional<Bytes> p2, std::optional<Bytes> p3, std::optional<Bytes> p4,
                                     std::optional<Bytes> p5) {
    StatementHandleHolder holder;
    if (!m_connection || !holder.Allocate(m_connection.Get())) {
        return false;
    }
    if (!PrepareGbk(holder.Get(), statement)) {
        return false;
    }
    const std::optional<Bytes>* params[] = {&p1, &p2, &p3, &p4, &p5};
    SQLLEN lengths[5] = {};
    for (int i = 0; i < 5 && params[i]->has_value(); ++i) {
        if (!BindParameter(holder.Get(), i + 1, SQL_C_BINARY, SQL_LONGVARBINARY, **params[i], lengths[i])) {
            return false;
        }
    }
    SQLRETURN rc = SQLExecute(holder.Get());
    return Finished(holder.Get(), rc, affectedRows);
}

bool OdbcDatabase::ExecuteWithTexts(std::string_view statement, const std::vector<Text>& texts,
                                    long long* affectedRows) {
    StatementHandleHolder holder;
    if (!m_connection || !holder.Allocate(m_connection.Get())) {
        return false;
    }
    if (!PrepareGbk(holder.Get(), statement)) {
        return false;
    }
    std::vector<std::string> values;
    values.reserve(texts.size());
    std::vector<SQLLEN> lengths(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        values.push_back(GbkToUtf8(texts[i]));
        if (!BindParameter(holder.Get(), static_cast<int>(i + 1), SQL_C_CHAR, SQL_LONGVARCHAR, values.back(),
                           lengths[i])) {
            return false;
        }
    }
    SQLRETURN rc = SQLExecute(holder.Get());
    return Finished(holder.Get(), rc, affectedRows);
}

StatementHandle OdbcDatabase::NewStatement(std::string_view statement, std::optional<int> cursorType,
                                           bool execute) {
    StatementHandleHolder holder;
    if (!m_connection || !holder.Allocate(m_connection.Get())) {
        return nullptr;
    }
    // A driver that lacks the cursor type substitutes its nearest one and says so; that is not a failure.
    SQLRETURN rc = SQLSetStmtAttr(holder.Get(), SQL_ATTR_CURSOR_TYPE,
                                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(cursorType.value_or(1))), 0);
    if (!SQL_SUCCEEDED(rc)) {
        return nullptr;
    }
    std::string text = GbkToUtf8(statement);
    rc = execute ? SQLExecDirect(holder.Get(), Chars(text), static_cast<SQLINTEGER>(text.size()))
                 : SQLPrepare(holder.Get(), Chars(text), static_cast<SQLINTEGER>(text.size()));
    return Succeeded(rc) ? holder.Release() : nullptr;
}

StatementHandle OdbcDatabase::OpenQuery(std::string_view statement, std::optional<int> cursorType) {
    return NewStatement(statement, cursorType, true);
}

StatementHandle OdbcDatabase::Prepare(std::string_view statement, std::optional<int> cursorType) {
    return NewStatement(statement, cursorType, false);
}

bool OdbcDatabase::ExecutePrepared(StatementHandle statement) {
    return statement && Succeeded(SQLExecute(statement));
}

bool OdbcDatabase::BindBytes(StatementHandle statement, int parameterNumber, const Bytes& bytes) {
    if (!statement || parameterNumber < 1) {
        return false;
    }
    SQLLEN& length = m_boundLengths[{statement, parameterNumber}];
    return BindParameter(statement, parameterNumber, SQL_C_BINARY, SQL_LONGVARBINARY, bytes, length);
}

bool OdbcDatabase::FreeStatement(StatementHandle statement) {
    if (!statement) {
        return false;
    }
    std::erase_if(m_boundLengths, [statement](const auto& entry) { return entry.first.first == statement; });
    return Succeeded(SQLFreeHandle(SQL_HANDLE_STMT, statement));
}

bool OdbcDatabase::Fetch(StatementHandle statement, SQLSMALLINT direction, SQLLEN offset) {
    return statement && Succeeded(SQLFetchScroll(statement, direction, offset));
}

bool OdbcDatabase::FetchNext(StatementHandle statement) { return Fetch(statement, SQL_FETCH_NEXT, 0); }
bool OdbcDatabase::FetchPrior(StatementHandle statement) { return Fetch(statement, SQL_FETCH_PRIOR, 0); }
bool OdbcDatabase::FetchFirst(StatementHandle statement) { return Fetch(statement, SQL_FETCH_FIRST, 0); }
bool OdbcDatabase::FetchLast(StatementHandle statement) { return Fetch(statement, SQL_FETCH_LAST, 0); }
bool OdbcDatabase::FetchAbsolute(StatementHandle statement, long long row) {
    return Fetch(statement, SQL_FETCH_ABSOLUTE, static_cast<SQLLEN>(row));
}

int OdbcDatabase::ColumnIndex(StatementHandle statement, std::string_view columnName) {
    int count = ColumnCount(statement);
    for (int i = 0; i < count; ++i) {
        if (ColumnName(statement, i) == columnName) {
            return i;
        }
    }
    return -1;
}

Text OdbcDatabase::TextByName(StatementHandle statement, std::string_view columnName) {
    int index = ColumnIndex(statement, columnName);
    return index < 0 ? Text() : TextAt(statement, index);
}

Bytes OdbcDatabase::BytesByName(StatementHandle statement, std::string_view columnName) {
    int index = ColumnIndex(statement, columnName);
    return index < 0 ? Bytes() : BytesAt(statement, index);
}

int OdbcDatabase::IntByName(StatementHandle statement, std::string_view columnName) {
    int index = ColumnIndex(statement, columnName);
    return index < 0 ? 0 : IntAt(statement, index);
}

float OdbcDatabase::FloatByName(StatementHandle statement, std::string_view columnName) {
    int index = ColumnIndex(statement, columnName);
    return index < 0 ? 0.0f : FloatAt(statement, index);
}

double OdbcDatabase::DoubleByName(StatementHandle statement, std::string_view columnName) {
    int index = ColumnIndex(statement, columnName);
    return index < 0 ? 0.0 : DoubleAt(statement, index);
}

// Reads a column in pieces: the first of firstPiece bytes, then as much as the driver says remains.
// Character data comes with a terminating zero in each piece, which is not part of the value.
std::optional<Bytes> OdbcDatabase::ReadPieces(StatementHandle statement, int column, SQLSMALLINT cType,
                                              SQLLEN firstPiece) {
    if (!statement || column < 0) {
        return std::nullopt;
    }
    const SQLLEN terminator = cType == SQL_C_CHAR ? 1 : 0;
    Bytes result;
    std::string buffer(static_cast<std::size_t>(firstPiece), '\0');
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement, static_cast<SQLUSMALLINT>(column + 1), cType, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA) {
            return result;
        }
        if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        const SQLLEN room = static_cast<SQLLEN>(buffer.size()) - terminator;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > room);
        const SQLLEN got = more ? room : indicator;
        result.append(buffer.data(), static_cast<std::size_t>(got < 0 ? 0 : got));
        if (!more) {
            return result;
        }
        SQLLEN remaining = indicator == SQL_NO_TOTAL ? firstPiece : indicator - room;
        buffer.assign(static_cast<std::size_t>(remaining + terminator), '\0');
    }
}

Text OdbcDatabase::TextAt(StatementHandle statement, int column) {
    // The pieces are joined before converting, so a character split between two pieces stays whole.
    std::optional<Bytes> utf8 = ReadPieces(statement, column, SQL_C_CHAR, kFirstTextPiece);
    return utf8 ? Utf8ToGbk(*utf8) : Text();
}

Bytes OdbcDatabase::BytesAt(StatementHandle statement, int column) {
    return ReadPieces(statement, column, SQL_C_BINARY, kFirstBytesPiece).value_or(Bytes());
}

namespace {

template <typename Number>
Number ReadNumber(StatementHandle statement, int column, SQLSMALLINT cType) {
    Number value{};
    SQLLEN indicator = 0;
    if (!statement || column < 0 ||
        !SQL_SUCCEEDED(SQLGetData(statement, static_cast<SQLUSMALLINT>(column + 1), cType, &value, sizeof value,
                                  &indicator)) ||
        indicator == SQL_NULL_DATA) {
        return Number{};
    }
    return value;
}

}  // namespace

int OdbcDatabase::IntAt(StatementHandle statement, int column) {
    return ReadNumber<SQLINTEGER>(statement, column, SQL_C_SLONG);
}

float OdbcDatabase::FloatAt(StatementHandle statement, int column) {
    return ReadNumber<SQLREAL>(statement, column, SQL_C_FLOAT);
}

double OdbcDatabase::DoubleAt(StatementHandle statement, int column) {
    return ReadNumber<SQLDOUBLE>(statement, column, SQL_C_DOUBLE);
}

Text OdbcDatabase::ColumnName(StatementHandle statement, int column) {
    if (!statement || column < 0) {
        return Text();
    }
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLColAttribute(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_NAME, name,
                                   sizeof name, &length, nullptr))) {
        return Text();
    }
    return Utf8ToGbk(reinterpret_cast<const char*>(name));
}

int OdbcDatabase::ColumnCount(StatementHandle statement) {
    SQLSMALLINT count = 0;
    if (!statement || !Succeeded(SQLNumResultCols(statement, &count))) {
        return 0;
    }
    return count;
}

int OdbcDatabase::ColumnType(StatementHandle statement, int column) {
    SQLLEN type = 0;
    if (!statement || column < 0 ||
        !Succeeded(SQLColAttribute(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_CONCISE_TYPE, nullptr,
                                   0, nullptr, &type))) {
        return 0;
    }
    return static_cast<int>(type);
}

long long OdbcDatabase::ColumnSize(StatementHandle statement, int column) {
    SQLLEN size = 0;
    if (!statement || column < 0 ||
        !Succeeded(SQLColAttribute(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_LENGTH, nullptr, 0,
                                   nullptr, &size))) {
        return 0;
    }
    return size;
}

bool OdbcDatabase::ColumnNullable(StatementHandle statement, int column) {
    SQLLEN nullable = 0;
    return statement && column >= 0 &&
           Succeeded(SQLColAttribute(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_NULLABLE, nullptr,
                                     0, nullptr, &nullable)) &&
           nullable == SQL_NULLABLE;
}

int OdbcDatabase::TableRowCount(std::string_view table, std::optional<Text> condition) {
    Text text = "select count(1) from " + Text(table) + " ";
    if (condition) {
        text += *condition;
    }
    StatementHandle statement = OpenQuery(text, 0);
    if (!statement) {
        return -1;
    }
    int count = FetchNext(statement) ? IntAt(statement, 0) : -1;
    FreeStatement(statement);
    return count;
}

bool OdbcDatabase::BeginTransaction() {
    return m_connection && Succeeded(SQLSetConnectAttr(m_connection.Get(), SQL_ATTR_AUTOCOMMIT,
                                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
}

bool OdbcDatabase::EndTransaction(SQLSMALLINT completion) {
    if (!m_connection) {
        return false;
    }
    bool ended = Succeeded(SQLEndTran(SQL_HANDLE_DBC, m_connection.Get(), completion));
    SQLSetConnectAttr(m_connection.Get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    return ended;
}

bool OdbcDatabase::Rollback() { return EndTransaction(SQL_ROLLBACK); }
bool OdbcDatabase::Commit() { return EndTransaction(SQL_COMMIT); }

bool OdbcDatabase::SetConnectTimeout(int seconds) {
    if (seconds < 0 || !EnsureConnectionHandle()) {
        return false;
    }
    return Succeeded(SQLSetConnectAttr(m_connection.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0));
}

int OdbcDatabase::ConnectTimeout() {
    SQLUINTEGER seconds = 0;
    if (!EnsureConnectionHandle() ||
        !Succeeded(SQLGetConnectAttr(m_connection.Get(), SQL_ATTR_LOGIN_TIMEOUT, &seconds, 0, nullptr))) {
        return -1;
    }
    return static_cast<int>(seconds);
}

int OdbcDatabase::LastError(Text& states, Text& messages) {
    int native = 0;
    if (!m_connection) {
        return 0;
    }
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLCHAR message[1024] = {};
        SQLINTEGER code = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, m_connection.Get(), record, state, &code, message,
                                         sizeof message, &length))) {
            return native;
        }
        states += reinterpret_cast<const char*>(state);
        messages += Utf8ToGbk(reinterpret_cast<const char*>(message));
        native = code;
    }
}

Text OdbcDatabase::BrowseConnect(std::string_view connectionString) {
    if (!EnsureConnectionHandle()) {
        return Text();
    }
    std::string in = GbkToUtf8(connectionString);
    SQLCHAR out[kBrowseBufferLength] = {};
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLBrowseConnect(m_connection.Get(), Chars(in), static_cast<SQLSMALLINT>(in.size()), out,
                                    kBrowseBufferLength, &length);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NEED_DATA) {
        return Text();
    }
    std::string result(reinterpret_cast<const char*>(out));
    std::size_t first = result.find_first_not_of(' ');
    std::size_t last = result.find_last_not_of(' ');
    return first == std::string::npos ? Text() : Utf8ToGbk(result.substr(first, last - first + 1));
}

int OdbcDatabase::ListServers(std::vector<Text>& list) {
    Text result = BrowseConnect("Driver={SQL Server}");
    if (GbkFind(result, "SERVER:") == kNoPos) {
        list.clear();
        return 0;
    }
    return ChoiceList(result, list);
}

int OdbcDatabase::ListDatabases(std::string_view server, std::string_view user, std::string_view password,
                                std::vector<Text>& list) {
    Text result = BrowseConnect("Driver={SQL Server};SERVER=" + Text(server) + ";UID=" + Text(user) +
                                ";PWD=" + Text(password));
    if (GbkFind(result, "DATABASE") == kNoPos) {
        list.clear();
        return 0;
    }
    return ChoiceList(result, list);
}

}  // namespace lanque
