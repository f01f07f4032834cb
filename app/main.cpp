// Program entry: the application, the main window, the chip table dialog.
#include "app/unit1.h"
#include "app/unit2.h"
#include "platform/exceptions.h"

#include <QApplication>

namespace {

// Whatever an event handler lets through is shown in the exception box
// here instead of ending the program.
class Application final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            platform::HandleException();
            return false;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qv750"));
    try {
        auto* form1 = new TForm1;
        Form1 = form1;
        Form2 = new TForm2(form1);
        form1->show();
        // Without a window manager nothing would activate the window, and the
        // first activation is what probes for the programmer.
        form1->activateWindow();
        QApplication::exec();
    } catch (...) {
        platform::HandleException();
    }
    delete Form1; // deletes Form2 with it
    Form2 = nullptr;
    return 0;
}
