// The PHP lexer on any bytes, in every encoding scheme and with short open tags on and off:
// the tokens cover the input exactly and in order, none is empty, lines never go back and
// each starts one line further for every line break before it. The inside of every
// interpolated text splits into pieces that cover it exactly.
#include "fuzzcheck.h"
#include "phplexer.h"
#include "textcodec.h"

#include <cstdint>

namespace {

// The line of offset: 1 and one more for every LF, CR LF and lone CR before it.
qint32 LineAt(QByteArrayView text, qsizetype from, qsizetype to, qint32 line)
{
    for (qsizetype p = from; p < to; ++p)
        if (text[p] == '\n' || (text[p] == '\r' && (p + 1 >= text.size() || text[p + 1] != '\n')))
            ++line;
    return line;
}

void CheckPieces(QByteArrayView inside, const PhpLexOptions& options, bool heredoc)
{
    qsizetype pos = 0;
    for (const PhpStringPiece& p : SplitPhpInterpolation(inside, options, heredoc)) {
        FUZZ_REQUIRE(p.offset == pos);
        FUZZ_REQUIRE(p.length > 0);
        pos += p.length;
    }
    FUZZ_REQUIRE(pos == inside.size());
}

void CheckTokens(QByteArrayView text, const PhpLexOptions& options)
{
    qsizetype pos = 0;
    qint32 line = 1;
    bool data = false;
    LexPhp(text, options, [&](const PhpToken& t) {
        FUZZ_REQUIRE(!data); // nothing follows the data after __halt_compiler();
        FUZZ_REQUIRE(t.offset == pos);
        FUZZ_REQUIRE(t.length > 0 && t.length <= text.size() - pos);
        FUZZ_REQUIRE(t.line == line);
        line = LineAt(text, pos, pos + t.length, line);
        pos += t.length;
        data = t.kind == PhpTokenKind::Data;
        if ((t.flags & PhpTokenFlag::Unterminated) != 0)
            FUZZ_REQUIRE(pos == text.size());
        if (t.kind == PhpTokenKind::DoubleQuoted) {
            const qsizetype quote = text[t.offset] == '"' ? t.offset : t.offset + 1; // b"..."
            FUZZ_REQUIRE(text[quote] == '"' && text[pos - 1] == '"' && pos - quote >= 2);
            CheckPieces(text.sliced(quote + 1, pos - quote - 2), options, false);
        }
    });
    FUZZ_REQUIRE(pos == text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    static const LeadByteTable encodings[] = {LeadByteTable::SingleByte(), LeadByteTable::Utf8(),
                                              TextCodec(QByteArray("Shift_JIS")).LeadBytes(),
                                              TextCodec(QByteArray("Big5")).LeadBytes()};
    for (const LeadByteTable& encoding : encodings)
        for (const bool shortTags : {true, false}) {
            PhpLexOptions options;
            options.encoding = encoding;
            options.shortOpenTags = shortTags;
            CheckTokens(text, options);
        }
    CheckPieces(text, {}, true);
    CheckPieces(text, {}, false);
    return 0;
}
