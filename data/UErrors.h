#pragma once
// Error classes of the application side. Every one carries the Polish
// message that the user interface shows as it stands.
#include <QString>
#include <exception>

// The plain error: a failure whose message is shown in a message box.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &Message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A failed field conversion, a required or range failure of the table layer.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// Refused contents of a data file or a line file.
class EOrvanFileError : public Exception {
public:
    using Exception::Exception;
};

// An input/output failure (a missing file, a failed open or write).
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// Ends a user action without any message; nobody shows it.
class EAbort : public Exception {
public:
    EAbort() : Exception(QString()) {}
};
