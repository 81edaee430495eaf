#pragma once
#include <QByteArray>
#include <QList>

class QIODevice;

/// Runs one quillmar-cli command line (without the program name), writing to out and err.
/// Returns the exit status: 0 done, 1 a file or pattern error, 2 wrong usage; for check, 0 no
/// problem, 1 problems found, 2 wrong usage or a file that cannot be read.
int RunCli(const QList<QByteArray>& args, QIODevice& out, QIODevice& err);

/// Escapes a text so that it fits on one output line: \\ \t \n \r and \xHH for other controls.
QByteArray EscapeField(QByteArrayView text);
