#pragma once

#include <QDate>
#include <QString>
#include <QTime>

namespace kestrel {

// One cell of a worksheet as the reader gives it.
struct CellValue {
    enum class Type { Blank, Text, Number, DateTime, Boolean, Error };

    Type type = Type::Blank;
    QString text;         // Text
    double number = 0.0;  // Number
    QDate date;           // DateTime: the calendar day
    QTime time;           // DateTime: the time of day (00:00:00 for a pure date)
    bool boolean = false; // Boolean
    quint8 errorCode = 0; // Error: the BIFF error code (0x07 is #DIV/0! and so on)

    static CellValue blank() { return {}; }
    static CellValue fromText(const QString& value) {
        CellValue cell;
        cell.type = Type::Text;
        cell.text = value;
        return cell;
    }
    static CellValue fromNumber(double value) {
        CellValue cell;
        cell.type = Type::Number;
        cell.number = value;
        return cell;
    }
    static CellValue fromDateTime(const QDate& day, const QTime& timeOfDay = QTime(0, 0)) {
        CellValue cell;
        cell.type = Type::DateTime;
        cell.date = day;
        cell.time = timeOfDay;
        return cell;
    }
    static CellValue fromBoolean(bool value) {
        CellValue cell;
        cell.type = Type::Boolean;
        cell.boolean = value;
        return cell;
    }
    static CellValue fromError(quint8 code) {
        CellValue cell;
        cell.type = Type::Error;
        cell.errorCode = code;
        return cell;
    }

    bool isBlank() const { return type == Type::Blank; }
};

// The error of a formula saved without its result (some writers leave computing it to the
// spreadsheet application); not a BIFF code.
constexpr quint8 kErrorNoFormulaResult = 0xFF;

// The text Excel shows for a BIFF error code: "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?",
// "#NUM!", "#N/A"; kErrorNoFormulaResult gives "#NOT CALCULATED" in the operator's language; an
// unknown code gives "#ERR" followed by its number.
QString errorCodeText(quint8 code);

} // namespace kestrel
