#include "run/category_keys.h"

#include "text/errors.h"

#include <QCoreApplication>

namespace kestrel {

namespace {

qint64 powerOfTen(int exponent) {
    qint64 result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

QString keyText(const CategoryKeyForm& form, const QString& branchNumber, const QString& digits,
                int rowNumber) {
    QString key =
        form.prefixKind == CategoryKeyForm::Prefix::BranchNumber ? branchNumber : form.prefix;
    key += digits;
    if (form.appendsRowNumber)
        key += QString::number(rowNumber);
    return key;
}

QString paddedDigits(qint64 value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

} // namespace

QString timeDigits(const QTime& time) {
    return QStringLiteral("%1%2%3%4")
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(time.msec(), 3, 10, QLatin1Char('0'));
}

CategoryKeyGenerator::CategoryKeyGenerator(std::function<QDateTime()> now)
    : m_now(std::move(now)) {}

QString CategoryKeyGenerator::generate(const CategoryKeyForm& form, const QString& branchNumber,
                                       int rowNumber, const IsTaken& isTakenInTable) {
    const QString stamp = timeDigits(m_now().time()).right(form.digits);
    const qint64 first = stamp.toLongLong();
    const qint64 modulus = powerOfTen(form.digits);
    qint64 digits = first;
    do {
        const QString key =
            keyText(form, branchNumber, paddedDigits(digits, form.digits), rowNumber);
        if (!wasGiven(key) && !isTakenInTable(key)) {
            noteGiven(key);
            return key;
        }
        digits = (digits + 1) % modulus;
    } while (digits != first);
    const QString pattern =
        keyText(form, branchNumber, QString(form.digits, QLatin1Char('#')), rowNumber);
    throw Error(QCoreApplication::translate(
                    "Run", "Cannot generate a new category key: every key of the form %1 is taken")
                    .arg(pattern));
}

void CategoryKeyGenerator::noteGiven(const QString& key) {
    m_given.insert(key.toCaseFolded());
}

bool CategoryKeyGenerator::wasGiven(const QString& key) const {
    return m_given.contains(key.toCaseFolded());
}

} // namespace kestrel
