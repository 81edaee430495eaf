#include "appicon.h"
#include "fileio.h"
#include "mainform.h"
#include "openrequest.h"
#include "qtdialogseam.h"
#include "quillmar_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>

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

// Help and the version are printed before the window's toolkit starts, so that they work
// without a display too.
bool AsksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--")
            return false;
        for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (arg == option)
                return true;
    }
    return false;
}

void SetUpParser(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Translation editor for the language files of PHP web applications: opens TEMPLATE, the "
        "English language file, and merges TRANSLATION into it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("TEMPLATE"),
                                 QStringLiteral("The template (the English language file)."),
                                 QStringLiteral("[TEMPLATE"));
    parser.addPositionalArgument(QStringLiteral("TRANSLATION"),
                                 QStringLiteral("The translation file that goes with it."),
                                 QStringLiteral("[TRANSLATION]]"));
}

// The files named on the command line. Help, the version and a wrong option are printed by the
// parser, which ends the program; more than two files are refused here.
std::optional<QStringList> FileArguments(QCommandLineParser& parser)
{
    parser.process(QCoreApplication::arguments());
    const QStringList files = parser.positionalArguments();
    if (files.size() <= 2)
        return files;
    std::fprintf(stderr, "%s: at most two files: TEMPLATE [TRANSLATION]\n",
                 qPrintable(QCoreApplication::applicationName()));
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    // A file-size limit fails a save's write instead of ending the program half-way through it.
    PrepareProcessForSaving();
    QCoreApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmar"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMAR_VERSION_STRING));
    QCommandLineParser parser;
    SetUpParser(parser);
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication text(argc, argv);
        return FileArguments(parser) ? EXIT_SUCCESS : EXIT_FAILURE;
    }

    // Docks match the window to the installed desktop entry (and so to its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMAR_APP_ID));
    Application app(argc, argv); // takes the toolkit's own options (-platform, ...) out of argv
    app.setWindowIcon(ApplicationIcon());
    const std::optional<QStringList> files = FileArguments(parser);
    if (!files)
        return EXIT_FAILURE;
    QtDialogSeam seam;
    TMainForm mainForm(seam);
    seam.SetParent(&mainForm); // choosers open over the main window
    app.outOfMemory = [&mainForm] { mainForm.ShowOutOfMemory(); };
    mainForm.show();
    // Once the window stands, files whose save in place a crash cut short are offered back.
    QTimer::singleShot(0, &mainForm, [&mainForm] {
        mainForm.OfferSafetyCopies();
        mainForm.UpdateActions();
    });
    if (!files->isEmpty()) {
        const QList<QByteArray> native = OpenRequest::NativeArguments(*files, argc, argv);
        const FilePair pair{OpenRequest::AbsoluteFilePath(native[0]),
                            native.size() > 1 ? OpenRequest::AbsoluteFilePath(native[1])
                                              : FilePath()};
        // Read once the window stands, so that an error box opens over it.
        QTimer::singleShot(0, &mainForm, [&mainForm, pair] { mainForm.OpenStartFiles(pair); });
    }
    return app.exec();
}
