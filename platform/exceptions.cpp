#include "platform/exceptions.h"

#include "platform/seams.h"

#include <exception>

namespace platform {

Exception::Exception(QString message)
    : message_(std::move(message)), utf8_(message_.toUtf8())
{
}

void HandleException() noexcept
{
    try {
        QString text;
        // Rethrowing with nothing in flight would end the program.
        if (!std::current_exception()) {
            ui().showException(text);
            return;
        }
        try {
            throw;
        } catch (const Exception& e) {
            text = e.Message();
        } catch (...) {
            // Anything else becomes an exception with an empty message.
        }
        ui().showException(text);
    } catch (...) {
        // The exception box itself failed; there is nowhere left to report.
    }
}

} // namespace platform
