#pragma once

#include <QString>

namespace kestrel {

// The settings file "Kestrel.ini": classic INI text read and written like the Windows profile
// functions. Section and key names match without regard to letter case; writing a key replaces
// its first entry in place and keeps every other line as it was.
class SettingsFile {
public:
    explicit SettingsFile(QString path);

    const QString& path() const { return m_path; }
    // A missing file, section or key reads as the empty text.
    QString read(const QString& section, const QString& key) const;
    // Creates the file and the section when absent. Throws kestrel::Error when it cannot write.
    void write(const QString& section, const QString& key, const QString& value);

private:
    QString m_path;
};

// The settings file of a folder: folder + "Kestrel.ini".
QString settingsFilePath(const QString& folder);

} // namespace kestrel
