#include "cli.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return 1;
    const int status = RunCli(args, out, err);
    out.flush();
    err.flush();
    return status;
}
