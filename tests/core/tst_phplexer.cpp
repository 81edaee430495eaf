// The PHP lexer against PHP's own tokenizer: for awkward inputs every token's span, kind and
// line must be what PHP reads there (a token PHP splits into pieces is compared with the pieces
// put together). Skipped with a message where php is not installed.
#include "../support/fixture.h"
#include "phplexer.h"
#include "textcodec.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Php()
{
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

struct PhpPiece
{
    QByteArray name;
    int line = 0;
    QByteArray text;
};

// The tokens PHP reads from source, with short open tags on or off.
QList<PhpPiece> PhpTokens(const QByteArray& source, bool shortTags, QByteArray* error)
{
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, QStringLiteral("input.php"), source);
    QProcess php;
    php.start(Php(),
              {QStringLiteral("-d"),
               shortTags ? QStringLiteral("short_open_tag=1") : QStringLiteral("short_open_tag=0"),
               QStringLiteral("-r"),
               QStringLiteral("foreach (PhpToken::tokenize(file_get_contents($argv[1])) as "
                              "$t) echo $t->getTokenName(), ' ', $t->line, ' ', "
                              "bin2hex($t->text), \"\\n\";"),
               path});
    php.waitForFinished(30000);
    QList<PhpPiece> pieces;
    if (php.exitStatus() != QProcess::NormalExit || php.exitCode() != 0) {
        *error = php.readAllStandardOutput() + php.readAllStandardError();
        return pieces;
    }
    const QList<QByteArray> lines = php.readAllStandardOutput().split('\n');
    for (const QByteArray& l : lines) {
        const QList<QByteArray> f = l.split(' ');
        if (f.size() == 3)
            pieces.append({f[0], f[1].toInt(), QByteArray::fromHex(f[2])});
    }
    return pieces;
}

bool StartsName(const QByteArray& t)
{
    if (t.isEmpty())
        return false;
    const auto b = static_cast<unsigned char>(t[t[0] == '\\' && t.size() > 1 ? 1 : 0]);
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b >= 0x80;
}

// The kind this lexer gives the token whose first piece PHP names so; afterHalt for the data
// PHP shows as inline HTML after __halt_compiler();.
PhpTokenKind KindOf(const PhpPiece& p, bool afterHalt)
{
    const QByteArray& n = p.name;
    if (n == "T_INLINE_HTML")
        return afterHalt ? PhpTokenKind::Data : PhpTokenKind::InlineHtml;
    if (n == "T_OPEN_TAG")
        return PhpTokenKind::OpenTag;
    if (n == "T_OPEN_TAG_WITH_ECHO")
        return PhpTokenKind::EchoOpenTag;
    if (n == "T_CLOSE_TAG")
        return PhpTokenKind::CloseTag;
    if (n == "T_WHITESPACE")
        return PhpTokenKind::Whitespace;
    if (n == "T_COMMENT")
        return p.text.startsWith("/*") ? PhpTokenKind::BlockComment : PhpTokenKind::LineComment;
    if (n == "T_DOC_COMMENT")
        return PhpTokenKind::BlockComment;
    if (n == "T_CONSTANT_ENCAPSED_STRING")
        return p.text.contains('\'') && (p.text[0] == '\'' || p.text[1] == '\'')
                   ? PhpTokenKind::SingleQuoted
                   : PhpTokenKind::DoubleQuoted;
    if (n == "\"" || n == "b\"")
        return PhpTokenKind::DoubleQuoted;
    if (n == "`")
        return PhpTokenKind::Backquoted;
    if (n == "T_START_HEREDOC")
        return p.text.contains('\'') ? PhpTokenKind::Nowdoc : PhpTokenKind::Heredoc;
    if (n == "T_VARIABLE")
        return PhpTokenKind::Variable;
    if (n == "T_LNUMBER" || n == "T_DNUMBER")
        return PhpTokenKind::Number;
    if (n == "T_HALT_COMPILER")
        return PhpTokenKind::HaltCompiler;
    if (n == "T_BAD_CHARACTER" || n == "T_ENCAPSED_AND_WHITESPACE")
        return PhpTokenKind::Bad;
    if (StartsName(p.text))
        return PhpTokenKind::Identifier; // names, keywords, T_YIELD_FROM
    return PhpTokenKind::Operator;
}

const char* KindName(PhpTokenKind k)
{
    static const char* const Names[] = {
        "InlineHtml",  "OpenTag",      "EchoOpenTag",  "CloseTag",     "Whitespace",
        "LineComment", "BlockComment", "SingleQuoted", "DoubleQuoted", "Backquoted",
        "Heredoc",     "Nowdoc",       "Variable",     "Identifier",   "Number",
        "Operator",    "HaltCompiler", "Data",         "Bad"};
    return Names[static_cast<int>(k)];
}

QByteArray Describe(const PhpToken& t, QByteArrayView source)
{
    return QByteArray(KindName(t.kind)) + " line " + QByteArray::number(t.line) + " " +
           source.sliced(t.offset, t.length).toByteArray().toPercentEncoding(" <>?$=;'\"");
}

PhpLexOptions ShiftJis()
{
    PhpLexOptions o;
    o.encoding = TextCodec(QByteArray("Shift_JIS")).LeadBytes();
    return o;
}

// The rows both tests read: awkward inputs, and whether short open tags are on.
void AddAwkwardRows()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("shortTags");
    auto row = [](const char* name, const QByteArray& source, bool shortTags = true) {
        QTest::newRow(name) << source << shortTags;
    };
    row("escaped quotes and final backslashes",
        "<?php $a = 'It\\'s'; $b = \"say \\\"hi\\\"\"; $c = 'C:\\\\'; $d = \"end\\\\\";\n"
        "$e = '\\\\\\''; ?>\n");
    row("hash comment and attribute", "<?php # comment\n#[Attr(1)]\nfunction f() {} # x\n");
    row("line comments end at the close tag",
        "<?php // note ?>after\n<?php # x ?>\nmore<?php // ? > ?\r\n?>");
    row("close tag inside strings and comments",
        "<?php $a = '?>'; $b = \"?>\"; /* ?> */ /** ?>\n */ echo 1;");
    row("heredoc with its marker inside the text",
        "<?php $x = <<<EOT\nEOTX and EOT inside\n  EOTfoo\n\\EOT\nEOT;\n$y = 1;\n");
    row("indented closing marker",
        "<?php f(<<<EOT\n    a $b {$c['d']} $e[f] $g->h\n    EOT, 1);\n");
    row("nowdoc", "<?php $x = <<<'NOW'\n$notvar {$x} \\\nNOW;\n$y = <<<\"QQ\"\n$v\nQQ;\n");
    row("empty heredoc and marker at the very end", "<?php $a = <<<E\nE;\n$b = <<<F\nx\nF");
    row("echo open tag", "<p><?= $title ?></p>\n<?= 1;");
    row("short open tags", "a<?  $x = 1 ?>b<?phpx c ?><?PHP\techo 2;");
    row("no short open tags", "a<?xml version=\"1.0\"?>b<?phpx <?php\necho 1;", false);
    row("inline html between blocks",
        "<html>\n<?php $a=1; ?>\n<b>x</b>\n<?php $b=2;?>tail<?php\r\n");
    row("halt compiler with binary data",
        QByteArray("<?php echo 1;\n__halt_compiler ( ) ;\0\xff<?php ?>\"'\n", 30));
    row("halt compiler after a close tag", "<?php __HALT_COMPILER() /* c */ ?>\ndata\n");
    row("unterminated block comment", "<?php $a = 1; /* never\n closed $b = 2;");
    row("unterminated doc comment", "<?php /** never\n closed");
    row("NUL inside strings", QByteArray("<?php $a = \"a\0b\"; $b = 'c\0d'; $c\0;", 35));
    row("CR line ends", "<?php\r$a = 1;\r// c\r$b = \"x\ry\";\r?>\rhtml\r<?php\r\n/*\r\r*/");
    row("constants", "<?php @define('A', \"b\");\n\\define('B', 'c');\nFoo\\Bar::baz(); "
                     "namespace\\x(); \\Foo\\ bar;");
    row("language array", "<?php $lang['a']['b'] .= \"x\";\nreturn ['k' => [1 => 'v']];\n");
    row("numbers", "<?php $a = 1_000 + 0x1F + .5 + 1. + 0b101 + 0o17 + 017 + 1e3 + 1.5E-3 + "
                   "2_0.1_0 + 0x + 1_ + 1..2 + 1...2 + 9223372036854775808;");
    row("operators",
        "<?php $a === $b !== $c <=> $d ?? $e ?\?= $f?->g; $h **= 2; $i <<= 1; $j >>= 1;\n"
        "$k <> $l && $m || $n; A::B; fn(&...$x) => $x->y; $$z; $; @!~$q %= 3 ^ 4;");
    row("interpolation",
        "<?php $s = \"a $b c $d[1] $e[k] $f->g $h?->i {$j['x'][\"y\"]} ${k} ${l['m']} \\{$n} "
        "\\$o {$p->q(\"}\")} $r[-1] $s[$t] $u->\";");
    row("strings nested in interpolation",
        "<?php \"x{$a[\"{$b}\"]}y\"; \"{$c[<<<E\n}\"\nE]}\"; `ls $dir {$e}`;");
    row("casts and yield from",
        "<?php (int)$a; ( string )$b; (\tbool\t)$c; (real)$d; (unset)$e; (foo)$f; yield  "
        "from\n$g; yield fromage;");
    row("binary prefixes", "<?php b'x'; B\"y $z\"; b<<<E\nz\nE;\n$bb; b;");
    row("unterminated single-quoted string", "<?php $a = 'abc\n\\'");
    row("unterminated double-quoted string", "<?php $a = \"abc $x");
    row("unterminated heredoc", "<?php $a = <<<E\nabc\n  EE\n");
    row("unterminated interpolation", "<?php \"a {$b[\"c\"");
    row("bad bytes", "<?php $a\x01 = 1;\x0c\x7f");
    row("open tag at the end", "html<?php");
}

} // namespace

class TestPhpLexer : public QObject
{
    Q_OBJECT
private slots:
    void sameTokensAsPhp_data() { AddAwkwardRows(); }
    void sameTokensAsPhp();
    void tokensCoverTheInput_data() { AddAwkwardRows(); }
    void tokensCoverTheInput();
    void doubleByteTrailIsNoEscape_data();
    void doubleByteTrailIsNoEscape();
    void interpolationPieces_data();
    void interpolationPieces();
    void keywordsInAnyCase();
};

void TestPhpLexer::sameTokensAsPhp()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, shortTags);
    if (Php().isEmpty())
        QSKIP("php is not installed (Debian's php-cli): the tokens are not checked by PHP");
    QByteArray error;
    const QList<PhpPiece> pieces = PhpTokens(source, shortTags, &error);
    QVERIFY2(!pieces.isEmpty(), error.constData());

    PhpLexOptions options;
    options.shortOpenTags = shortTags;
    const std::vector<PhpToken> tokens = LexPhp(source, options);
    qsizetype next = 0; // the first of PHP's pieces not yet matched
    bool afterHalt = false;
    for (const PhpToken& t : tokens) {
        const QByteArray what = Describe(t, source);
        QVERIFY2(next < pieces.size(), "PHP has no more tokens for " + what);
        const PhpPiece& first = pieces[next];
        // A token this lexer keeps whole is PHP's pieces put together.
        QByteArray joined;
        while (joined.size() < t.length && next < pieces.size())
            joined += pieces[next++].text;
        QVERIFY2(joined == source.sliced(t.offset, t.length),
                 what + " but PHP reads " + joined.toPercentEncoding(" <>?$=;'\""));
        // PHP's tokenizer gives the data after __halt_compiler(); the line where the token
        // before it starts; this lexer gives the line of the data's own first byte.
        const PhpPiece& before = pieces[qMax<qsizetype>(next - 2, 0)];
        const int phpLine =
            t.kind == PhpTokenKind::Data ? before.line + int(before.text.count('\n')) : first.line;
        QVERIFY2(t.line == phpLine, what + " but PHP reads line " + QByteArray::number(phpLine));
        if (t.flags & PhpTokenFlag::Unterminated) {
            // PHP shows an unclosed text as its pieces up to the end.
            QCOMPARE(t.offset + t.length, source.size());
            continue;
        }
        const PhpTokenKind expected = KindOf(first, afterHalt);
        QVERIFY2(t.kind == expected, what + " but PHP reads " + first.name);
        if (first.name == "T_DOC_COMMENT")
            QVERIFY(t.flags & PhpTokenFlag::DocComment);
        afterHalt = afterHalt || t.kind == PhpTokenKind::HaltCompiler;
    }
    QCOMPARE(next, pieces.size());
}

// Every byte is in exactly one token, in order, none empty, lines never going back; the
// callback form gives the same tokens as the vector.
void TestPhpLexer::tokensCoverTheInput()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, shortTags);
    for (const PhpLexOptions& base : {PhpLexOptions{}, ShiftJis()}) {
        PhpLexOptions options = base;
        options.shortOpenTags = shortTags;
        const std::vector<PhpToken> tokens = LexPhp(source, options);
        QByteArray joined;
        qint32 line = 1;
        for (const PhpToken& t : tokens) {
            QCOMPARE(t.offset, joined.size());
            QVERIFY(t.length > 0);
            QVERIFY(t.line >= line);
            line = t.line;
            joined += source.sliced(t.offset, t.length);
        }
        QCOMPARE(joined, source);
        qsizetype calls = 0;
        LexPhp(source, options, [&](const PhpToken& t) {
            QVERIFY(size_t(calls) < tokens.size());
            QCOMPARE(t.offset, tokens[size_t(calls)].offset);
            ++calls;
        });
        QCOMPARE(size_t(calls), tokens.size());
    }
}

// "表" in Shift_JIS is 0x95 0x5C: its second byte is a backslash to any reader that does not
// know the encoding, PHP included, and would escape the closing quote.
void TestPhpLexer::doubleByteTrailIsNoEscape_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("shiftJis");
    QTest::addColumn<QByteArrayList>("expected"); // kind and text of each token after `<?php `
    const QByteArray hyo("\x95\x5c");
    QTest::newRow("single-quoted") << "<?php '" + hyo + "';" << true
                                   << QByteArrayList{"SingleQuoted '" + hyo + "'", "Operator ;"};
    QTest::newRow("double-quoted") << "<?php \"" + hyo + "\" . $a;" << true
                                   << QByteArrayList{"DoubleQuoted \"" + hyo + "\"",
                                                     "Whitespace  ",
                                                     "Operator .",
                                                     "Whitespace  ",
                                                     "Variable $a",
                                                     "Operator ;"};
    QTest::newRow("trail before a dollar")
        << "<?php \"" + hyo + "$a\";" << true
        << QByteArrayList{"DoubleQuoted \"" + hyo + "$a\"", "Operator ;"};
    QTest::newRow("heredoc") << "<?php <<<E\n" + hyo + "\nE;" << true
                             << QByteArrayList{"Heredoc <<<E\n" + hyo + "\nE", "Operator ;"};
    QTest::newRow("escaped character")
        << "<?php '\\" + hyo + "';" << true
        << QByteArrayList{"SingleQuoted '\\" + hyo + "'", "Operator ;"};
    QTest::newRow("without the encoding the quote is escaped")
        << "<?php '" + hyo + "';" << false << QByteArrayList{"Bad '" + hyo + "';"};
}

void TestPhpLexer::doubleByteTrailIsNoEscape()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, shiftJis);
    QFETCH(QByteArrayList, expected);
    const std::vector<PhpToken> tokens = LexPhp(source, shiftJis ? ShiftJis() : PhpLexOptions{});
    QByteArrayList got;
    for (size_t i = 1; i < tokens.size(); ++i)
        got << QByteArray(KindName(tokens[i].kind)) + ' ' +
                   source.sliced(tokens[i].offset, tokens[i].length);
    QCOMPARE(got, expected);
}

void TestPhpLexer::interpolationPieces_data()
{
    QTest::addColumn<QByteArray>("inside");
    QTest::addColumn<bool>("heredoc");
    QTest::addColumn<QByteArrayList>("expected"); // T text, V variable, B {$ }, D ${ }
    QTest::newRow("plain") << QByteArray("no vars 100$ {x}") << false
                           << QByteArrayList{"T no vars 100$ {x}"};
    QTest::newRow("simple forms") << QByteArray("a $b, $c[1]$d->e $f?->g $h->") << false
                                  << QByteArrayList{"T a ",    "V $b", "T , ",     "V $c[1]",
                                                    "V $d->e", "T  ",  "V $f?->g", "T  ",
                                                    "V $h",    "T ->"};
    QTest::newRow("braces nest and quote")
        << QByteArray("{$a['}']{\"{\"}} ${b} ${c[1]}.") << false
        << QByteArrayList{"B {$a['}']{\"{\"}}", "T  ", "D ${b}", "T  ", "D ${c[1]}", "T ."};
    QTest::newRow("escapes") << QByteArray("\\$a \\{$b} \\\\$c") << false
                             << QByteArrayList{"T \\$a \\{", "V $b", "T } \\\\", "V $c"};
    QTest::newRow("offset ends at a blank")
        << QByteArray("$a[b c]") << false << QByteArrayList{"V $a[b", "T  c]"};
    QTest::newRow("unclosed braces run to the end")
        << QByteArray("x {$a[1") << false << QByteArrayList{"T x ", "B {$a[1"};
    QTest::newRow("heredoc backslash before a line break")
        << QByteArray("a\\\n$b") << true << QByteArrayList{"T a\\\n", "V $b"};
}

void TestPhpLexer::interpolationPieces()
{
    QFETCH(QByteArray, inside);
    QFETCH(bool, heredoc);
    QFETCH(QByteArrayList, expected);
    QByteArrayList got;
    for (const PhpStringPiece& p : SplitPhpInterpolation(inside, {}, heredoc)) {
        const char tag = p.kind == PhpStringPiece::Kind::Text       ? 'T'
                         : p.kind == PhpStringPiece::Kind::Variable ? 'V'
                         : p.kind == PhpStringPiece::Kind::Braced   ? 'B'
                                                                    : 'D';
        got << QByteArray(1, tag) + ' ' + inside.sliced(p.offset, p.length);
    }
    QCOMPARE(got, expected);
}

void TestPhpLexer::keywordsInAnyCase()
{
    QVERIFY(PhpNameEquals("DeFine", "define"));
    QVERIFY(!PhpNameEquals("defined", "define"));
    QVERIFY(!PhpNameEquals("d\xc5"
                           "fine",
                           "define"));
    const std::vector<PhpToken> tokens = LexPhp("<?php __Halt_Compiler();x");
    QCOMPARE(tokens[1].kind, PhpTokenKind::HaltCompiler);
    QCOMPARE(tokens.back().kind, PhpTokenKind::Data);
}

QTEST_APPLESS_MAIN(TestPhpLexer)
#include "tst_phplexer.moc"
