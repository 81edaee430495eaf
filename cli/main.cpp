#include "cli.h"
#include "fileio.h"
#include "saveleftovers.h"
#include "stringtable.h"

#include <QCoreApplication>
#include <QFile>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    PrepareProcessForSaving();
    // Named like the program, so safety copies of files saved in place go to its cache folder.
    QCoreApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmar"));
    // The terminal's encoding, in which find's pattern was typed, is the locale's.
    std::setlocale(LC_CTYPE, "");
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return 1;
    // A save of this program that was killed while it wrote a file in place left the file cut
    // short, and its previous contents in a safety copy: every run says so until it is dealt
    // with, whatever the command.
    for (const OrphanedSafetyCopy& orphan : FindOrphanedSafetyCopies()) {
        const QString cut = QString::fromLatin1(strings::InterruptedSave)
                                .arg(orphan.target.Display(), orphan.copy.Display());
        err.write(QString::fromLatin1(strings::CliWarning).arg(cut).toLocal8Bit() + '\n');
    }
    int status = RunCli(args, out, err);
    // The last buffered output is written only now; a failure here is a failure of the command.
    // For check, whose status 1 means problems found, that is status 2.
    const bool check = !args.isEmpty() && args.first() == "check";
    if (!out.flush() && (status == 0 || (check && status == 1))) {
        err.write("Cannot write the output: " + out.errorString().toLocal8Bit() + '\n');
        status = check ? 2 : 1;
    }
    err.flush();
    return status;
}
