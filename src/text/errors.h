#pragma once

#include <QString>
#include <stdexcept>

namespace kestrel {

// Base of every error the engine raises. The message is the text shown to the operator.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A failure of the connection or of a statement, carrying the server's or the layer's message.
class DatabaseError : public Error {
public:
    using Error::Error;
};

// A workbook that cannot be opened or read, or a worksheet that is not there.
class WorkbookError : public Error {
public:
    using Error::Error;
};

// A cell value that cannot be turned into text (an error cell).
class ConversionError : public Error {
public:
    using Error::Error;
};

} // namespace kestrel
