#include "database/settings_file.h"

#include "text/codepage.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <optional>

namespace kestrel {

namespace {

constexpr int kGb18030CodePage = 54936;

struct Line {
    QString text;
    QString ending; // "\r\n", "\n", "\r" or empty for a last line without one
};

// The file as lines, with what is needed to write it back the way it came.
struct IniText {
    QList<Line> lines;
    bool gb18030 = false;
    bool utf8Bom = false;

    QString newLine() const {
        for (const Line& line : lines)
            if (!line.ending.isEmpty())
                return line.ending;
#ifdef Q_OS_WIN
        return QStringLiteral("\r\n");
#else
        return QStringLiteral("\n");
#endif
    }
};

QList<Line> splitLines(const QString& text) {
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\n' && c != u'\r')
            continue;
        const bool crlf = c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n';
        const qsizetype endingLength = crlf ? 2 : 1;
        lines.append({text.mid(start, i - start), text.mid(i, endingLength)});
        i += endingLength - 1;
        start = i + 1;
    }
    if (start < text.size())
        lines.append({text.mid(start), QString()});
    return lines;
}

bool decodeUtf8(const QByteArray& bytes, QString& text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    text = decoder(bytes);
    return !decoder.hasError();
}

// A missing file reads as empty; one that exists but cannot be read too, unless the caller is
// about to write it back (that would lose its contents).
IniText load(const QString& path, bool forWriting) {
    IniText ini;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (forWriting && file.exists())
            throw Error(QCoreApplication::translate("Database", "Unable to read %1: %2")
                            .arg(path, file.errorString()));
        return ini;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.utf8Bom = true;
        bytes.remove(0, 3);
    }
    QString text;
    if (!decodeUtf8(bytes, text)) {
        // A file typed by hand on a Chinese Windows is in the ANSI code page.
        text = decodeCodePage(bytes, kGb18030CodePage);
        ini.gb18030 = true;
    }
    ini.lines = splitLines(text);
    return ini;
}

std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

struct Entry {
    QString key;
    QString value;
};

std::optional<Entry> entryOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals <= 0)
        return std::nullopt;
    return Entry{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

bool isQuoted(const QString& value) {
    return value.size() >= 2 && value.front() == value.back() &&
           (value.front() == u'"' || value.front() == u'\'');
}

QString unquoted(const QString& value) {
    return isQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

// Quotes a value that reading would otherwise change (surrounding blanks, enclosing quotes).
QString storedForm(const QString& value) {
    if (value != value.trimmed() || isQuoted(value))
        return u'"' + value + u'"';
    return value;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first line of the first section of that name, or -1.
qsizetype findSection(const IniText& ini, const QString& section) {
    for (qsizetype i = 0; i < ini.lines.size(); ++i) {
        const auto name = sectionName(ini.lines.at(i).text);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

// One past the last line belonging to the section whose header is at headerIndex.
qsizetype sectionEnd(const IniText& ini, qsizetype headerIndex) {
    qsizetype i = headerIndex + 1;
    while (i < ini.lines.size() && !sectionName(ini.lines.at(i).text))
        ++i;
    return i;
}

qsizetype findKey(const IniText& ini, qsizetype headerIndex, const QString& key) {
    const qsizetype end = sectionEnd(ini, headerIndex);
    for (qsizetype i = headerIndex + 1; i < end; ++i) {
        const auto entry = entryOf(ini.lines.at(i).text);
        if (entry && sameName(entry->key, key))
            return i;
    }
    return -1;
}

void ensureLastLineEnded(IniText& ini) {
    if (!ini.lines.isEmpty() && ini.lines.back().ending.isEmpty())
        ini.lines.back().ending = ini.newLine();
}

void setEntry(IniText& ini, const QString& section, const QString& key, const QString& value) {
    const QString newLine = ini.newLine();
    const qsizetype header = findSection(ini, section);
    if (header < 0) {
        ensureLastLineEnded(ini);
        ini.lines.append({u'[' + section + u']', newLine});
        ini.lines.append({key + u'=' + storedForm(value), newLine});
        return;
    }
    const qsizetype existing = findKey(ini, header, key);
    if (existing >= 0) {
        // Keep the spelling of the name already in the file; only the value changes.
        Line& line = ini.lines[existing];
        line.text = entryOf(line.text)->key + u'=' + storedForm(value);
        return;
    }
    // New entries go after the section's last non-blank line, before any blank separator.
    qsizetype insertAt = sectionEnd(ini, header);
    while (insertAt - 1 > header && ini.lines.at(insertAt - 1).text.trimmed().isEmpty())
        --insertAt;
    if (insertAt == ini.lines.size())
        ensureLastLineEnded(ini);
    ini.lines.insert(insertAt, {key + u'=' + storedForm(value), newLine});
}

QByteArray serialize(const IniText& ini) {
    QString text;
    for (const Line& line : ini.lines)
        text += line.text + line.ending;
    QByteArray bytes = ini.utf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += ini.gb18030 ? encodeCodePage(text, kGb18030CodePage) : text.toUtf8();
    return bytes;
}

void save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QCoreApplication::translate("Database", "Unable to write to %1: %2")
                        .arg(path, file.errorString()));
    // The file holds a database password: only its owner may read it.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QCoreApplication::translate("Database", "Unable to write to %1: %2")
                        .arg(path, file.errorString()));
}

} // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

QString SettingsFile::read(const QString& section, const QString& key) const {
    const IniText ini = load(m_path, false);
    const qsizetype header = findSection(ini, section);
    if (header < 0)
        return QString();
    const qsizetype line = findKey(ini, header, key);
    if (line < 0)
        return QString();
    return unquoted(entryOf(ini.lines.at(line).text)->value);
}

void SettingsFile::write(const QString& section, const QString& key, const QString& value) {
    if (value.contains(u'\n') || value.contains(u'\r'))
        throw Error(QCoreApplication::translate("Database", "A setting must be a single line: %1")
                        .arg(key));
    IniText ini = load(m_path, true);
    setEntry(ini, section, key, value);
    save(m_path, serialize(ini));
}

QString settingsFilePath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("Kestrel.ini"));
}

} // namespace kestrel
