#include "textlines.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <bit>
#include <cstring>
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

QByteArrayView TextBeforeNul(QByteArrayView text)
{
    if (text.isEmpty())
        return text; // an empty view may have no data pointer at all
    if (const void* nul = std::memchr(text.data(), '\0', size_t(text.size())))
        return text.first(static_cast<const char*>(nul) - text.data());
    return text;
}

qsizetype LineLengthAt(QByteArrayView text, qsizetype start)
{
    // Eight bytes at a time: lines are read again whenever a phrase is shown or searched, and
    // memchr for LF alone could run to the end of a CR-only file for every line.
    const char* const begin = text.data() + start;
    const char* const end = text.data() + text.size();
    const char* p = begin;
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 Highs = 0x8080808080808080ULL;
    while (end - p >= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        const quint64 lf = w ^ (Ones * '\n');
        const quint64 cr = w ^ (Ones * '\r');
        const quint64 nul = w;
        // A byte's high bit is set when it was zero; the lowest such byte is exact.
        const quint64 hits = ((lf - Ones) & ~lf) | ((cr - Ones) & ~cr) | ((nul - Ones) & ~nul);
        if (const quint64 found = hits & Highs) {
            if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
                return (p - begin) + std::countr_zero(found) / 8;
            break; // big-endian: the byte loop below finds it
        }
        p += 8;
    }
    while (p != end && *p != '\n' && *p != '\r' && *p != '\0')
        ++p;
    return p - begin;
}

std::vector<LineSpan> SplitLines(QByteArrayView text)
{
    std::vector<LineSpan> lines;
    const QByteArrayView lineText = TextBeforeNul(text);
    // Counted first, so ten million lines take exactly their room and no more.
    size_t count = 0;
    ForEachLine(lineText, [&count](qsizetype, qsizetype) { ++count; });
    lines.reserve(count);
    ForEachLine(lineText, [&lines](qsizetype start, qsizetype length) { lines.push_back({start, length}); });
    return lines;
}

namespace {

// A file of a hundred megabytes is read into fresh memory: in large pages the kernel fills it
// with a few hundred faults instead of tens of thousands. Only a hint; ignored where unsupported.
void AskForLargePages(char* data, qint64 size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr quintptr Large = 2 << 20;
    const quintptr begin = (quintptr(data) + Large - 1) & ~(Large - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(Large - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace

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
        AskForLargePages(data.data(), size);
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
