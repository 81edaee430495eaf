// The reader of language files' statements, and values written back, with PHP as the judge of
// what the written code means.
#include "phpreader.h"
#include "phpvalue.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// Every phrase read, as "line:key=text" (line from 0), joined by '|'.
QByteArray Phrases(const QByteArray& file)
{
    QByteArrayList out;
    ReadPhpPhrases(file, {}, [&](const PhpStatement& s) {
        const QByteArrayView code =
            QByteArrayView(file).sliced(s.valueBegin, s.valueEnd - s.valueBegin);
        const QByteArray text =
            s.kind == PhraseLineKind::lkBracket ? code.toByteArray() : ReadPhpValue(code, {}).text;
        out << QByteArray::number(s.line) + ':' + s.key.toByteArray() + '=' + text;
    });
    return out.join('|');
}

QString Php()
{
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

// What PHP makes of an expression, in hexadecimal; empty with a failure when PHP refuses it.
QByteArray PhpValueOf(const QByteArray& code)
{
    QProcess php;
    php.start(Php(), {QStringLiteral("-n"), QStringLiteral("-r"),
                      QStringLiteral("define('K', 'k'); $name = 'N'; $a = ['x' => 'X', 0 => 'Z'];"
                                     "echo bin2hex(") +
                          QString::fromLatin1(code) + QStringLiteral(");")});
    php.waitForFinished(30000);
    if (php.exitCode() != 0)
        return "refused: " + php.readAllStandardOutput() + php.readAllStandardError();
    return php.readAllStandardOutput();
}

} // namespace

class TestPhpReader : public QObject
{
    Q_OBJECT
private slots:
    void phrases_data();
    void phrases();
    void valuesWrittenBack_data();
    void valuesWrittenBack();
};

void TestPhpReader::phrases_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("define spellings")
        << QByteArray("<?php\n@define('_A', 'a');\n\\define(\"_B\", \"b\");\nDEFINE('_C','c');\n"
                      "if (!defined('_D')) { if (!defined('_D')) define('_D', 'd'); }\n")
        << QByteArray("1:_A=a|2:_B=b|3:_C=c|4:_D=d");
    QTest::newRow("comments, strings and inline text hold no phrase")
        << QByteArray("define('_X','x');\n<?php\n/* define('_A','old'); */\n// define('_B','b');\n"
                      "# define('_C','c');\n$s = \"define('_D','d')\";\ndefined('_V') or die();\n"
                      "define('_A', 'new'); ?>\ndefine('_E','e');\n")
        << QByteArray("5:$s=define('_D','d')|7:_A=new");
    QTest::newRow("values over lines and in parts")
        << QByteArray("<?php\ndefine('_M', 'one\ntwo');\ndefine('_C', 'Hello ' . $name . '!');\n"
                      "define('_I', \"Hi $name\");\ndefine('_K', _B);\n"
                      "$lang['mail'] = <<<EOT\n    Dear {NAME},\n      bye\n    EOT;\n")
        << QByteArray("1:_M=one\ntwo|3:_C=Hello \x0e$name\x0f!|4:_I=Hi \x0e\"$name\"\x0f|"
                      "5:_K=\x0e_B\x0f|6:$lang['mail']=Dear {NAME},\n  bye");
    QTest::newRow("arrays and keys as PHP reads them")
        << QByteArray("<?php\n$txt['17'] = 'a';\n$txt[] = 'b';\n$GLOBALS['l']['x'] = 'c';\n"
                      "$LANG01 = array(1 => 'd', 'e');\n$lang = array_merge($lang, ['k' => ['n' => "
                      "'f']]);\n"
                      "return ['it\\'s' => 'g', 'plural' => 'one|many', ['h']];\n")
        << QByteArray("1:$txt[17]=a|2:$txt[18]=b|3:$l['x']=c|4:$LANG01[1]=d|4:$LANG01[2]=e|"
                      "5:$lang['k']['n']=f|6:return['it\\'s']=g|6:return['plural']=one|many|"
                      "6:return[0][0]=h");
    QTest::newRow("appends, constants and cases")
        << QByteArray(
               "<?php\n$l['a'] = 'x';\n$l['a'] .= 'y';\n$l['a'] .= 'z';\nconst A = 'p', B = 'q';\n"
               "function t($k) { $tmp = $k; switch ($k) {\ncase 'Yes': $tmp = 'Oui'; break;\n"
               "case 7: $tmp = 'sept'; break;\ncase strtolower('No'): $msg = 'Non';\n} return "
               "$tmp; }\n")
        << QByteArray("1:$l['a']=x|2:$l['a'] .==y|3:$l['a'] .= 2=z|4:A=p|4:B=q|6:Yes=Oui|8:No=Non");
    QTest::newRow("a file without an open tag, with bracket lines")
        << QByteArray("define('_A','a');\n[[Don't]] = [[Pas]]\ndefine('_B','b');\n")
        << QByteArray("0:_A=a|1:Don't=Pas|2:_B=b");
}

void TestPhpReader::phrases()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    QCOMPARE(Phrases(file), expected);
}

void TestPhpReader::valuesWrittenBack_data()
{
    QTest::addColumn<QByteArray>("code");  // a value as a file has it
    QTest::addColumn<QByteArray>("typed"); // a text form the translator gives it instead
    QTest::addColumn<QByteArray>("meant"); // what PHP must read from the written value
    QTest::newRow("single quotes")
        << QByteArray("'Hello'") << QByteArray("It's \\ done") << QByteArray("It's \\ done");
    QTest::newRow("double quotes, escapes kept")
        << QByteArray("\"Hello\\n\"") << QByteArray("Line\\none \"q\"")
        << QByteArray("Line\none \"q\"");
    QTest::newRow("typed interpolation stays text")
        << QByteArray("\"Hello\"") << QByteArray("$name {$name} ${name} \\u{zz}")
        << QByteArray("$name {$name} ${name} \\u{zz}");
    QTest::newRow("concatenation keeps its code")
        << QByteArray("'Hello ' . $name . '!'") << QByteArray("Salut \x0e$name\x0f !")
        << QByteArray("Salut N !");
    QTest::newRow("interpolation keeps its code")
        << QByteArray("\"Hi $name, {$a['x']}\"")
        << QByteArray("\x0e\"{$a['x']}\"\x0f et \x0e\"$name\"\x0f") << QByteArray("X et N");
    QTest::newRow("code moved out of a string") << QByteArray("\"Hi $name\"")
                                                << QByteArray("\x0e\"$name\"\x0f"
                                                              "abc")
                                                << QByteArray("Nabc");
    QTest::newRow("heredoc with its marker")
        << QByteArray("<<<EOT\n  Dear,\n    bye\n  EOT") << QByteArray("Cher $x,\nadieu")
        << QByteArray("Cher $x,\nadieu");
    QTest::newRow("nowdoc") << QByteArray("<<<'EOT'\nraw $x\nEOT") << QByteArray("brut $y \\n")
                            << QByteArray("brut $y \\n");
    QTest::newRow("a line of the heredoc's marker")
        << QByteArray("<<<EOT\nA\nEOT") << QByteArray("one\nEOT\ntwo")
        << QByteArray("one\nEOT\ntwo");
    QTest::newRow("constant only") << QByteArray("K") << QByteArray("\x0eK\x0f") << QByteArray("k");
}

// The value read and written back unchanged gives PHP's own value; a typed text written in its
// place reads in PHP as the translator meant it.
void TestPhpReader::valuesWrittenBack()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, meant);
    if (Php().isEmpty())
        QSKIP("php is not installed (Debian's php-cli): PHP cannot judge the values");
    const PhpValue value = ReadPhpValue(code, {});
    PhpValueLayout layout;
    layout.shape = value.shape;
    layout.interpolated = value.interpolated;
    layout.marker = value.marker;
    layout.indent = value.indent;
    QByteArray again;
    AppendPhpValue(again, value.text, value.quote, layout);
    QCOMPARE(PhpValueOf(again), PhpValueOf(code));
    QByteArray written;
    AppendPhpValue(written, typed, value.quote, layout);
    QCOMPARE(QByteArray::fromHex(PhpValueOf(written)), meant);
}

QTEST_GUILESS_MAIN(TestPhpReader)
#include "tst_phpreader.moc"
