// The phrase-line parser and the cutting of file bytes into lines, on any bytes. The input is the
// file's bytes; each of its lines, and the input as a single line, go through the parser.
#include "fuzzcheck.h"
#include "phraseline.h"
#include "textlines.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Lines: each starts right behind the break of the one before; between them stands exactly one
// break (CR LF counts as one, LF CR as two); the last may run to the end of the text or stop at
// a final break that starts no further line; nothing from the first NUL on is read. Each line's
// length is found again from where it starts.
void CheckSplitLines(QByteArrayView text, const std::vector<LineSpan>& lines)
{
    const void* nul = text.empty() ? nullptr : std::memchr(text.data(), 0, size_t(text.size()));
    const qsizetype end = nul ? static_cast<const char*>(nul) - text.data() : text.size();
    qsizetype pos = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const LineSpan& s = lines[i];
        FUZZ_REQUIRE(s.offset == pos);
        FUZZ_REQUIRE(s.offset < end);
        FUZZ_REQUIRE(s.length >= 0 && s.length <= end - s.offset);
        const QByteArrayView line = text.sliced(s.offset, s.length);
        FUZZ_REQUIRE(!line.contains('\r') && !line.contains('\n'));
        // Measured again from its start alone, as a phrase's line is when it is read back.
        FUZZ_REQUIRE(LineLengthAt(text, s.offset) == s.length);
        pos = s.offset + s.length;
        if (pos == end) {
            FUZZ_REQUIRE(i + 1 == lines.size());
            break;
        }
        FUZZ_REQUIRE(text[pos] == '\r' || text[pos] == '\n');
        const bool crLf = text[pos] == '\r' && pos + 1 < end && text[pos + 1] == '\n';
        pos += crLf ? 2 : 1;
    }
    FUZZ_REQUIRE(pos == end);
}

// Referring to the line instead of copying changes where key and value live, never what they
// hold; a line that is no phrase leaves the caller's texts alone.
void CheckParseModes(QByteArrayView line)
{
    const QByteArray untouched("untouched");
    QByteArray copiedKey = untouched, copiedValue = untouched;
    QByteArray referredKey = untouched, referredValue = untouched;
    const PhraseLineKind copied = ParsePhraseLine(line, copiedKey, copiedValue, false);
    const PhraseLineKind referred = ParsePhraseLine(line, referredKey, referredValue, true);
    FUZZ_REQUIRE(copied == referred);
    FUZZ_REQUIRE(copiedKey == referredKey);
    FUZZ_REQUIRE(copiedValue == referredValue);
    if (copied == PhraseLineKind::lkNone) {
        FUZZ_REQUIRE(copiedKey == untouched && copiedValue == untouched);
        return;
    }
    // Key and value are separate stretches of the line, and unescaping only shortens them.
    FUZZ_REQUIRE(copiedKey.size() + copiedValue.size() <= line.size());
    // No value is read without a key before it.
    FUZZ_REQUIRE(!copiedKey.isEmpty() || copiedValue.isEmpty());
}

// What a typed text means as a literal in quote: a backslash and the byte after it are one
// escape, an escaped quote of the literal's kind is that quote, and a lone final backslash is a
// backslash. This is the text the literal the writer makes reads back as.
QByteArray MeaningOf(QByteArrayView text, char quote)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            if (text[i + 1] == quote) {
                out += quote;
            } else {
                out += text[i];
                out += text[i + 1];
            }
            ++i;
        } else if (text[i] == '\\') {
            out += "\\\\";
        } else {
            out += text[i];
        }
    }
    return out;
}

// Any text written as a literal, in either quote, closes where the writer closed it and reads
// back as what it means; writing what was read gives the same literal again.
void CheckLiteralRoundTrip(QByteArrayView text)
{
    for (const char quote : {'"', '\''}) {
        QByteArray literal;
        AppendPhpLiteral(literal, text, quote);
        const QByteArray line = "define('K'," + literal + ");";
        PhraseLineParts parts;
        FUZZ_REQUIRE(ReadPhraseLine(line, parts) == PhraseLineKind::lkDefine);
        FUZZ_REQUIRE(parts.editable);
        FUZZ_REQUIRE(parts.key == "K");
        FUZZ_REQUIRE(parts.valueQuote == quote);
        FUZZ_REQUIRE(parts.value == MeaningOf(text, quote));
        FUZZ_REQUIRE(line.sliced(parts.valueBegin, parts.valueEnd - parts.valueBegin) == literal);
        QByteArray again;
        AppendPhpLiteral(again, parts.value, quote);
        FUZZ_REQUIRE(again == literal);
    }
}

// A value read from a line and written back unedited gives the line's own literal, byte for
// byte: an unedited phrase never changes.
void CheckValueWrittenAsRead(QByteArrayView line)
{
    PhraseLineParts parts;
    if (ReadPhraseLine(line, parts) == PhraseLineKind::lkNone || !parts.editable ||
        parts.kind == PhraseLineKind::lkBracket)
        return;
    QByteArray literal;
    AppendPhpLiteral(literal, parts.value, parts.valueQuote);
    FUZZ_REQUIRE(literal == line.sliced(parts.valueBegin, parts.valueEnd - parts.valueBegin));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The fuzzer's own buffer, of exactly the input's size, so reading past a line's end is seen.
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));

    const std::vector<LineSpan> lines = SplitLines(text);
    CheckSplitLines(text, lines);
    for (const LineSpan& s : lines) {
        // Each line alone in a block of its size, as the text around it would hide a read past it.
        const auto line = std::make_unique<char[]>(size_t(s.length));
        std::memcpy(line.get(), text.data() + s.offset, size_t(s.length));
        CheckParseModes(QByteArrayView(line.get(), s.length));
        CheckValueWrittenAsRead(QByteArrayView(line.get(), s.length));
    }
    // The parser takes any bytes, breaks and NULs included.
    CheckParseModes(text);
    CheckValueWrittenAsRead(text);
    CheckLiteralRoundTrip(text);
    return 0;
}
