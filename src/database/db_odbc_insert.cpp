#include "database/db_odbc_insert.h"

#include "database/odbc_dbms.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kestrel {

namespace {

using Kind = ColumnInfo::Kind;

// SQL Server's longest nvarchar; a longer text goes as ntext.
constexpr SQLULEN kLongestNvarchar = 4000;

std::vector<SQLWCHAR> wideText(const QString& text) {
    std::vector<SQLWCHAR> wide;
    if constexpr (sizeof(SQLWCHAR) == sizeof(char16_t)) {
        wide.assign(text.utf16(), text.utf16() + text.size());
    } else {
        for (const char32_t c : text.toUcs4())
            wide.push_back(static_cast<SQLWCHAR>(c));
    }
    wide.push_back(0);
    return wide;
}

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, text,
                                          static_cast<SQLSMALLINT>(std::size(text)), &length)))
            break;
        const auto units = std::min<qsizetype>(length, qsizetype(std::size(text)) - 1);
        if constexpr (sizeof(SQLWCHAR) == sizeof(char16_t))
            messages.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units));
        else
            messages.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(text), units));
    }
    return messages.join(u'\n');
}

} // namespace

// One parameter: its type, and the array of its values for the rows of one request. The
// driver prepares the statement again whenever a parameter is bound anew, so the arrays keep
// their place and width and are bound once; only a text longer than its width makes them grow.
struct OdbcBatchInsert::Parameter {
    Kind kind = Kind::Text;
    SQLULEN declaredUnits = kLongestNvarchar; // texts: the size declared to the driver
    std::vector<char> values;
    std::vector<SQLLEN> indicators;
    SQLLEN width = 0; // bytes of one element of values

    bool isText() const { return kind == Kind::Text || kind == Kind::Other; }
    void allocate(std::size_t rows, SQLULEN units);
    bool fits(const std::vector<std::vector<QVariant>>& rows, std::size_t column, std::size_t first,
              std::size_t count) const;
    void fill(const std::vector<std::vector<QVariant>>& rows, std::size_t column, std::size_t first,
              std::size_t count);
    void putText(char* out, SQLLEN& indicator, const QString& text) const;
    SQLRETURN bind(SQLHSTMT statement, SQLUSMALLINT position);
};

void OdbcBatchInsert::Parameter::allocate(std::size_t rows, SQLULEN units) {
    if (isText())
        width = SQLLEN((units + 1) * sizeof(SQLWCHAR));
    else
        width = kind == Kind::DateTime  ? SQLLEN(sizeof(SQL_TIMESTAMP_STRUCT))
                : kind == Kind::Boolean ? SQLLEN(sizeof(unsigned char))
                                        : SQLLEN(8);
    values.assign(std::size_t(width) * rows, 0);
    indicators.assign(rows, 0);
}

bool OdbcBatchInsert::Parameter::fits(const std::vector<std::vector<QVariant>>& rows,
                                      std::size_t column, std::size_t first,
                                      std::size_t count) const {
    const auto units = SQLULEN(width / SQLLEN(sizeof(SQLWCHAR))) - 1;
    for (std::size_t row = first; isText() && row < first + count; ++row) {
        if (SQLULEN(rows[row][column].toString().size()) > units)
            return false;
    }
    return true;
}

void OdbcBatchInsert::Parameter::putText(char* out, SQLLEN& indicator, const QString& text) const {
    const std::vector<SQLWCHAR> wide = wideText(text);
    const std::size_t bytes = (wide.size() - 1) * sizeof(SQLWCHAR);
    std::memcpy(out, wide.data(), bytes);
    indicator = SQLLEN(bytes);
}

void OdbcBatchInsert::Parameter::fill(const std::vector<std::vector<QVariant>>& rows,
                                      std::size_t column, std::size_t first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const QVariant& value = rows[first + i][column];
        char* out = values.data() + std::size_t(width) * i;
        indicators[i] = 0;
        if (value.isNull()) {
            indicators[i] = SQL_NULL_DATA;
        } else if (isText()) {
            putText(out, indicators[i], value.toString());
        } else if (kind == Kind::Integer) {
            const SQLBIGINT number = value.toLongLong();
            std::memcpy(out, &number, sizeof number);
        } else if (kind == Kind::Number) {
            const SQLDOUBLE number = value.toDouble();
            std::memcpy(out, &number, sizeof number);
        } else if (kind == Kind::Boolean) {
            *out = value.toBool() ? 1 : 0;
        } else {
            const QDateTime moment = value.toDateTime();
            SQL_TIMESTAMP_STRUCT stamp{};
            stamp.year = SQLSMALLINT(moment.date().year());
            stamp.month = SQLUSMALLINT(moment.date().month());
            stamp.day = SQLUSMALLINT(moment.date().day());
            stamp.hour = SQLUSMALLINT(moment.time().hour());
            stamp.minute = SQLUSMALLINT(moment.time().minute());
            stamp.second = SQLUSMALLINT(moment.time().second());
            stamp.fraction = SQLUINTEGER(moment.time().msec()) * 1000000U;
            std::memcpy(out, &stamp, sizeof stamp);
        }
    }
}

SQLRETURN OdbcBatchInsert::Parameter::bind(SQLHSTMT statement, SQLUSMALLINT position) {
    struct Binding {
        SQLSMALLINT cType;
        SQLSMALLINT sqlType;
        SQLULEN size;
        SQLSMALLINT digits;
    };
    Binding binding{SQL_C_WCHAR, SQL_WVARCHAR, SQLULEN(width / SQLLEN(sizeof(SQLWCHAR))) - 1, 0};
    if (kind == Kind::Integer)
        binding = {SQL_C_SBIGINT, SQL_BIGINT, 19, 0};
    else if (kind == Kind::Number)
        binding = {SQL_C_DOUBLE, SQL_DOUBLE, 15, 0};
    else if (kind == Kind::Boolean)
        binding = {SQL_C_BIT, SQL_BIT, 1, 0};
    else if (kind == Kind::DateTime)
        binding = {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3};
    else if (binding.size > kLongestNvarchar)
        binding.sqlType = SQL_WLONGVARCHAR; // SQL Server's ntext
    return SQLBindParameter(statement, position, SQL_PARAM_INPUT, binding.cType, binding.sqlType,
                            binding.size, binding.digits, values.data(), width, indicators.data());
}

OdbcBatchInsert::OdbcBatchInsert(const QSqlDatabase& connection, const QString& statement,
                                 const QList<ColumnInfo>& columns) {
    const auto hdbc = static_cast<SQLHDBC>(odbcConnectionHandle(connection));
    SQLHSTMT handle = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &handle)))
        throw DatabaseError(diagnostics(SQL_HANDLE_DBC, hdbc));
    m_statement = handle;
    std::vector<SQLWCHAR> text = wideText(statement);
    if (!SQL_SUCCEEDED(SQLPrepareW(handle, text.data(), SQL_NTS)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(handle, SQL_ATTR_PARAM_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0))) {
        const QString message = diagnostics(SQL_HANDLE_STMT, handle);
        SQLFreeHandle(SQL_HANDLE_STMT, handle);
        throw DatabaseError(message);
    }
    m_status.assign(kRowsPerRequest, 0);
    SQLSetStmtAttr(handle, SQL_ATTR_PARAM_STATUS_PTR, m_status.data(), 0);
    for (const ColumnInfo& column : columns) {
        Parameter parameter;
        parameter.kind = column.kind;
        if (column.length > 0 && SQLULEN(column.length) <= kLongestNvarchar)
            parameter.declaredUnits = SQLULEN(column.length);
        parameter.allocate(kRowsPerRequest, parameter.declaredUnits);
        m_parameters.push_back(std::move(parameter));
    }
    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        if (!SQL_SUCCEEDED(m_parameters[i].bind(handle, SQLUSMALLINT(i + 1)))) {
            const QString message = diagnostics(SQL_HANDLE_STMT, handle);
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
            throw DatabaseError(message);
        }
    }
}

OdbcBatchInsert::~OdbcBatchInsert() {
    if (m_statement)
        SQLFreeHandle(SQL_HANDLE_STMT, static_cast<SQLHSTMT>(m_statement));
}

void OdbcBatchInsert::fail(const QString& message) {
    const QString text = message.isEmpty()
                             ? diagnostics(SQL_HANDLE_STMT, static_cast<SQLHSTMT>(m_statement))
                             : message;
    SQLFreeStmt(static_cast<SQLHSTMT>(m_statement), SQL_CLOSE);
    m_rows.clear();
    throw DatabaseError(text);
}

void OdbcBatchInsert::add(std::vector<QVariant> row) {
    m_rows.push_back(std::move(row));
    if (m_rows.size() >= kRowsPerRequest)
        flush();
}

void OdbcBatchInsert::flush() {
    for (std::size_t first = 0; first < m_rows.size(); first += kRowsPerRequest)
        send(first, std::min(kRowsPerRequest, m_rows.size() - first));
    m_rows.clear();
}

void OdbcBatchInsert::send(std::size_t first, std::size_t count) {
    const auto statement = static_cast<SQLHSTMT>(m_statement);
    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        Parameter& parameter = m_parameters[i];
        if (!parameter.fits(m_rows, i, first, count)) {
            qsizetype longest = 0;
            for (std::size_t row = first; row < first + count; ++row)
                longest = std::max<qsizetype>(longest, m_rows[row][i].toString().size());
            parameter.allocate(kRowsPerRequest, SQLULEN(longest));
            if (!SQL_SUCCEEDED(parameter.bind(statement, SQLUSMALLINT(i + 1))))
                fail(QString());
        }
        parameter.fill(m_rows, i, first, count);
    }
    std::fill(m_status.begin(), m_status.end(), static_cast<unsigned short>(0));
    SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(count), 0);
    // Every row's outcome is read: a later row's error comes among the further results.
    QString diagnosed;
    bool failed = false;
    for (SQLRETURN result = SQLExecute(statement); result != SQL_NO_DATA && !failed;
         result = SQLMoreResults(statement)) {
        if (result != SQL_SUCCESS && diagnosed.isEmpty())
            diagnosed = diagnostics(SQL_HANDLE_STMT, statement);
        failed = !SQL_SUCCEEDED(result);
    }
    failed = failed || std::any_of(m_status.begin(), m_status.end(),
                                   [](unsigned short s) { return s == SQL_PARAM_ERROR; });
    if (failed)
        fail(diagnosed.isEmpty()
                 ? QCoreApplication::translate("Database", "The rows were not inserted")
                 : diagnosed);
    SQLFreeStmt(statement, SQL_CLOSE);
}

} // namespace kestrel
