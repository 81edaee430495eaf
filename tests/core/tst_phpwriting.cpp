// Written translation files as PHP itself reads them: every file passes php -l, and PHP gives
// the texts the translator meant. Skipped with a message where php is not installed.
#include "../support/fixture.h"
#include "phrasedocument.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A template in every spelling the reader knows, valid PHP itself: the case lines stand in a
// switch, as they do in real files.
const QByteArray Template = "<?php\n"
                            "define(\"_FIXED\",\"Fixed\");\n"
                            "define('_SINGLE','Single');\n"
                            "  DEFINE ( '_BLANKS' ,\t\"Blanks\" ) ; // a comment\n"
                            "if (!defined('_GUARDED')) define('_GUARDED', 'Guarded');\n"
                            "if(!defined('_BRACED')) { define('_BRACED','Braced'); }\n"
                            "define('_EXPR', 'Hello ' . PHP_EOL);\n"
                            "define(\"_LINES\",\"one\n"
                            "two\");\n"
                            "function translate($phrase) {\n"
                            "  switch ($phrase) {\n"
                            "    case \"Case\": $tmp = \"Case\"; break;\n"
                            "    case 'Single case': $tmp = 'Single case'; break;\n"
                            "case strtolower(\"Lower\"): $tmp = \"Lower\"; break;\n"
                            "    default: $tmp = $phrase;\n"
                            "  }\n"
                            "  return $tmp;\n"
                            "}\n";

const char* const Constants[] = {"_FIXED", "_SINGLE", "_BLANKS", "_GUARDED", "_BRACED"};
const char* const Cases[] = {"Case", "Single case", "lower"};

QString Php()
{
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

// Runs PHP on a script; its output, or a failure with what PHP said.
QByteArray RunPhp(const QStringList& args, bool* ok)
{
    QProcess php;
    php.start(Php(), args);
    php.waitForFinished(30000);
    *ok = php.exitStatus() == QProcess::NormalExit && php.exitCode() == 0;
    return php.readAllStandardOutput() + php.readAllStandardError();
}

} // namespace

class TestPhpWriting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void templateIsPhp();
    void typedTexts_data();
    void typedTexts();
    void realFilesSurviveSaveAndReopen_data();
    void realFilesSurviveSaveAndReopen();
    void templateDataAfterItsCodeIsKept_data();
    void templateDataAfterItsCodeIsKept();
};

void TestPhpWriting::initTestCase()
{
    if (Php().isEmpty())
        QSKIP("php is not installed (Debian's php-cli): written files are not checked by PHP");
}

void TestPhpWriting::templateIsPhp()
{
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "lang-english.php", Template);
    bool ok = false;
    const QByteArray said = RunPhp({"-l", path}, &ok);
    QVERIFY2(ok, said.constData());
}

void TestPhpWriting::typedTexts_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("inDouble"); // what PHP reads from a double-quoted literal
    QTest::addColumn<QByteArray>("inSingle"); // and from a single-quoted one
    QTest::newRow("plain") << QByteArray("Bonjour") << QByteArray("Bonjour")
                           << QByteArray("Bonjour");
    QTest::newRow("final backslash")
        << QByteArray("Abbruch\\") << QByteArray("Abbruch\\") << QByteArray("Abbruch\\");
    QTest::newRow("only a backslash") << QByteArray("\\") << QByteArray("\\") << QByteArray("\\");
    QTest::newRow("double quote") << QByteArray("Say \"hi\"") << QByteArray("Say \"hi\"")
                                  << QByteArray("Say \"hi\"");
    QTest::newRow("apostrophe") << QByteArray("It's") << QByteArray("It's") << QByteArray("It's");
    QTest::newRow("escaped quotes as typed")
        << QByteArray("a\\\"b\\'c") << QByteArray("a\"b\\'c") << QByteArray("a\\\"b'c");
    QTest::newRow("escaped backslash")
        << QByteArray("C:\\\\temp") << QByteArray("C:\\temp") << QByteArray("C:\\temp");
    QTest::newRow("escape sequence")
        << QByteArray("a\\nb") << QByteArray("a\nb") << QByteArray("a\\nb");
    QTest::newRow("backslash before a quote at the end")
        << QByteArray("x\\\"") << QByteArray("x\"") << QByteArray("x\\\"");
    QTest::newRow("markup and placeholders")
        << QByteArray("<b>%s</b> &amp; 100%") << QByteArray("<b>%s</b> &amp; 100%")
        << QByteArray("<b>%s</b> &amp; 100%");
    QTest::newRow("8-bit letters")
        << QByteArray("\xE9t\xE9") << QByteArray("\xE9t\xE9") << QByteArray("\xE9t\xE9");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    // What is typed is text: nothing in it may become code, nor a file PHP refuses.
    QTest::newRow("interpolation typed")
        << QByteArray("{$name} Kosten: $a[ ${x}") << QByteArray("{$name} Kosten: $a[ ${x}")
        << QByteArray("{$name} Kosten: $a[ ${x}");
    QTest::newRow("invalid unicode escape typed")
        << QByteArray("C:\\u{x} \\u{") << QByteArray("C:\\u{x} \\u{")
        << QByteArray("C:\\u{x} \\u{");
    QTest::newRow("code markers typed")
        << QByteArray("a\x0e"
                      "system('id')\x0f"
                      "b")
        << QByteArray("asystem('id')b") << QByteArray("asystem('id')b");
    QTest::newRow("line breaks") << QByteArray("one\ntwo") << QByteArray("one\ntwo")
                                 << QByteArray("one\ntwo");
}

// The text typed into every phrase, saved: the file is valid PHP, PHP reads each constant and
// case as the translator meant, and the phrases kept as written are as the template has them.
void TestPhpWriting::typedTexts()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, inDouble);
    QFETCH(QByteArray, inSingle);
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData(Template);
    for (int i = 0; i < doc.PhraseCount(); ++i)
        doc.CommitTranslation(i, typed);
    const QString path = dir.filePath("lang-french.php");
    doc.SetTranslationFileName(path);
    doc.SaveTranslation();

    bool ok = false;
    QByteArray said = RunPhp({"-l", path}, &ok);
    QVERIFY2(ok, said.constData());

    // PHP prints each text in hexadecimal, one per line: the constants, then the cases.
    QString script = QStringLiteral("include $argv[1];");
    for (const char* name : Constants)
        script += QStringLiteral("echo bin2hex(%1), \"\\n\";").arg(QLatin1String(name));
    for (const char* phrase : Cases)
        script +=
            QStringLiteral("echo bin2hex(translate('%1')), \"\\n\";").arg(QLatin1String(phrase));
    script += QStringLiteral("echo bin2hex(_EXPR), \"\\n\";");
    said = RunPhp({"-r", script, path}, &ok);
    QVERIFY2(ok, said.constData());
    if (said.endsWith('\n'))
        said.chop(1);
    const QList<QByteArray> got = said.split('\n');
    // _FIXED, _BLANKS and the cases but the second are double-quoted; the others single.
    // _EXPR, 'Hello ' . PHP_EOL, takes the typed text in its first part's quote.
    const QList<QByteArray> expected = {inDouble, inSingle, inDouble, inSingle, inSingle,
                                        inDouble, inSingle, inDouble, inSingle};
    QCOMPARE(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QCOMPARE(QByteArray::fromHex(got[i]), expected[i]);
}

void TestPhpWriting::realFilesSurviveSaveAndReopen_data()
{
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<int>("translated"); // phrases the translation gives a text of its own

    // Shaped like the files of real applications, each in its own language and encoding.
    QTest::newRow("single-quoted defines, windows-1251")
        << QByteArray("<?php\n// Main language file\ndefine('_CHARSET', 'iso-8859-1');\n"
                      "define('_LOGIN', 'Log in');\ndefine('_WELCOME', 'Welcome, %s!');\n"
                      "define('_QUOTE', 'It\\'s \"quoted\"');\n?>\n")
        << QByteArray(
               "<?php\ndefine('_CHARSET', 'windows-1251');\ndefine('_LOGIN', '\xc2\xf5\xee\xe4');\n"
               "define('_WELCOME', '\xc4\xee\xe1\xf0\xee \xef\xee\xe6\xe0\xeb\xee\xe2\xe0\xf2\xfc, "
               "%s!');\n"
               "define('_QUOTE', '\xdd\xf2\xee \\'\xf6\xe8\xf2\xe0\xf2\xe0\\'');\n?>\n")
        << 4;
    QTest::newRow("translate() switch, windows-1250")
        << QByteArray("<?php\nfunction translate($phrase) {\n  switch ($phrase) {\n"
                      "    case \"Home\": $tmp = \"Home\"; break;\n"
                      "    case 'Search': $tmp = 'Search'; break;\n"
                      "    CASE \"Path\":\t$tmp = \"C:\\\\files\\\\\"; break;\n"
                      "    default: $tmp = $phrase; break;\n  }\n  return $tmp;\n}\n")
        << QByteArray("<?php\nfunction translate($phrase) {\n  switch ($phrase) {\n"
                      "    case \"Home\": $tmp = \"Dom\\x9a\"; break;\n"
                      "    case \"Home\": $tmp = \"Home\"; break;\n"
                      "    case 'Search': $tmp = 'Hled\xe1n\xed'; break;\n"
                      "    case \"Path\": $tmp = \"C:\\\\soubory\\\\\"; break;\n"
                      "    default: $tmp = $phrase; break;\n  }\n  return $tmp;\n}\n")
        << 3;
    QTest::newRow("guarded defines, constants and expressions, UTF-8")
        << QByteArray("<?php\nif (!defined('_TITLE')) define('_TITLE', 'Shop');\n"
                      "if(!defined('_CART')) { define('_CART','Cart'); }\n"
                      "define('_FULL', _TITLE . ' - ' . _CART);\ndefine(\"_MULTI\", \"first line\n"
                      "second line\");\n  DEFINE ( \"_BYE\" ,\t\"Bye\" ) ; // farewell\n")
        << QByteArray(
               "<?php\nif (!defined('_TITLE')) define('_TITLE', '\xe5\x95\x86\xe5\xba\x97');\n"
               "define('_CART','\xe8\xb4\xad\xe7\x89\xa9\xe8\xbd\xa6');\n"
               "define('_BYE', '\xe5\x86\x8d\xe8\xa7\x81');\n")
        << 3;
}

// A translation merged into its template and saved, in both layouts, is valid PHP wherever the
// template was, and opened again gives back every translation it had.
void TestPhpWriting::realFilesSurviveSaveAndReopen()
{
    QFETCH(QByteArray, templ);
    QFETCH(QByteArray, translation);
    QFETCH(int, translated);
    QTemporaryDir dir;
    for (const bool keepLayout : {false, true}) {
        PhraseDocument doc;
        doc.SetKeepLayout(keepLayout);
        doc.LoadTemplateData(templ);
        doc.MergeTranslationData(translation);
        QCOMPARE(doc.PhraseCount() - doc.Statistics().missing - doc.Statistics().untranslated,
                 translated);
        QList<QByteArray> texts;
        for (int i = 0; i < doc.PhraseCount(); ++i)
            texts << doc.PhraseTranslation(i);
        const QString path = dir.filePath(keepLayout ? "kept.php" : "fixed.php");
        doc.SetTranslationFileName(path);
        doc.SaveTranslation();
        bool ok = false;
        const QByteArray said = RunPhp({"-l", path}, &ok);
        QVERIFY2(ok, said.constData());

        PhraseDocument reopened;
        reopened.LoadTemplateData(templ);
        reopened.LoadTranslation(path);
        for (int i = 0; i < reopened.PhraseCount(); ++i)
            QCOMPARE(reopened.PhraseTranslation(i), texts[i]);
        QCOMPARE(reopened.Statistics().missing, 0);
    }
}

QTEST_GUILESS_MAIN(TestPhpWriting)
#include "tst_phpwriting.moc"

namespace {

// A literal's bytes, NULs included.
template <std::size_t N> QByteArray Bytes(const char (&bytes)[N])
{
    return QByteArray(bytes, qsizetype(N - 1));
}

} // namespace

void TestPhpWriting::templateDataAfterItsCodeIsKept_data()
{
    // code: the template's PHP; data: the bytes after it, which PHP never reads as code.
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("phrases");
    const QByteArray code = "<?php\ndefine('_HELLO', 'Hello');\ndefine('_BYE', 'Bye');\n";
    // A payload with a NUL, bytes of no encoding and lines that look like phrases.
    static const char payload[] = "\x1f\x8b\0\xff\r\ndefine('_DATA', 'not a phrase');\n\0tail";
    QTest::newRow("__halt_compiler and a payload")
        << code + "__halt_compiler();" << Bytes(payload) << 2;
    QTest::newRow("upper case, blanks, closing tag")
        << code + "  __HALT_COMPILER ( ) ?>" << QByteArray("\ndefine('_X', 'x');\n") << 2;
    static const char afterNul[] = "\0define('_Y', 'y');\n*/\n";
    static const char inComment[] = "\0 rest of the note\n";
    QTest::newRow("NUL at a line start") << code + "/* notes\n" << Bytes(afterNul) << 2;
    QTest::newRow("NUL inside a comment") << code + "// note " << Bytes(inComment) << 2;
}

// A template whose PHP ends before its last byte: what follows is written back byte for byte
// after the rebuilt lines, so the translation is the same program with the same data.
void TestPhpWriting::templateDataAfterItsCodeIsKept()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, data);
    QFETCH(int, phrases);
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData(code + data);
    QCOMPARE(doc.PhraseCount(), phrases);
    QVERIFY(doc.TemplateCut());
    QCOMPARE(doc.TemplateCut()->bytesAfter, data.size());
    doc.CommitTranslation(0, "Bonjour");
    const QString path = dir.filePath("lang-french.php");
    doc.SetTranslationFileName(path);
    doc.SaveTranslation();
    const QByteArray written = ReadAll(path);
    QVERIFY2(written.endsWith(data), written.toHex().constData());

    bool ok = false;
    QByteArray said = RunPhp({"-l", path}, &ok);
    QVERIFY2(ok, said.constData());
    said = RunPhp(
        {"-r", "include $argv[1]; echo _HELLO, '|', _BYE, '|', defined('_DATA') ? 1 : 0;", path},
        &ok);
    QVERIFY2(ok, said.constData());
    QCOMPARE(said, QByteArray("Bonjour|Bye|0"));
}
