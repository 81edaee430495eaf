#include "cli.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    // Named like the program, so safety copies of files saved in place go to its cache folder.
    QCoreApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmar"));
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return 1;
    int status = RunCli(args, out, err);
    // The last buffered output is written only now; a failure here is a failure of the command.
    if (!out.flush() && status == 0) {
        err.write("Cannot write the output: " + out.errorString().toLocal8Bit() + '\n');
        status = 1;
    }
    err.flush();
    return status;
}
