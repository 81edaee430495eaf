#include "textlines.h"

#include <QtEndian>
#include <bit>
#include <cstring>

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
        // Read little-endian on every machine: the first byte in memory is the lowest.
        const quint64 w = qFromLittleEndian<quint64>(p);
        const quint64 lf = w ^ (Ones * '\n');
        const quint64 cr = w ^ (Ones * '\r');
        const quint64 nul = w;
        // A byte's high bit is set when it was zero; the lowest such byte is exact (a borrow only
        // marks bytes above a zero byte).
        const quint64 hits = ((lf - Ones) & ~lf) | ((cr - Ones) & ~cr) | ((nul - Ones) & ~nul);
        if (const quint64 found = hits & Highs)
            return (p - begin) + std::countr_zero(found) / 8;
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
    ForEachLine(lineText, [&lines](qsizetype start, qsizetype length) {
        lines.push_back({start, length});
    });
    return lines;
}
