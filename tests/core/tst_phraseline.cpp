#include "phraseline.h"
#include "textlines.h"

#include <QTest>

class TestPhraseLine : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void noneLeavesKeyAndValue();
    void quote_data();
    void quote();
    void quoteRoundTrip_data();
    void quoteRoundTrip();
    void splitLines_data();
    void splitLines();
};

void TestPhraseLine::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("case") << QByteArray(R"(    case "Hello": $tmp = "Bonjour"; break;)") << 1
                          << QByteArray("Hello") << QByteArray("Bonjour");
    QTest::newRow("define") << QByteArray(R"(define("_HELLO","Hello");)") << 2
                            << QByteArray("_HELLO") << QByteArray("Hello");
    QTest::newRow("strtolower") << QByteArray(
                                       R"(case strtolower("Hello"): $tmp = "Bonjour"; break;)")
                                << 4 << QByteArray("Hello") << QByteArray("Bonjour");
    QTest::newRow("bracket") << QByteArray("[[Hello]] = [[Bonjour]]") << 3 << QByteArray("Hello")
                             << QByteArray("Bonjour");
    QTest::newRow("blanks around")
        << QByteArray("\t  define(\"_A\", \"B\");  ") << 2 << QByteArray("_A") << QByteArray("B");
    QTest::newRow("escaped quotes")
        << QByteArray(R"(case "Say \"hi\"": $tmp = "Dites \"salut\""; break;)") << 1
        << QByteArray(R"(Say "hi")") << QByteArray(R"(Dites "salut")");
    QTest::newRow("backslash n kept")
        << QByteArray(R"(define("A","a\nb");)") << 2 << QByteArray("A") << QByteArray(R"(a\nb)");
    // As in PHP, a backslash escapes the byte after it: "x\\" is x and an escaped backslash.
    QTest::newRow("escaped backslash before the quote")
        << QByteArray(R"(define("A","x\\");)") << 2 << QByteArray("A") << QByteArray(R"(x\\)");
    QTest::newRow("escaped backslash, then escaped quote")
        << QByteArray(R"(define("A","x\\\"y");)") << 2 << QByteArray("A") << QByteArray(R"(x\\"y)");
    QTest::newRow("single quotes") << QByteArray("define('_HELLO','Hello');") << 2
                                   << QByteArray("_HELLO") << QByteArray("Hello");
    QTest::newRow("single quotes, escapes")
        << QByteArray(R"(define('_A','It\'s \\ a\n "b"');)") << 2 << QByteArray("_A")
        << QByteArray(R"(It's \\ a\n "b")");
    QTest::newRow("mixed quotes") << QByteArray(R"(define("_A",'x');)") << 2 << QByteArray("_A")
                                  << QByteArray("x");
    QTest::newRow("keyword in capitals, blanks")
        << QByteArray("DEFINE ( '_A' ,\t'x' ) ;") << 2 << QByteArray("_A") << QByteArray("x");
    QTest::newRow("guarded define") << QByteArray("if (!defined('_A')) define('_A', 'x');") << 2
                                    << QByteArray("_A") << QByteArray("x");
    QTest::newRow("guarded define in braces")
        << QByteArray("if(!defined('_A')) { define('_A','x'); }") << 2 << QByteArray("_A")
        << QByteArray("x");
    QTest::newRow("case in single quotes") << QByteArray("case 'Hello': $tmp = 'Bonjour'; break;")
                                           << 1 << QByteArray("Hello") << QByteArray("Bonjour");
    QTest::newRow("strtolower in single quotes")
        << QByteArray("CASE strtolower('Hello'): $t='Bonjour'; break;") << 4 << QByteArray("Hello")
        << QByteArray("Bonjour");
    QTest::newRow("constant as value") << QByteArray("define('TITLE', STORE_NAME);") << 2
                                       << QByteArray("TITLE") << QByteArray("STORE_NAME");
    QTest::newRow("value over two lines")
        << QByteArray(R"(define("_A","one)") << 2 << QByteArray("_A") << QByteArray(R"("one)");
    QTest::newRow("defined") << QByteArray(R"(defined("_X") or die();)") << 2 << QByteArray("_X")
                             << QByteArray();
    // A value that is not one literal is shown as it is written.
    QTest::newRow("concatenation") << QByteArray(R"(define("A", _B . "c");)") << 2
                                   << QByteArray("A") << QByteArray(R"(_B . "c")");
    QTest::newRow("concatenation in a case")
        << QByteArray(R"(case "A": $tmp = 'Dear %s,' . "\n"; break;)") << 1 << QByteArray("A")
        << QByteArray(R"('Dear %s,' . "\n")");
    QTest::newRow("no word boundary")
        << QByteArray(R"(caseless "A" "B")") << 1 << QByteArray("A") << QByteArray("B");
    QTest::newRow("two spaces strtolower")
        << QByteArray(R"(case  strtolower("A"): $tmp = "B"; break;)") << 4 << QByteArray("A")
        << QByteArray("B");
    QTest::newRow("capital Case") << QByteArray(R"(Case "A": $tmp = "B"; break;)") << 1
                                  << QByteArray("A") << QByteArray("B");
    QTest::newRow("case without quotes")
        << QByteArray("case _X:") << 1 << QByteArray() << QByteArray();
    QTest::newRow("empty key") << QByteArray(R"(case "": $tmp = "B"; break;)") << 1 << QByteArray()
                               << QByteArray();
    QTest::newRow("unclosed key") << QByteArray(R"(case "abc)") << 1 << QByteArray("abc")
                                  << QByteArray();
    QTest::newRow("bracket unclosed")
        << QByteArray("[[Hello") << 3 << QByteArray("Hell") << QByteArray();
    QTest::newRow("bracket key only")
        << QByteArray("[[Hello]]") << 3 << QByteArray("Hello") << QByteArray();
    QTest::newRow("bracket value unclosed")
        << QByteArray("[[Hello]] = [[Bonjour") << 3 << QByteArray("Hello") << QByteArray("Bonjou");
    QTest::newRow("bracket empty value")
        << QByteArray("[[a]] = [[]]") << 3 << QByteArray("a") << QByteArray();
    QTest::newRow("bracket empty key")
        << QByteArray("[[]] = [[x]]") << 3 << QByteArray() << QByteArray();
    QTest::newRow("single bracket")
        << QByteArray("[x]") << 0 << QByteArray("untouched") << QByteArray("untouched");
    QTest::newRow("code") << QByteArray("switch($phrase) {") << 0 << QByteArray("untouched")
                          << QByteArray("untouched");
    QTest::newRow("empty") << QByteArray() << 0 << QByteArray("untouched")
                           << QByteArray("untouched");
    QTest::newRow("only blanks") << QByteArray(" \t\r\n\x01") << 0 << QByteArray("untouched")
                                 << QByteArray("untouched");
    QTest::newRow("trailing CR ignored") << QByteArray("[[Hello]] = [[Bonjour]]\r") << 3
                                         << QByteArray("Hello") << QByteArray("Bonjour");
    QTest::newRow("BOM before define") << QByteArray("\xEF\xBB\xBF"
                                                     R"(define("A","B");)")
                                       << 0 << QByteArray("untouched") << QByteArray("untouched");
    QTest::newRow("8-bit text kept")
        << QByteArray("define(\"_A\",\"\xCF\xF0\xE8\xE2\xE5\xF2\");") << 2 << QByteArray("_A")
        << QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2");
    QTest::newRow("no-break space is not blank")
        << QByteArray("\xA0"
                      "case \"A\"")
        << 0 << QByteArray("untouched") << QByteArray("untouched");
}

void TestPhraseLine::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QByteArray k = "untouched";
    QByteArray v = "untouched";
    QCOMPARE(int(ParsePhraseLine(line, k, v)), kind);
    QCOMPARE(k, key);
    QCOMPARE(v, value);
}

void TestPhraseLine::noneLeavesKeyAndValue()
{
    // A caller's previous key must survive a non-phrase line between two phrase lines.
    QByteArray k, v;
    ParsePhraseLine("define(\"K\",\"V\");", k, v);
    QCOMPARE(ParsePhraseLine("// comment", k, v), PhraseLineKind::lkNone);
    QCOMPARE(k, QByteArray("K"));
    QCOMPARE(v, QByteArray("V"));
}

void TestPhraseLine::quote_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("quoted");
    QTest::newRow("plain") << QByteArray("Hello") << QByteArray("\"Hello\"");
    QTest::newRow("quotes") << QByteArray("Say \"hi\"") << QByteArray(R"("Say \"hi\"")");
    QTest::newRow("backslash not doubled")
        << QByteArray(R"(C:\temp)") << QByteArray(R"("C:\temp")");
    // A lone final backslash would escape the closing quote: it is doubled, as PHP reads it.
    QTest::newRow("trailing backslash") << QByteArray(R"(x\)") << QByteArray(R"("x\\")");
    QTest::newRow("escaped backslash kept") << QByteArray(R"(x\\)") << QByteArray(R"("x\\")");
    QTest::newRow("backslash before a quote") << QByteArray(R"(a\"b)") << QByteArray(R"("a\"b")");
    QTest::newRow("dollar and control") << QByteArray("$a\t\x01") << QByteArray("\"$a\t\x01\"");
    QTest::newRow("empty") << QByteArray() << QByteArray("\"\"");
}

void TestPhraseLine::quote()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, quoted);
    QCOMPARE(QuotePhpString(text), quoted);
}

void TestPhraseLine::quoteRoundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("quotes") << QByteArray(R"(Dites "salut")");
    QTest::newRow("escapes as read") << QByteArray(R"(line\nnext \\ \')");
    QTest::newRow("percent") << QByteArray("100% %s %d");
}

void TestPhraseLine::quoteRoundTrip()
{
    // Text read from a file must be written back so that reading it again gives the same text.
    QFETCH(QByteArray, text);
    QByteArray k, v;
    ParsePhraseLine("define(" + QuotePhpString("K") + "," + QuotePhpString(text) + ");", k, v);
    QCOMPARE(v, text);
}

void TestPhraseLine::splitLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("lines");
    using L = QList<QByteArray>;
    QTest::newRow("empty") << QByteArray() << L{};
    QTest::newRow("only CRLF") << QByteArray("\r\n") << L{""};
    QTest::newRow("CRLF") << QByteArray("a\r\nb\r\n") << L{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb\n") << L{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << L{"a", "b"};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << L{"a", "", "b"};
    QTest::newRow("no final break") << QByteArray("a\nb") << L{"a", "b"};
    QTest::newRow("blank lines kept") << QByteArray("\n\n  \n") << L{"", "", "  "};
    QTest::newRow("NUL inside a line") << QByteArray("a\nb\0c\nd", 7) << L{"a", "b"};
    QTest::newRow("NUL at line start") << QByteArray("a\n\0b", 4) << L{"a"};
    QTest::newRow("NUL first") << QByteArray("\0a", 2) << L{};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << L{"a", "", "b"};
    // Lines longer than a word of eight bytes, whose ends LineLengthAt finds a word at a time.
    QTest::newRow("CR LF in the third word")
        << QByteArray("0123456789abcdefghij\r\nxy") << L{"0123456789abcdefghij", "xy"};
    QTest::newRow("break as a word's last byte, then two whole words")
        << QByteArray("0123456\r0123456789abcdef") << L{"0123456", "0123456789abcdef"};
    QTest::newRow("break as a word's first byte")
        << QByteArray("01234567\r\nabc") << L{"01234567", "abc"};
    QTest::newRow("NUL ends a long line")
        << QByteArray("0123456789\0abc\nd", 16) << L{"0123456789"};
    QTest::newRow("bytes near the breaks are none")
        << QByteArray("\x8A\x8D\x80\x0B\x0E\x01\xFF\x8A\x8D\n\x0B\x0E\x01")
        << L{"\x8A\x8D\x80\x0B\x0E\x01\xFF\x8A\x8D", "\x0B\x0E\x01"};
}

void TestPhraseLine::splitLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, lines);
    QList<QByteArray> got;
    for (const LineSpan& s : SplitLines(text)) {
        got.append(text.mid(s.offset, s.length));
        // Reading one line again, from its start, finds the same end.
        QCOMPARE(LineLengthAt(text, s.offset), s.length);
    }
    QCOMPARE(got, lines);
}

QTEST_GUILESS_MAIN(TestPhraseLine)
#include "tst_phraseline.moc"
