#pragma once
// The class library's exception family, as the program's parts raise and show it.
#include <QByteArray>
#include <QString>
#include <exception>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& Message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

class EConvertError : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };

// Call from inside a catch block: shows the exception in flight in the
// application's standard exception box. An exception that is not one of
// ours shows with an empty message, as the class library does.
void HandleException() noexcept;

// Runs f and reports anything it throws; nothing escapes into the event loop.
template <class F>
void Guarded(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        HandleException();
    }
}

} // namespace platform
