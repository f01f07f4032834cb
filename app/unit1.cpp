// The main window's global, its re-entry guard and the end of a connection. The window itself is
// split by concern over the form1_*.cpp files.
#include "app/unit1.h"

#include "platform/exceptions.h"

TForm1* Form1 = nullptr;

// --- re-entry guard --------------------------------------------------------

CommandScope::CommandScope(TForm1& form)
    : form_(form), entered_(!form.Busy())
{
    if (entered_)
        ++form_.busyDepth_;
}

CommandScope::~CommandScope()
{
    if (!entered_)
        return;
    --form_.busyDepth_;
    if (form_.busyDepth_ > 0)
        return;
    platform::Guarded([this] {
        if (form_.closePending_) {
            form_.closePending_ = false;
            form_.probePending_ = false;
            form_.close();
            return;
        }
        if (form_.probePending_) {
            form_.probePending_ = false;
            form_.CheckProgrammer();
        }
    });
}

// --- end of a connection ---------------------------------------------------

ConnectionEnd::~ConnectionEnd()
{
    platform::Guarded([this] { form_.EndConnection(); });
}
