#include "cli/import_options.h"

#include <QCoreApplication>
#include <QDir>

namespace kestrel::cli {

QString usageText() {
    return QCoreApplication::translate(
        "kestrel-import",
        "usage: kestrel-import [--dir DIR] [--hotel-tree-id T] [--hotel-id H] [--hotel-name N]\n"
        "                      [--check | --verify | [--record FILE] [--summary]] IMPORT...\n"
        "IMPORT: stored-value | points | treatment | time-period | rooms-lockers | items-goods |\n"
        "        employees\n"
        "  --dir DIR           folder of Kestrel.ini and the templates (default: the program's "
        "folder)\n"
        "  --hotel-tree-id T   group number, used when the database has no Sys_System table\n"
        "  --hotel-id H        branch number, likewise\n"
        "  --hotel-name N      branch name, likewise\n"
        "  --check             run the checking passes only; write nothing\n"
        "  --verify            report the template rows whose key is not in the database;\n"
        "                      write nothing (exit status 1 when any is missing)\n"
        "  --record FILE       write what each block did to FILE as JSON\n"
        "  --summary           print one line per block after its completion message\n"
        "Exit status: 0 completed, 1 a check failed, 2 an error ended an import,\n"
        "             3 the database cannot be opened, 64 usage error.\n");
}

namespace {

// The identity option of that name, or nullptr.
std::optional<QString>* identityTarget(ImportOptions& options, const QString& name) {
    if (name == QLatin1String("--hotel-tree-id"))
        return &options.hotelTreeId;
    if (name == QLatin1String("--hotel-id"))
        return &options.hotelId;
    if (name == QLatin1String("--hotel-name"))
        return &options.hotelName;
    return nullptr;
}

bool takesValue(const QString& name) {
    return name == QLatin1String("--dir") || name == QLatin1String("--hotel-tree-id") ||
           name == QLatin1String("--hotel-id") || name == QLatin1String("--hotel-name") ||
           name == QLatin1String("--record");
}

// Sets the flag an option without a value names; false when it names none.
bool setFlag(ImportOptions& options, const QString& name) {
    if (name == QLatin1String("--check"))
        options.checkOnly = true;
    else if (name == QLatin1String("--verify"))
        options.verify = true;
    else if (name == QLatin1String("--summary"))
        options.summary = true;
    else if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        options.help = true;
    else
        return false;
    return true;
}

// Why the options cannot go together; empty when they can.
QString conflict(const ImportOptions& options) {
    if (options.checkOnly && options.verify)
        return QCoreApplication::translate("kestrel-import",
                                           "--check and --verify cannot be combined");
    if ((options.checkOnly || options.verify) && (options.summary || !options.recordFile.isEmpty()))
        return QCoreApplication::translate(
            "kestrel-import",
            "--record and --summary go with imports, not with --check or --verify");
    return {};
}

// Stores the value of a value-taking option; false when it was given twice.
bool storeValue(ImportOptions& options, const QString& name, const QString& value, bool& dirSeen) {
    if (name == QLatin1String("--record")) {
        if (!options.recordFile.isEmpty())
            return false;
        options.recordFile = value;
        return true;
    }
    if (name == QLatin1String("--dir")) {
        if (dirSeen)
            return false;
        dirSeen = true;
        options.dir = value;
        return true;
    }
    std::optional<QString>* target = identityTarget(options, name);
    if (target == nullptr || target->has_value())
        return false;
    *target = value;
    return true;
}

} // namespace

ParsedOptions parseImportOptions(const QStringList& arguments, const QString& defaultDir) {
    ParsedOptions parsed;
    ImportOptions& options = parsed.options;
    options.dir = defaultDir;
    bool dirSeen = false;
    bool onlyNames = false; // after "--" every argument is an import name
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (onlyNames || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            options.imports.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyNames = true;
            continue;
        }
        QString name = argument;
        std::optional<QString> inlineValue;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 2) {
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        }
        if (!inlineValue && setFlag(options, name))
            continue;
        if (takesValue(name)) {
            QString value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                parsed.error =
                    QCoreApplication::translate("kestrel-import", "option %1 needs a value")
                        .arg(name);
                return parsed;
            }
            if (name == QLatin1String("--record") && value.isEmpty()) {
                parsed.error =
                    QCoreApplication::translate("kestrel-import", "--record needs a file");
                return parsed;
            }
            if (!storeValue(options, name, value, dirSeen)) {
                parsed.error =
                    QCoreApplication::translate("kestrel-import", "option %1 given more than once")
                        .arg(name);
                return parsed;
            }
        } else {
            parsed.error = QCoreApplication::translate("kestrel-import", "unknown option \"%1\"")
                               .arg(argument);
            return parsed;
        }
    }
    if (options.dir.isEmpty()) {
        parsed.error = QCoreApplication::translate("kestrel-import", "--dir needs a folder");
        return parsed;
    }
    if (options.imports.isEmpty() && !options.help)
        parsed.error = QCoreApplication::translate("kestrel-import", "no import named");
    else if (const QString why = conflict(options); !why.isEmpty())
        parsed.error = why;
    return parsed;
}

} // namespace kestrel::cli
