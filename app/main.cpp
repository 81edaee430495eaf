#include "mainform.h"
#include "qtdialogseam.h"

#include <QApplication>
#include <functional>
#include <new>

namespace {

// Commands catch their own errors; running out of memory can also happen while painting or
// handling input, outside any command. It is shown like any error instead of ending the program.
class Application : public QApplication
{
public:
    using QApplication::QApplication;
    std::function<void()> outOfMemory;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            if (outOfMemory)
                outOfMemory();
            return false;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QApplication::setApplicationName(QStringLiteral("Quillmar"));
    QtDialogSeam seam;
    TMainForm mainForm(seam);
    seam.SetParent(&mainForm); // choosers open over the main window
    app.outOfMemory = [&mainForm] { mainForm.ShowOutOfMemory(); };
    mainForm.show();
    return app.exec();
}
