#include "textlines.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

namespace {

// Calls line(start, length) for every line of text (already cut at its first NUL).
template <class Line> void ForEachLine(const char* s, qsizetype n, Line&& line)
{
    qsizetype start = 0;
    // memchr finds the next LF quickly; a CR before it (CR-only files, CR LF) ends the line first.
    const char* nextLf = static_cast<const char*>(std::memchr(s, '\n', size_t(n)));
    while (start < n) {
        const qsizetype lf = nextLf ? nextLf - s : n;
        const void* cr = std::memchr(s + start, '\r', size_t(lf - start));
        qsizetype end;
        qsizetype next;
        if (cr) {
            end = static_cast<const char*>(cr) - s;
            // CR LF is one break; LF CR is two, so only CR may swallow a following LF.
            next = (end + 1 == lf) ? lf + 1 : end + 1;
        } else if (nextLf) {
            end = lf;
            next = lf + 1;
        } else {
            line(start, n - start);
            break;
        }
        line(start, end - start);
        start = next;
        if (nextLf && start > lf)
            nextLf = start < n ? static_cast<const char*>(std::memchr(s + start, '\n', size_t(n - start)))
                               : nullptr;
    }
}

} // namespace

std::vector<LineSpan> SplitLines(QByteArrayView text)
{
    std::vector<LineSpan> lines;
    const char* s = text.data();
    qsizetype n = text.size();
    if (n == 0)
        return lines; // an empty view may have no data pointer at all
    if (const void* nul = std::memchr(s, '\0', size_t(n)))
        n = static_cast<const char*>(nul) - s;
    // Counted first, so ten million lines take exactly their room and no more.
    size_t count = 0;
    ForEachLine(s, n, [&count](qsizetype, qsizetype) { ++count; });
    lines.reserve(count);
    ForEachLine(s, n, [&lines](qsizetype start, qsizetype length) { lines.push_back({start, length}); });
    return lines;
}

QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    // A directory opens as a file on some systems and reads as nothing; treat it as unopenable.
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw EFOpenError(path);
    QByteArray data;
    const qint64 size = file.size();
    if (size > 0 && file.isSequential() == false) {
        data.resize(size);
        qint64 got = 0;
        while (got < size) {
            const qint64 r = file.read(data.data() + got, size - got);
            if (r <= 0)
                break;
            got += r;
        }
        if (got < 0)
            throw EFOpenError(path);
        data.resize(got);
        // The file may have grown since its size was taken; take the rest too.
        if (got == size)
            data.append(file.readAll());
    } else {
        data = file.readAll();
    }
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(path);
    return data;
}

void WriteFileAtomically(const QString& path, QByteArrayView bytes)
{
    WriteFileAtomically(path, [bytes](QIODevice& file) {
        return file.write(bytes.data(), bytes.size()) == bytes.size();
    });
}

void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer)
{
    // Write over the file a symbolic link points to, so the link itself survives.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString resolved = info.symLinkTarget();
        if (!resolved.isEmpty())
            target = resolved;
    }
    if (QFileInfo(target).isDir())
        throw EFCreateError(path);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(path);
    if (!writer(file)) {
        file.cancelWriting();
        throw EWriteError();
    }
    // commit() flushes, syncs and renames; a failure there is a failed write, the target untouched.
    if (!file.commit())
        throw EWriteError();
}
