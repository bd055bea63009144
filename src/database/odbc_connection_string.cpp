#include "database/odbc_connection_string.h"

#include "text/errors.h"

#include <QCoreApplication>
#include <QStringList>

namespace kestrel {

namespace {

bool needsOleDbQuotes(const QString& value) {
    return value.contains(u';') || value.contains(u'"') || value.contains(u'\'') ||
           value != value.trimmed();
}

QString normalizedKey(const QString& key) {
    return key.simplified().toLower();
}

[[noreturn]] void malformed() {
    throw DatabaseError(QCoreApplication::translate("Database", "Malformed connection string"));
}

void skipBlanks(const QString& text, qsizetype& pos) {
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
}

// Reads a value enclosed in quote at pos; a doubled quote stands for one.
QString readQuoted(const QString& text, qsizetype& pos) {
    const QChar quote = text.at(pos++);
    QString value;
    while (true) {
        if (pos >= text.size())
            malformed();
        const QChar c = text.at(pos++);
        if (c != quote) {
            value += c;
            continue;
        }
        if (pos < text.size() && text.at(pos) == quote) {
            value += quote;
            ++pos;
            continue;
        }
        return value;
    }
}

QString valueOf(const QMap<QString, QString>& keys, std::initializer_list<const char*> names) {
    QString found;
    for (const char* name : names) {
        const auto it = keys.constFind(QString::fromLatin1(name));
        if (it != keys.constEnd())
            found = it.value();
    }
    return found;
}

bool isTrue(const QString& value) {
    const QString v = value.trimmed().toLower();
    return v == u"sspi" || v == u"true" || v == u"yes";
}

bool isLocalName(const QString& host) {
    const QString h = host.trimmed().toLower();
    return h.isEmpty() || h == u"(local)" || h == u"." || h == u"(localhost)";
}

bool isFreeTds(const QString& driver) {
    return driver.contains(QStringLiteral("tds"), Qt::CaseInsensitive);
}

void appendPair(QStringList& parts, const char* key, const QString& value, BraceStyle style) {
    parts.append(QString::fromLatin1(key) + u'=' + odbcValue(value, style));
}

QString freeTdsServer(const QString& dataSource, QString& port) {
    const ServerAddress address = ServerAddress::parse(dataSource);
    const QString host = isLocalName(address.host) ? QStringLiteral("127.0.0.1") : address.host;
    port = address.port;
    // With a port the instance name is not needed (and the server browser not asked).
    if (!address.instance.isEmpty() && address.port.isEmpty())
        return host + u'\\' + address.instance;
    return host;
}

// Reads the braced value at pos ('}' doubled inside stands for one); pos ends past the brace.
QString readBraced(const QString& text, qsizetype& pos) {
    QString value;
    for (++pos; pos < text.size(); ++pos) {
        if (text.at(pos) != u'}') {
            value += text.at(pos);
        } else if (pos + 1 < text.size() && text.at(pos + 1) == u'}') {
            value += u'}';
            ++pos;
        } else {
            ++pos;
            break;
        }
    }
    return value;
}

} // namespace

QString oleDbValue(const QString& value) {
    if (!needsOleDbQuotes(value))
        return value;
    QString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QMap<QString, QString> parseOleDbConnectionString(const QString& connectionString) {
    QMap<QString, QString> keys;
    const QString& s = connectionString;
    qsizetype pos = 0;
    while (true) {
        while (pos < s.size() && (s.at(pos).isSpace() || s.at(pos) == u';'))
            ++pos;
        if (pos >= s.size())
            return keys;
        const qsizetype equals = s.indexOf(u'=', pos);
        if (equals < 0)
            malformed();
        const QString key = normalizedKey(s.mid(pos, equals - pos));
        if (key.isEmpty())
            malformed();
        pos = equals + 1;
        skipBlanks(s, pos);
        QString value;
        if (pos < s.size() && (s.at(pos) == u'"' || s.at(pos) == u'\'')) {
            value = readQuoted(s, pos);
            skipBlanks(s, pos);
            if (pos < s.size() && s.at(pos) != u';')
                malformed();
        } else {
            const qsizetype end = s.indexOf(u';', pos);
            value = s.mid(pos, end < 0 ? -1 : end - pos).trimmed();
            pos = end < 0 ? s.size() : end;
        }
        keys.insert(key, value);
    }
}

SqlServerTarget SqlServerTarget::fromOleDb(const QString& connectionString) {
    const QMap<QString, QString> keys = parseOleDbConnectionString(connectionString);
    SqlServerTarget target;
    target.dataSource = valueOf(keys, {"server", "address", "addr", "data source"});
    target.database = valueOf(keys, {"database", "initial catalog"});
    target.userId = valueOf(keys, {"uid", "user", "user id"});
    target.password = valueOf(keys, {"pwd", "password"});
    target.integratedSecurity =
        isTrue(valueOf(keys, {"trusted_connection", "integrated security"}));
    return target;
}

ServerAddress ServerAddress::parse(const QString& dataSource) {
    QString rest = dataSource.trimmed();
    if (rest.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
        rest = rest.mid(4);
    ServerAddress address;
    const qsizetype comma = rest.indexOf(u',');
    if (comma >= 0) {
        address.port = rest.mid(comma + 1).trimmed();
        rest = rest.left(comma);
    }
    const qsizetype backslash = rest.indexOf(u'\\');
    if (backslash >= 0) {
        address.instance = rest.mid(backslash + 1).trimmed();
        rest = rest.left(backslash);
    }
    address.host = rest.trimmed();
    return address;
}

QString odbcValue(const QString& value, BraceStyle style) {
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       value == value.trimmed();
    if (plain)
        return value;
    if (style == BraceStyle::FreeTds) {
        if (value.contains(QStringLiteral("};")))
            throw DatabaseError(QCoreApplication::translate(
                "Database", "FreeTDS cannot take a setting that holds \"};\""));
        return u'{' + value + u'}';
    }
    QString inner = value;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + inner + u'}';
}

QString odbcConnectionString(const SqlServerTarget& target, const QString& driver) {
    QStringList parts;
    parts.append(QStringLiteral("DRIVER={") + driver + u'}');
    const bool freeTds = isFreeTds(driver);
    const BraceStyle style = freeTds ? BraceStyle::FreeTds : BraceStyle::Odbc;
    if (freeTds) {
        QString port;
        appendPair(parts, "SERVER", freeTdsServer(target.dataSource, port), style);
        if (!port.isEmpty())
            appendPair(parts, "PORT", port, style);
    } else {
        const QString server = target.dataSource.trimmed();
        appendPair(parts, "SERVER", server.isEmpty() ? QStringLiteral("(local)") : server, style);
    }
    if (!target.database.isEmpty())
        appendPair(parts, "DATABASE", target.database, style);
    if (target.integratedSecurity) {
        parts.append(QStringLiteral("Trusted_Connection=Yes"));
    } else {
        appendPair(parts, "UID", target.userId, style);
        appendPair(parts, "PWD", target.password, style);
    }
    if (freeTds) {
        // Kept last and unbraced: FreeTDS misreads a braced value at the very end.
        parts.append(QStringLiteral("TDS_Version=7.1"));
        parts.append(QStringLiteral("ClientCharset=UTF-8"));
    }
    return parts.join(u';');
}

std::optional<QString> odbcKeyValue(const QString& connectionString, const QString& key) {
    const QString& s = connectionString;
    qsizetype pos = 0;
    while (pos < s.size()) {
        const qsizetype equals = s.indexOf(u'=', pos);
        if (equals < 0)
            return std::nullopt;
        const QString name = s.mid(pos, equals - pos).trimmed();
        pos = equals + 1;
        const bool braced = pos < s.size() && s.at(pos) == u'{';
        const QString value = braced ? readBraced(s, pos) : QString();
        const qsizetype end = s.indexOf(u';', pos);
        const QString plain = s.mid(pos, end < 0 ? -1 : end - pos).trimmed();
        pos = end < 0 ? s.size() : end + 1;
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return braced ? value : plain;
    }
    return std::nullopt;
}

QString defaultOdbcDriver() {
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

} // namespace kestrel
