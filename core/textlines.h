#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <vector>

class QIODevice;

/// One line of a text buffer: its bytes without the line break.
struct LineSpan
{
    qsizetype offset = 0;
    qsizetype length = 0;
};

/// Cuts text into lines: CR, LF and CR LF each end a line (LF CR is two breaks), a NUL ends the
/// text, and a final break starts no further empty line.
std::vector<LineSpan> SplitLines(QByteArrayView text);

/// Reads a whole file as bytes; throws EFOpenError when it cannot be opened or read.
QByteArray ReadFileBytes(const QString& path);

/// Writes bytes to path so that the previous file stays intact until the new one is complete.
/// Throws EFCreateError when the file cannot be created, EWriteError when writing fails.
void WriteFileAtomically(const QString& path, QByteArrayView bytes);
/// The same, with writer filling the new file; it returns false when a write failed.
void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer);
