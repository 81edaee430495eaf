#include "masks.h"
#include "textcodec.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringEncoder>
#include <QTest>
#include <algorithm>
#include <optional>
#include <random>

namespace {

// "" single-byte, "utf8", "sjis", or the name of an encoding: its lead bytes as the codec finds
// them.
LeadByteTable Encoding(const QString& name)
{
    if (name.isEmpty())
        return LeadByteTable::SingleByte();
    static QHash<QString, LeadByteTable> known;
    auto it = known.find(name);
    if (it == known.end()) {
        const QByteArray codec = name == u"utf8"   ? QByteArray("UTF-8")
                                 : name == u"sjis" ? QByteArray("Shift_JIS")
                                                   : name.toLatin1();
        it = known.insert(name, TextCodec(codec).LeadBytes());
    }
    return *it;
}

QByteArray StarGroups(int count)
{
    return QByteArray("*a").repeated(count);
}

// --- A plain recursive matcher to compare against. It works on whole characters, split by the
// same lead bytes; a character of more than one byte never folds and, in a set, counts as its
// bytes read as one big-endian number, above every single byte. ---

using Chars = QList<QByteArray>;

Chars SplitChars(const QByteArray& s, const LeadByteTable& lead)
{
    Chars out;
    const auto* p = reinterpret_cast<const unsigned char*>(s.constData());
    const auto* const end = p + s.size();
    while (p < end) {
        const auto n = lead.CharLength(p, end);
        out.append(QByteArray(reinterpret_cast<const char*>(p), static_cast<qsizetype>(n)));
        p += n;
    }
    return out;
}

unsigned char Upper(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? b - 32 : b;
}

bool Is(const QByteArray& ch, char c)
{
    return ch.size() == 1 && ch[0] == c;
}

qint64 Value(const QByteArray& ch)
{
    if (ch.size() == 1)
        return Upper(ch[0]);
    qint64 v = 0;
    for (char c : ch)
        v = v * 256 + static_cast<unsigned char>(c);
    return v;
}

// A set as ranges of character values, both ends included.
using Ranges = QList<std::pair<qint64, qint64>>;

// Reads the set whose '[' is at m[i]; returns the index behind its ']', or -1 for a bad set.
qsizetype ReadSet(const Chars& m, qsizetype i, Ranges& members, bool& negated)
{
    members.clear();
    negated = ++i < m.size() && Is(m[i], '!');
    if (negated)
        ++i;
    qint64 last = -1;
    for (; i < m.size() && !Is(m[i], ']'); ++i) {
        if (Is(m[i], '-')) {
            if (last < 0 || ++i == m.size())
                return -1;
            if (Value(m[i]) >= last)
                members.append({last, Value(m[i])});
        } else {
            last = Value(m[i]);
            members.append({last, last});
        }
    }
    return i < m.size() && !members.isEmpty() ? i + 1 : -1;
}

bool ReferenceValid(const Chars& m)
{
    Ranges members;
    bool negated;
    for (qsizetype i = 0; i < m.size();) {
        if (!Is(m[i], '[')) {
            ++i;
            continue;
        }
        i = ReadSet(m, i, members, negated);
        if (i < 0)
            return false;
    }
    return true;
}

bool ReferenceMatch(const Chars& m, qsizetype mi, const Chars& t, qsizetype ti)
{
    if (mi == m.size())
        return ti == t.size();
    if (Is(m[mi], '*')) {
        // Any '?' in a run of stars is dropped with them.
        while (mi < m.size() && (Is(m[mi], '*') || Is(m[mi], '?')))
            ++mi;
        for (qsizetype s = ti; s <= t.size(); ++s)
            if (ReferenceMatch(m, mi, t, s))
                return true;
        return false;
    }
    if (ti == t.size())
        return false;
    if (Is(m[mi], '?'))
        return ReferenceMatch(m, mi + 1, t, ti + 1);
    if (Is(m[mi], '[')) {
        Ranges members;
        bool negated;
        const qsizetype next = ReadSet(m, mi, members, negated);
        const qint64 v = Value(t[ti]);
        const bool member = std::any_of(members.begin(), members.end(), [&](const auto& r) {
            return v >= r.first && v <= r.second;
        });
        return member != negated && ReferenceMatch(m, next, t, ti + 1);
    }
    const bool same = m[mi].size() == 1 ? t[ti].size() == 1 && Upper(m[mi][0]) == Upper(t[ti][0])
                                        : m[mi] == t[ti];
    return same && ReferenceMatch(m, mi + 1, t, ti + 1);
}

} // namespace

class TestMasks : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void multiByte_data();
    void multiByte();
    void characters_data();
    void characters();
    void invalidMasks_data();
    void invalidMasks();
    void starGroupLimit_data();
    void starGroupLimit();
    void agreesWithRecursiveMatcher_data();
    void agreesWithRecursiveMatcher();
    void failingTextsStayFast();
};

void TestMasks::matches_data()
{
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty mask, empty text") << QByteArray() << QByteArray() << true;
    QTest::newRow("empty mask, text") << QByteArray() << QByteArray("a") << false;
    QTest::newRow("star, empty text") << QByteArray("*") << QByteArray() << true;
    QTest::newRow("star, text") << QByteArray("*") << QByteArray("any text") << true;
    QTest::newRow("*? drops the ?") << QByteArray("*?") << QByteArray() << true;
    QTest::newRow("*?X is *X") << QByteArray("*?X") << QByteArray("x") << true;
    QTest::newRow("A*? is A*") << QByteArray("A*?") << QByteArray("a") << true;
    QTest::newRow("*?*? is *") << QByteArray("*?*?") << QByteArray() << true;
    QTest::newRow("?* keeps the ?") << QByteArray("?*") << QByteArray() << false;

    QTest::newRow("ABC abc") << QByteArray("ABC") << QByteArray("abc") << true;
    QTest::newRow("ABC Abc") << QByteArray("ABC") << QByteArray("Abc") << true;
    QTest::newRow("ABC ABC") << QByteArray("ABC") << QByteArray("ABC") << true;
    QTest::newRow("ABC abcd, anchored at the end")
        << QByteArray("ABC") << QByteArray("abcd") << false;
    QTest::newRow("ABC xabc, anchored at the start")
        << QByteArray("ABC") << QByteArray("xabc") << false;
    QTest::newRow("*abc* inside") << QByteArray("*abc*") << QByteArray("xxABCyy") << true;
    QTest::newRow("*WELCOME*") << QByteArray("*WELCOME*") << QByteArray("Say welcome!") << true;
    QTest::newRow("*WORD* absent") << QByteArray("*WORD*") << QByteArray("a wor d") << false;

    QTest::newRow("a?c abc") << QByteArray("a?c") << QByteArray("abc") << true;
    QTest::newRow("a?c ac") << QByteArray("a?c") << QByteArray("ac") << false;
    QTest::newRow("a? a") << QByteArray("a?") << QByteArray("a") << false;
    QTest::newRow("[!x] empty text") << QByteArray("[!x]") << QByteArray() << false;
    QTest::newRow("_[A-C]?X") << QByteArray("_[A-C]?X") << QByteArray("_bzx") << true;

    QTest::newRow("[a-c]x Bx") << QByteArray("[a-c]x") << QByteArray("Bx") << true;
    QTest::newRow("[a-c]x bx") << QByteArray("[a-c]x") << QByteArray("bx") << true;
    QTest::newRow("[a-c]x dx") << QByteArray("[a-c]x") << QByteArray("dx") << false;
    QTest::newRow("[!a-c] d") << QByteArray("[!a-c]") << QByteArray("d") << true;
    QTest::newRow("[!a-c] b") << QByteArray("[!a-c]") << QByteArray("b") << false;
    QTest::newRow("[!a-c] B") << QByteArray("[!a-c]") << QByteArray("B") << false;
    QTest::newRow("[A-C-E] second range from A")
        << QByteArray("[A-C-E]") << QByteArray("D") << true;
    QTest::newRow("[C-A] holds C") << QByteArray("[C-A]") << QByteArray("C") << true;
    QTest::newRow("[C-A] not B") << QByteArray("[C-A]") << QByteArray("B") << false;
    QTest::newRow("[C-A-E] D") << QByteArray("[C-A-E]") << QByteArray("D") << true;
    QTest::newRow("[C-A-E] range from C, not A")
        << QByteArray("[C-A-E]") << QByteArray("B") << false;
    QTest::newRow("[a-]] range ends at ]") << QByteArray("[a-]]") << QByteArray("[") << true;
    QTest::newRow("[a-]] not past ]") << QByteArray("[a-]]") << QByteArray("^") << false;
    QTest::newRow("[a!] later ! is a member") << QByteArray("[a!]") << QByteArray("!") << true;
    QTest::newRow("[!!] negates !") << QByteArray("[!!]") << QByteArray("!") << false;
    QTest::newRow("[*?[] members") << QByteArray("[*?[]") << QByteArray("?") << true;

    QTest::newRow("[*] *") << QByteArray("[*]") << QByteArray("*") << true;
    QTest::newRow("[*] a") << QByteArray("[*]") << QByteArray("a") << false;
    QTest::newRow("[?] a") << QByteArray("[?]") << QByteArray("a") << false;
    QTest::newRow("[[] [") << QByteArray("[[]") << QByteArray("[") << true;
    QTest::newRow("a-b literal") << QByteArray("a-b") << QByteArray("A-B") << true;
    QTest::newRow("a-b not ab") << QByteArray("a-b") << QByteArray("ab") << false;
    QTest::newRow("]! literals") << QByteArray("]!") << QByteArray("]!") << true;

    QTest::newRow("0xC4 vs 0xE4") << QByteArray("\xC4") << QByteArray("\xE4") << false;
    QTest::newRow("0xE4 vs 0xC4") << QByteArray("\xE4") << QByteArray("\xC4") << false;
    QTest::newRow("0xC4 itself") << QByteArray("\xC4") << QByteArray("\xC4") << true;

    QTest::newRow("backtrack one group") << QByteArray("*ab") << QByteArray("aab") << true;
    QTest::newRow("retry within a group") << QByteArray("*a?c*x") << QByteArray("abdabcx") << true;
    QTest::newRow("last group must reach the end")
        << QByteArray("*a*b") << QByteArray("abba") << false;

    // Only the bytes before a NUL count, in the mask and in the text.
    QTest::newRow("NUL ends the mask") << QByteArray("a*\0b", 4) << QByteArray("ax") << true;
    QTest::newRow("NUL ends the text") << QByteArray("abc") << QByteArray("abc\0d", 5) << true;

    // Thirty groups push thirty entries; the last one is popped and retried.
    QTest::newRow("30 groups, full stack")
        << StarGroups(29) + "*ab" << QByteArray(29, 'a') + "aab" << true;
    QTest::newRow("30 groups, interleaved")
        << StarGroups(30) << QByteArray("ba").repeated(30) << true;
}

void TestMasks::matches()
{
    QFETCH(QByteArray, mask);
    QFETCH(QByteArray, text);
    QFETCH(bool, expected);
    QCOMPARE(WildcardMatch(text, mask), expected);
}

void TestMasks::multiByte_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("expected");

    const QByteArray zhe("\xD0\xB6"); // Cyrillic small zhe
    QTest::newRow("utf8 ? takes a whole letter") << "utf8" << QByteArray("?") << zhe << true;
    QTest::newRow("utf8 ?? is two letters") << "utf8" << QByteArray("??") << zhe << false;
    QTest::newRow("utf8 a?c") << "utf8" << QByteArray("a?c") << "a" + zhe + "c" << true;
    QTest::newRow("utf8 ? never half a letter") << "utf8"
                                                << QByteArray("a?\xB6"
                                                              "c")
                                                << "a" + zhe + "c" << false;
    QTest::newRow("utf8 ? three bytes")
        << "utf8" << QByteArray("?") << QByteArray("\xE2\x82\xAC") << true;
    QTest::newRow("utf8 ? four bytes")
        << "utf8" << QByteArray("?") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("utf8 *zhe*") << "utf8"
                                << "*" + zhe + "*"
                                << "xx" + zhe + "yy" << true;
    QTest::newRow("utf8 *zhe* absent") << "utf8"
                                       << "*" + zhe + "*" << QByteArray("xx\xD0\xB7yy") << false;
    QTest::newRow("utf8 *zhe backtracks by letters") << "utf8"
                                                     << "*" + zhe << zhe + zhe << true;
    QTest::newRow("utf8 star never stops inside a letter")
        << "utf8" << QByteArray("*\xB6") << zhe << false;
    QTest::newRow("utf8 [!a] a letter") << "utf8" << QByteArray("[!a]") << zhe << true;
    QTest::newRow("utf8 [!a] two letters") << "utf8" << QByteArray("[!a]") << zhe + zhe << false;
    // The range covers the lead byte values, yet a whole letter is never a member.
    QTest::newRow("utf8 set over lead values, letter")
        << "utf8" << QByteArray("[ -\xFF]") << zhe << false;
    QTest::newRow("utf8 no folding beyond ASCII")
        << "utf8" << QByteArray("\xD0\x96") << zhe << false;
    QTest::newRow("utf8 ASCII still folds") << "utf8" << QByteArray("*AB") << zhe + "ab" << true;
    QTest::newRow("utf8 lead ending the mask")
        << "utf8" << QByteArray("a\xD0") << QByteArray("a\xD0") << true;
    QTest::newRow("utf8 lead ending the mask, whole letter")
        << "utf8" << QByteArray("a\xD0") << "a" + zhe << false;

    // A lead byte without the bytes that complete it is a character of its own, as the decoder
    // shows it: one replacement character per byte.
    QTest::newRow("utf8 stray lead before a letter") << "utf8" << QByteArray("a?c")
                                                     << QByteArray("a\xD0"
                                                                   "c")
                                                     << true;
    QTest::newRow("utf8 letter cut short")
        << "utf8" << QByteArray("???x") << QByteArray("\xF0\x9F\x98x") << true;
    QTest::newRow("utf8 overlong form")
        << "utf8" << QByteArray("???") << QByteArray("\xE0\x80\x80") << true;
    QTest::newRow("utf8 surrogate")
        << "utf8" << QByteArray("???") << QByteArray("\xED\xA0\x80") << true;
    QTest::newRow("sjis stray lead before a blank")
        << "sjis" << QByteArray("abc? def") << QByteArray("abc\x83 def") << true;

    const QByteArray a("\x83\x41");   // katakana A: its trail byte is 'A'
    const QByteArray hyo("\x95\x5C"); // its trail byte is '\'
    QTest::newRow("sjis *A skips a trail byte") << "sjis" << QByteArray("*A") << a << false;
    QTest::newRow("sjis *a* skips a trail byte") << "sjis" << QByteArray("*a*") << a << false;
    QTest::newRow("sjis *A after the letter") << "sjis" << QByteArray("*A") << a + "A" << true;
    QTest::newRow("sjis *\\ skips a trail byte") << "sjis" << QByteArray("*\\*") << hyo << false;
    QTest::newRow("sjis letter") << "sjis" << hyo << hyo << true;
    QTest::newRow("sjis *letter* inside") << "sjis"
                                          << "*" + a + "*"
                                          << "xx" + a + "yy" << true;
    QTest::newRow("sjis *letter across two letters")
        << "sjis"
        << "*" + a << QByteArray("\x83\x83\x41") << false;
    QTest::newRow("sjis *letter backtracks by letters") << "sjis"
                                                        << "*" + a << a + a << true;
    QTest::newRow("sjis ? letter") << "sjis" << QByteArray("?") << hyo << true;
    QTest::newRow("sjis ?? letter") << "sjis" << QByteArray("??") << hyo << false;
    QTest::newRow("sjis ?\\ letter") << "sjis" << QByteArray("?\\") << hyo << false;
    QTest::newRow("sjis ? half-width kana")
        << "sjis" << QByteArray("?") << QByteArray("\xB1") << true;
    QTest::newRow("sjis [!A] letter") << "sjis" << QByteArray("[!A]") << a << true;
    QTest::newRow("sjis [A] letter") << "sjis" << QByteArray("[A]") << a << false;
    QTest::newRow("sjis *[!x] letter") << "sjis" << QByteArray("*[!x]") << a << true;
    QTest::newRow("sjis set over lead values, letter")
        << "sjis" << QByteArray("[\x80-\xDF]") << a << false;
    QTest::newRow("sjis set over lead values, half-width kana")
        << "sjis" << QByteArray("[\x80-\xDF]") << QByteArray("\xB1") << true;
    // Retrying "*[!a]" one byte on would read 83 41 (katakana A) out of 83 83 | 41.
    QTest::newRow("sjis star retries a whole letter on")
        << "sjis" << QByteArray("*[!a]") << QByteArray("\x83\x83\x41") << false;
    QTest::newRow("sjis range end keeps its trail byte")
        << "sjis"
        << "[a-" + QByteArray("\x81\x5D") + "]x" << QByteArray("bx") << true;
}

void TestMasks::multiByte()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mask);
    QFETCH(QByteArray, text);
    QFETCH(bool, expected);
    QCOMPARE(WildcardMatch(text, mask, Encoding(encoding)), expected);
}

void TestMasks::characters_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    const auto row = [](const QByteArray& encoding, const char* mask, const char* text,
                        bool expected) {
        const QByteArray name = encoding + " " + mask + " / " + text;
        QTest::newRow(name.constData())
            << encoding << QString::fromUtf8(mask) << QString::fromUtf8(text) << expected;
    };

    // What every multi-byte encoding must do with its letters, here Cyrillic, fullwidth Latin
    // and ideographs that each of them holds.
    struct Letters
    {
        QByteArray encoding;
        const char* a;     // a letter
        const char* b;     // a letter after it in the encoding's order
        const char* c;     // a letter after both
        const char* other; // a letter of another script, ordered outside a-c
    };
    const Letters encodings[] = {
        {"UTF-8", "é", "ê", "ë", "ж"},      {"UTF-8", "а", "ж", "я", "日"},
        {"Shift_JIS", "а", "ж", "я", "日"}, {"EUC-JP", "а", "ж", "я", "日"},
        {"EUC-KR", "а", "ж", "я", "日"},    {"windows-949", "а", "ж", "я", "日"},
        {"GBK", "а", "ж", "я", "日"},       {"GB18030", "а", "ж", "я", "日"},
        {"Big5", "ａ", "ｂ", "ｃ", "日"},
    };
    for (const Letters& l : encodings) {
        const auto cat = [](std::initializer_list<const char*> parts) {
            QByteArray s;
            for (const char* p : parts)
                s += p;
            return s;
        };
        const QByteArray e = l.encoding;
        row(e, "?", l.a, true);
        row(e, "??", l.a, false);
        row(e, cat({"x?", l.b, "y"}), cat({"x", l.a, l.b, "y"}), true);
        row(e, cat({"*", l.b, "*"}), cat({"x", l.a, l.b, l.c, "y"}), true);
        row(e, cat({"*", l.b, "*"}), cat({"x", l.a, l.c, "y"}), false);
        row(e, cat({"*[", l.b, "]*"}), cat({"xx", l.b, "yy"}), true);
        row(e, cat({"*[", l.b, "]*"}), cat({"xx", l.a, l.c, "yy"}), false);
        row(e, cat({"[", l.a, l.c, "]"}), l.c, true);
        row(e, cat({"[", l.a, "-", l.c, "]"}), l.b, true);
        row(e, cat({"[", l.a, "-", l.c, "]"}), l.other, false);
        row(e, cat({"[", l.a, "-", l.c, "]"}), "b", false);
        row(e, cat({"[", l.c, "-", l.a, "]"}), l.b, false); // a range downwards adds nothing
        row(e, cat({"[", l.c, "-", l.a, "]"}), l.c, true);
        row(e, cat({"[!", l.a, "]"}), l.b, true);
        row(e, cat({"[!", l.a, "]"}), l.a, false);
        row(e, cat({"[!", l.a, "]"}), cat({l.b, l.b}), false);
        row(e, cat({"[!", l.a, "-", l.b, "]?"}), cat({l.c, l.a}), true);
        // A byte range below every letter holds none of them, and ASCII letters fold beside them.
        row(e, "[ -~]", l.a, false);
        row(e, cat({"*AB[", l.a, "]"}), cat({l.b, "ab", l.a}), true);
        row(e, cat({"[a-", l.a, "]"}), "B", true);
        row(e, cat({"[a-", l.a, "]"}), l.b, false);
    }

    row("UTF-8", "*[é]*", "café", true);
    row("UTF-8", "*[é]*", "cafe", false);
    row("UTF-8", "[é-ë]", "ì", false);
    row("UTF-8", "[!é]", "e", true);
    row("UTF-8", "[€😀]", "😀", true);
    row("UTF-8", "[a-я]", "é", true); // in code point order
    row("UTF-8", "[é]", "É", false);  // only ASCII letters fold in a mask
    // A trail byte that is an ASCII letter or digit belongs to its character.
    row("Shift_JIS", "*A*", "ア", false);
    row("Shift_JIS", "?A", "ア", false);
    row("Shift_JIS", "[!A]", "ア", true);
    row("GBK", "*A*", "丄", false);
    row("Big5", "*A*", "乙", false);
    row("windows-949", "*A*", "갂", false);
    row("windows-949", "*A*", "갂A", true);
    row("GB18030", "*0*", "Ä", false);
    row("GB18030", "?", "Ä", true);
    row("GB18030", "[Ä-Ü]", "Ö", true);
    row("GB18030", "[Ä-Ü]", "ж", false);
    // A three-byte letter of EUC-JP ends in the bytes of a two-byte one.
    row("EUC-JP", "*亜*", "丂", false);
    row("EUC-JP", "*亜*", "丂亜", true);
    row("EUC-JP", "?", "丂", true);
    row("EUC-JP", "??", "丂", false);
    row("EUC-JP", "[!亜]", "丂", true);
    row("EUC-JP", "[丂]", "丂", true);
    row("EUC-JP", "*[ü]*", "Müller", true);
}

void TestMasks::characters()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, mask);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QStringEncoder encoder(encoding.constData(), QStringConverter::Flag::Stateless);
    const QByteArray maskBytes = encoder.encode(mask);
    const QByteArray textBytes = encoder.encode(text);
    QVERIFY2(!encoder.hasError(), "the encoding holds the mask and the text");
    try {
        QCOMPARE(WildcardMatch(textBytes, maskBytes, Encoding(QString::fromLatin1(encoding))),
                 expected);
    } catch (const EMaskError& e) {
        QFAIL(qPrintable(e.Message()));
    }
}

void TestMasks::invalidMasks_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("message");

    QTest::newRow("[abc") << "" << QByteArray("[abc") << 5 << "'[abc' is an invalid mask at (5)";
    QTest::newRow("[") << "" << QByteArray("[") << 2 << "'[' is an invalid mask at (2)";
    QTest::newRow("[]") << "" << QByteArray("[]") << 2 << "'[]' is an invalid mask at (2)";
    QTest::newRow("[]] closes at once")
        << "" << QByteArray("x[]]") << 3 << "'x[]]' is an invalid mask at (3)";
    QTest::newRow("[!]") << "" << QByteArray("[!]") << 3 << "'[!]' is an invalid mask at (3)";
    QTest::newRow("[-a]") << "" << QByteArray("[-a]") << 2 << "'[-a]' is an invalid mask at (2)";
    QTest::newRow("[!-a]") << "" << QByteArray("[!-a]") << 3 << "'[!-a]' is an invalid mask at (3)";
    QTest::newRow("[a-]") << "" << QByteArray("[a-]") << 5 << "'[a-]' is an invalid mask at (5)";
    QTest::newRow("[a-") << "" << QByteArray("[a-") << 4 << "'[a-' is an invalid mask at (4)";
    QTest::newRow("% in the mask")
        << "" << QByteArray("%2[") << 4 << "'%2[' is an invalid mask at (4)";
    QTest::newRow("latin-1 mask") << "" << QByteArray("[\xE9") << 3
                                  << QString::fromUtf8("'[\xC3\xA9' is an invalid mask at (3)");
    QTest::newRow("NUL ends the mask")
        << "" << QByteArray("[a\0]", 4) << 3 << "'[a' is an invalid mask at (3)";

    QTest::newRow("utf8 mask") << "utf8" << QByteArray("[\xD0\xB6") << 4
                               << QString::fromUtf8("'[\xD0\xB6' is an invalid mask at (4)");
    // A letter is one member: the set's faults are found and placed as with single bytes.
    QTest::newRow("utf8 - first before a letter")
        << "utf8" << QByteArray("[-\xC3\xA9]") << 2
        << QString::fromUtf8("'[-\xC3\xA9]' is an invalid mask at (2)");
    QTest::newRow("utf8 range to nothing")
        << "utf8" << QByteArray("[\xC3\xA9-") << 5
        << QString::fromUtf8("'[\xC3\xA9-' is an invalid mask at (5)");
    QTest::newRow("utf8 range to ], unclosed")
        << "utf8" << QByteArray("[\xC3\xA9-]") << 6 << QString();
    QTest::newRow("utf8 negated, nothing") << "utf8" << QByteArray("[!]\xC3\xA9") << 3 << QString();
    // A trail byte that is ']' belongs to its letter and does not close the set.
    QTest::newRow("sjis letter ending in ]") << "sjis" << QByteArray("[\x81\x5D") << 4 << QString();
}

void TestMasks::invalidMasks()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mask);
    QFETCH(int, position);
    QFETCH(QString, message);

    try {
        WildcardMatch("", mask, Encoding(encoding));
        QFAIL("the mask compiled");
    } catch (const EMaskError& e) {
        QCOMPARE(e.position(), position);
        QCOMPARE(e.mask(), QByteArray(mask.constData())); // up to the first NUL
        if (!message.isNull())
            QCOMPARE(e.Message(), message);
    }
}

void TestMasks::starGroupLimit_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<int>("position"); // 0: the mask compiles

    QTest::newRow("30 groups") << "" << StarGroups(30) << 0;
    QTest::newRow("31st on a literal") << "" << StarGroups(31) << 62;
    QTest::newRow("31st ends the mask") << "" << StarGroups(30) + "*" << 62;
    QTest::newRow("31st ends the mask, ? dropped") << "" << StarGroups(30) + "*?" << 63;
    QTest::newRow("31st on a set") << "" << StarGroups(30) + "*[xy]" << 65;
    QTest::newRow("? after 30 groups") << "" << StarGroups(30) + "?" << 0;
    QTest::newRow("a**b is one group") << "" << StarGroups(29) + "a**b" << 0;
    QTest::newRow("a**b as the 31st") << "" << StarGroups(30) + "a**b" << 64;
    QTest::newRow("a*?*b is one group") << "" << StarGroups(29) + "a*?*b" << 0;
    QTest::newRow("a*?*b as the 31st") << "" << StarGroups(30) + "a*?*b" << 65;
    QTest::newRow("*?* at the end is one group") << "" << StarGroups(29) + "*?*" << 0;
    QTest::newRow("sjis 31st on a letter") << "sjis" << StarGroups(30) + "*\x83\x41" << 63;
    QTest::newRow("utf8 31st on a letter") << "utf8" << StarGroups(30) + "*\xE2\x82\xAC" << 64;
}

void TestMasks::starGroupLimit()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mask);
    QFETCH(int, position);

    try {
        TMask compiled(mask, Encoding(encoding));
        QVERIFY2(position == 0, "the mask compiled");
    } catch (const EMaskError& e) {
        QCOMPARE(e.position(), position);
    }
}

void TestMasks::agreesWithRecursiveMatcher_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("maskAlphabet");
    QTest::addColumn<QByteArray>("textAlphabet");

    QTest::newRow("single-byte") << "" << QByteArray("*?[]!-aAbBc") << QByteArray("aAbBc*?[]!-");
    // Lead D0, with continuation bytes B6 and 96 that also stand alone.
    QTest::newRow("utf8") << "utf8" << QByteArray("*?[]!-aA\xD0\xB6\x96\xD1")
                          << QByteArray("aA[]!-\xD0\xB6\x96\xD1");
    // Lead 83, whose trail bytes here include 'A', ']' and '-'.
    QTest::newRow("sjis") << "sjis" << QByteArray("*?[]!-aA\x83\x83\x84")
                          << QByteArray("aA[]!-\x83\x83\x84");
    // 8F takes two trail bytes, B0 A1 is a letter of its own as well.
    QTest::newRow("EUC-JP") << "EUC-JP" << QByteArray("*?[]!-aA\x8F\xB0\xA1")
                            << QByteArray("aA[]!-\x8F\xB0\xA1");
    // 81 30 81 30 is one letter, 81 41 another; 81 before anything else stands alone.
    QTest::newRow("GB18030") << "GB18030" << QByteArray("*?[]!-a0\x81\x81")
                             << QByteArray("aA0]-\x81\x30\x81");
}

// Random masks and texts over small alphabets rich in wildcards and set syntax, so that
// backtracking over several groups, sets, ranges and invalid masks all occur; in the multi-byte
// encodings lead bytes pair with whatever byte follows them.
void TestMasks::agreesWithRecursiveMatcher()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, maskAlphabet);
    QFETCH(QByteArray, textAlphabet);
    const LeadByteTable lead = Encoding(encoding);

    std::mt19937 random(20240611);
    const auto pick = [&](const QByteArray& alphabet, int maxLength) {
        QByteArray s(std::uniform_int_distribution<int>(0, maxLength)(random), '\0');
        for (char& c : s)
            c = alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)];
        return s;
    };
    const auto show = [](const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ')); };

    int invalid = 0, accepted = 0, rejected = 0;
    for (int round = 0; round < 4000; ++round) {
        const QByteArray mask = pick(maskAlphabet, 9);
        const Chars maskChars = SplitChars(mask, lead);
        const bool valid = ReferenceValid(maskChars);
        std::optional<TMask> compiled;
        try {
            compiled.emplace(mask, lead);
        } catch (const EMaskError&) {
        }
        if (compiled.has_value() != valid)
            QFAIL(qPrintable(QStringLiteral("mask [%1] validity").arg(show(mask))));
        if (!valid) {
            ++invalid;
            continue;
        }
        // One compiled mask serves many texts, as in a search.
        for (int t = 0; t < 40; ++t) {
            const QByteArray text = pick(textAlphabet, 10);
            const bool expected = ReferenceMatch(maskChars, 0, SplitChars(text, lead), 0);
            if (compiled->Accepts(text) != expected)
                QFAIL(qPrintable(QStringLiteral("mask [%1] text [%2] expected %3")
                                     .arg(show(mask), show(text))
                                     .arg(expected)));
            ++(expected ? accepted : rejected);
        }
    }
    // The generator must not have produced only one kind of case.
    QVERIFY(invalid > 0);
    QVERIFY(accepted > 0);
    QVERIFY(rejected > 0);
}

void TestMasks::failingTextsStayFast()
{
    // Many star groups before a byte the text lacks: trying every placement of the groups would
    // take minutes; the search must give up after trying each group's places once.
    QByteArray mask;
    for (int i = 0; i < 29; ++i)
        mask += "*a";
    mask += "*b";
    const TMask compiled(mask);
    const QByteArray text(1 << 20, 'a');
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!compiled.Accepts(text));
    QVERIFY(compiled.Accepts(text + 'b'));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed()) + " ms"));
}

QTEST_APPLESS_MAIN(TestMasks)
#include "tst_masks.moc"
