#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstring>
#include <vector>

/// One line of a text buffer: its bytes without the line break.
struct LineSpan
{
    qsizetype offset = 0;
    qsizetype length = 0;
};

/// The text up to its first NUL, which ends a language file's text (and a mask). Inline, so the
/// mask matcher's inner loops use it without a call.
inline QByteArrayView TextBeforeNul(QByteArrayView text)
{
    if (text.isEmpty())
        return text; // an empty view may have no data pointer at all
    if (const void* nul = std::memchr(text.data(), '\0', size_t(text.size())))
        return text.first(static_cast<const char*>(nul) - text.data());
    return text;
}

/// Calls line(start, length) for every line of text, which must hold no NUL (see TextBeforeNul):
/// CR, LF and CR LF each end a line (LF CR is two breaks); a final break starts no further line.
template <class Line> void ForEachLine(QByteArrayView text, Line&& line)
{
    const char* const s = text.data();
    const qsizetype n = text.size();
    qsizetype start = 0;
    // memchr finds the next LF quickly; a CR before it (CR-only files, CR LF) ends the line first.
    const char* nextLf =
        n > 0 ? static_cast<const char*>(std::memchr(s, '\n', size_t(n))) : nullptr;
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
            nextLf = start < n
                         ? static_cast<const char*>(std::memchr(s + start, '\n', size_t(n - start)))
                         : nullptr;
    }
}

/// The length of the line of text that begins at start: up to its CR, LF or NUL, or the end.
qsizetype LineLengthAt(QByteArrayView text, qsizetype start);

/// Cuts text into lines: CR, LF and CR LF each end a line (LF CR is two breaks), a NUL ends the
/// text, and a final break starts no further empty line.
std::vector<LineSpan> SplitLines(QByteArrayView text);
