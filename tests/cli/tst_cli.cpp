#include "../support/fixture.h"
#include "cli.h"
#include "quillmar_version.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Data = QStringLiteral(QUILLMAR_TEST_DATA "/cli/");

QByteArray Golden(const QString& name)
{
    QFile f(Data + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", qPrintable(name));
    return f.readAll();
}

struct Run
{
    int status;
    QByteArray out;
    QByteArray err;
};

Run Cli(QList<QByteArray> args)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = RunCli(args, out, err);
    return {status, out.data(), err.data()};
}

// The keys of the phrases find printed, in its order, joined by blanks.
QByteArray FoundKeys(const QByteArray& out)
{
    QList<QByteArray> found;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty())
            found << line.split('\t').at(2);
    return found.join(' ');
}

QByteArray DataArg(const char* name)
{
    return QFile::encodeName(Data + name);
}

// The odd translation starts with a UTF-8 byte order mark while the template holds windows-1252
// letters: every command that reads the pair warns of it once, and does its work all the same.
bool WarnsOfTheOddPair(const QByteArray& err)
{
    return err.startsWith("quillmar-cli: warning: The translation ") &&
           err.contains("translation.php is in UTF-8") &&
           err.contains("template.php is in windows-1252") && err.count('\n') == 1 &&
           err.endsWith('\n');
}
QByteArray EncodingArg(const char* name)
{
    return QFile::encodeName(QStringLiteral(QUILLMAR_TEST_DATA "/encoding/") + QLatin1String(name));
}

// The pair the layouts of merge are shown on: an LF template with a header, and a CRLF
// translation with a header of its own, _HELLO spelled its own way, _OLD that the template lacks
// and no _NEW.
const QByteArray LayoutTemplate = "<?php\n"
                                  "// English texts of the shop\n"
                                  "// by its authors\n"
                                  "\n"
                                  "define(\"_HELLO\", \"Hello\");\n"
                                  "  define(\"_BYE\",\"Goodbye\"); // farewell\n"
                                  "$lang['CART'] = 'Cart';\n"
                                  "define(\"_NEW\",\"New\");\n";
const QByteArray LayoutTranslation = "<?php\r\n"
                                     "// Texte der Seite auf Deutsch\r\n"
                                     "\r\n"
                                     "define(\"_HELLO\" , \"Hallo\");\r\n"
                                     "define(\"_BYE\",\"Goodbye\");\r\n"
                                     "define(\"_OLD\",\"Alt\");\r\n"
                                     "$lang['CART'] = 'Warenkorb';\r\n";

// What php -l says against a file, or nothing when it takes the file or php is not installed.
QByteArray PhpComplaint(const QString& path)
{
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        return {};
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(php, {QStringLiteral("-n"), QStringLiteral("-l"), path});
    if (!p.waitForFinished(60000))
        return "php -l did not finish";
    return p.exitCode() == 0 ? QByteArray() : p.readAll();
}

// The files check reads, written into dir, each first shown to be PHP by php -l where php is
// installed. fr.php has a problem of three checks on lines 4 and 5, after a clean line 3 that
// comes later in the template; de.php has none; bad-utf8.php declares UTF-8 by its byte order
// mark and holds a Latin-1 byte; code.php holds code its originals lack on lines 2 and 3.
struct CheckFiles
{
    QTemporaryDir dir;
    QByteArray templ, fr, de, badUtf8, code;

    CheckFiles()
    {
        templ = Fixture("en.php", "<?php\n"
                                  "define(\"_FILES\",\"%d files.\");\n"
                                  "define(\"_BOLD\",\"<b>Bold</b>\");\n"
                                  "define('_HELLO','Hello $name');\n"
                                  "define(\"_SAME\",\"Keep %s\");\n"
                                  "define(\"_PLAIN\",\"Open\");\n");
        fr = Fixture("fr.php", "<?php\n"
                               "// French\n"
                               "define(\"_PLAIN\",\"Ouvrir\");\n"
                               "define(\"_FILES\",\"%s fichiers\");\n"
                               "define(\"_BOLD\",\"Gras\");\n"
                               "define(\"_SAME\",\"Keep %s\");\n"
                               "define('_HELLO','Bonjour $name');\n");
        de = Fixture("de.php", "<?php\ndefine(\"_FILES\",\"%d Dateien.\");\n");
        badUtf8 =
            Fixture("bad-utf8.php", "\xEF\xBB\xBF<?php\ndefine(\"_PLAIN\",\"Ouvrir\xE9\");\n");
        code = Fixture("code.php", "<?php\n"
                                   "define(\"_PLAIN\",\"Ouvrir {${system('id')}}\");\n"
                                   "define(\"_HELLO\",\"Bonjour $name->first\");\n");
    }

    QByteArray Fixture(const char* name, const QByteArray& bytes)
    {
        const QString path = WriteFixture(dir, QLatin1String(name), bytes);
        if (const QByteArray complaint = PhpComplaint(path); !complaint.isEmpty())
            qFatal("fixture %s is not PHP: %s", name, complaint.constData());
        return QFile::encodeName(path);
    }
    // Expected output with the names TEMPLATE, FR, DE, BAD and CODE replaced by the fixtures'
    // paths.
    QByteArray Named(QByteArray text) const
    {
        return text.replace("CODE", code)
            .replace("TEMPLATE", templ)
            .replace("FR", fr)
            .replace("DE", de)
            .replace("BAD", badUtf8);
    }
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void golden_data();
    void golden();
    void mergeWritesWhatSaveWrites();
    void mergeToStreams_data();
    void mergeToStreams();
    void mergeWarnsOfCode();
    void mergeLayouts_data();
    void mergeLayouts();
    void errors_data();
    void errors();
    void optionsEnd_data();
    void optionsEnd();
    void find_data();
    void find();
    void findInTheFilesEncoding_data();
    void findInTheFilesEncoding();
    void differingEncodingWarned_data();
    void differingEncodingWarned();
    void escape_data();
    void escape();
    void parseStatements_data();
    void parseStatements();
    void longLines();
    void check_data();
    void check();
    void checkJson();
    void statsJson();
    void version();
};

void TestCli::golden_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QString>("expected");
    using A = QList<QByteArray>;
    const QByteArray t = DataArg("template.php");
    const QByteArray tr = DataArg("translation.php");
    QTest::newRow("parse template") << A{"parse", t} << "template.parse.txt";
    QTest::newRow("parse odd translation") << A{"parse", tr} << "translation.parse.txt";
    QTest::newRow("stats") << A{"stats", t, tr} << "stats.txt";
    QTest::newRow("stats template only") << A{"stats", t} << "stats-template-only.txt";
    QTest::newRow("list") << A{"list", t, tr} << "list.txt";
    QTest::newRow("list missing") << A{"list", t, tr, "--state", "missing"} << "list-missing.txt";
    QTest::newRow("list obsolete")
        << A{"list", t, tr, "--state", "obsolete"} << "list-obsolete.txt";
}

void TestCli::golden()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QString, expected);
    const Run r = Cli(args);
    if (args.size() > 2 && args.at(0) != "parse")
        QVERIFY2(WarnsOfTheOddPair(r.err), r.err.constData());
    else
        QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, Golden(expected));
}

void TestCli::mergeWritesWhatSaveWrites()
{
    QTemporaryDir dir;
    const QByteArray out = QFile::encodeName(dir.filePath("fr.php"));
    const Run r = Cli({"merge", DataArg("template.php"), DataArg("translation.php"), "-o", out});
    QCOMPARE(r.status, 0);
    QFile f(dir.filePath("fr.php"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), Golden("merged.php"));
}

// The names of the standard streams write to the streams the command was given, never to the
// file or pipe behind them.
void TestCli::mergeToStreams_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("toErr");
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
        QTest::newRow(name) << QByteArray(name) << false;
    for (const char* name : {"/dev/stderr", "/dev/fd/2", "/proc/self/fd/2"})
        QTest::newRow(name) << QByteArray(name) << true;
}

void TestCli::mergeToStreams()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, toErr);
    const Run r = Cli({"merge", DataArg("template.php"), DataArg("translation.php"), "-o", output});
    QCOMPARE(r.status, 0);
    // The warning of the odd pair comes first, then the file, whole.
    const QByteArray merged = Golden("merged.php");
    if (toErr) {
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.endsWith(merged) && WarnsOfTheOddPair(r.err.chopped(merged.size())),
                 r.err.constData());
    } else {
        QCOMPARE(r.out, merged);
        QVERIFY2(WarnsOfTheOddPair(r.err), r.err.constData());
    }
}

// Code a translation adds is named on stderr, line by line, and the file is still written.
void TestCli::mergeWarnsOfCode()
{
    CheckFiles files;
    const QByteArray out = QFile::encodeName(files.dir.filePath("out.php"));
    const Run r = Cli({"merge", files.templ, files.code, "-o", out});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, files.Named("quillmar-cli: warning: CODE:2: [code] remove {${system('id')}}, "
                                "which PHP runs as code when it reads the file and the original "
                                "does not have; a backslash before each $ keeps it as text\n"
                                "quillmar-cli: warning: CODE:3: [code] remove $name->first, which "
                                "PHP runs as code when it reads the file and the original does "
                                "not have; a backslash before each $ keeps it as text\n"));
    // The file keeps the code, as the translation wrote it, in PHP that PHP still reads.
    const QByteArray written = ReadAll(QFile::decodeName(out));
    QVERIFY2(written.contains("{${system('id')}}") && written.contains("$name->first"),
             written.constData());
    QCOMPARE(PhpComplaint(QFile::decodeName(out)), QByteArray());
    // Skipped, or with no translation, there is nothing to warn of.
    QCOMPARE(Cli({"merge", files.templ, files.fr, "-o", out}).err, QByteArray());
    QCOMPARE(Cli({"merge", files.templ, "-o", out}).err, QByteArray());
}

// The three layouts of a merged file, over an LF template and a CRLF translation with its own
// header, a phrase in its own spelling, an obsolete phrase, and no copy of the template's _NEW.
void TestCli::mergeLayouts_data()
{
    QTest::addColumn<QList<QByteArray>>("options");
    QTest::addColumn<QByteArray>("translation"); // none when null
    QTest::addColumn<QByteArray>("expected");
    using A = QList<QByteArray>;
    // The template's statements and line ends, the translation's header and values; the obsolete
    // _OLD after the last define.
    const QByteArray fromTemplate = "<?php\n"
                                    "// Texte der Seite auf Deutsch\n"
                                    "\n"
                                    "%HELLO\n"
                                    "%BYE // farewell\n"
                                    "$lang['CART'] = 'Warenkorb';\n"
                                    "define(\"_NEW\",\"New\");\n"
                                    "define(\"_OLD\",\"Alt\");\n";
    const QByteArray fixed = QByteArray(fromTemplate)
                                 .replace("%HELLO", "define(\"_HELLO\",\"Hallo\");")
                                 .replace("%BYE", "define(\"_BYE\",\"Goodbye\");");
    const QByteArray lines = QByteArray(fromTemplate)
                                 .replace("%HELLO", "define(\"_HELLO\", \"Hallo\");")
                                 .replace("%BYE", "  define(\"_BYE\",\"Goodbye\");");
    const QByteArray tr = LayoutTranslation;
    QTest::newRow("template, the default") << A{} << tr << fixed;
    QTest::newRow("template") << A{"--layout", "template"} << tr << fixed;
    QTest::newRow("lines") << A{"--layout", "lines"} << tr << lines;
    QTest::newRow("--keep-layout is lines") << A{"--keep-layout"} << tr << lines;
    // The translation's bytes as they are, the phrase it lacks after its neighbour's line.
    QTest::newRow("translation") << A{"--layout", "translation"} << tr
                                 << tr + "define(\"_NEW\",\"New\");\r\n";
    // With no translation file to keep, or an empty one, the template's file is the translation.
    QTest::newRow("translation, none given")
        << A{"--layout", "translation"} << QByteArray() << LayoutTemplate;
    QTest::newRow("translation, empty")
        << A{"--layout", "translation"} << QByteArray("") << LayoutTemplate;
}

void TestCli::mergeLayouts()
{
    QFETCH(QList<QByteArray>, options);
    QFETCH(QByteArray, translation);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QList<QByteArray> args{"merge", QFile::encodeName(WriteFixture(dir, "en.php", LayoutTemplate))};
    if (!translation.isNull())
        args << QFile::encodeName(WriteFixture(dir, "de.php", translation));
    const QString out = dir.filePath("out.php");
    const Run r = Cli(args + QList<QByteArray>{"-o", QFile::encodeName(out)} + options);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(ReadAll(out), expected);
    QCOMPARE(PhpComplaint(out), QByteArray());
}

void TestCli::errors_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("errStart");
    using A = QList<QByteArray>;
    QTest::newRow("no arguments") << A{} << 2 << QByteArray("usage:");
    QTest::newRow("unknown command") << A{"frobnicate"} << 2 << QByteArray("usage:");
    QTest::newRow("parse needs a file") << A{"parse"} << 2 << QByteArray("usage:");
    QTest::newRow("bad state") << A{"list", DataArg("template.php"), "--state", "done"} << 2
                               << QByteArray("usage:");
    QTest::newRow("merge without -o")
        << A{"merge", DataArg("template.php")} << 2 << QByteArray("usage:");
    QTest::newRow("unknown layout")
        << A{"merge", DataArg("template.php"), "-o", "/no/such/dir/out.php", "--layout", "bogus"}
        << 2 << QByteArray("usage:");
    QTest::newRow("unknown option")
        << A{"stats", DataArg("template.php"), "--fast"} << 2 << QByteArray("usage:");
    QTest::newRow("missing file") << A{"stats", "/no/such/file.php"} << 1
                                  << QByteArray("Cannot open file /no/such/file.php\n");
    QTest::newRow("invalid mask") << A{"find", DataArg("template.php"), "*["} << 2
                                  << QByteArray("'*[' is an invalid mask at (3)\n");
    QTest::newRow("find needs a pattern")
        << A{"find", DataArg("template.php")} << 2 << QByteArray("usage:");
    QTest::newRow("unknown encoding")
        << A{"find", DataArg("template.php"), "x", "--encoding", "klingon"} << 2
        << QByteArray("Unknown encoding klingon\n");
    QTest::newRow("version with an argument") << A{"--version", "x"} << 2 << QByteArray("usage:");
    QTest::newRow("second -o") << A{"merge", DataArg("template.php"), "-o", "a.php", "-o", "b.php"}
                               << 2
                               << QByteArray("quillmar-cli: -o is given more than once; merge "
                                             "writes one file\n");
    QTest::newRow("-- makes the rest names") << A{"list", DataArg("template.php"), "--", "--state"}
                                             << 1 << QByteArray("Cannot open file --state\n");
    QTest::newRow("-- leaves too many names")
        << A{"parse", "--", DataArg("template.php"), "x"} << 2 << QByteArray("usage:");
    QTest::newRow("unwritable output")
        << A{"merge", DataArg("template.php"), "-o", "/no/such/dir/out.php"} << 1
        << QByteArray("Cannot create file /no/such/dir/out.php\n");
}

void TestCli::errors()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(int, status);
    QFETCH(QByteArray, errStart);
    const Run r = Cli(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.startsWith(errStart), r.err.constData());
    QCOMPARE(r.out, QByteArray());
}

// -- ends the options: a pattern after it may begin with a dash, and an option's name after it
// is a pattern.
void TestCli::optionsEnd_data()
{
    QTest::addColumn<QList<QByteArray>>("args"); // after "find TEMPLATE"
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("keys");
    using A = QList<QByteArray>;
    QTest::newRow("a pattern that begins with a dash")
        << A{"--", "-v"} << 0 << QByteArray("_VERBOSE");
    QTest::newRow("a mask that begins with a dash") << A{"--", "-*"} << 0 << QByteArray("_VERBOSE");
    QTest::newRow("an option's name as the pattern")
        << A{"--", "--literal"} << 0 << QByteArray("_LITERAL");
    QTest::newRow("options before -- still count")
        << A{"--case-sensitive", "--", "-V"} << 0 << QByteArray();
    QTest::newRow("a dash without --") << A{"-v"} << 2 << QByteArray();
    QTest::newRow("-- and no pattern") << A{"--"} << 2 << QByteArray();
}

void TestCli::optionsEnd()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(int, status);
    QFETCH(QByteArray, keys);
    QTemporaryDir dir;
    const QString templ = WriteFixture(dir, QStringLiteral("en.php"),
                                       "<?php\n"
                                       "define(\"_VERBOSE\",\"-v shows more\");\n"
                                       "define(\"_LITERAL\",\"see --literal\");\n");
    const Run r = Cli(QList<QByteArray>{"find", QFile::encodeName(templ)} + args);
    QCOMPARE(r.status, status);
    QCOMPARE(FoundKeys(r.out), keys);
    QVERIFY2(status == 0 ? r.err.isEmpty() : r.err.startsWith("usage:"), r.err.constData());
}

void TestCli::find_data()
{
    QTest::addColumn<QList<QByteArray>>("options");
    QTest::addColumn<QByteArray>("keys"); // keys of the phrases found, in order, joined by ' '
    using A = QList<QByteArray>;
    QTest::newRow("plain, any case") << A{"BONJOUR"} << QByteArray("Hello");
    QTest::newRow("plain, case-sensitive") << A{"BONJOUR", "--case-sensitive"} << QByteArray();
    QTest::newRow("mask in translations") << A{"*S*", "--in", "translated"} << QByteArray("_SAY");
    QTest::newRow("mask must fit the whole text")
        << A{"S*", "--in", "original"} << QByteArray("_SAY");
    QTest::newRow("question marks") << A{"B??"} << QByteArray("Bye");
    QTest::newRow("literal asterisk finds nothing") << A{"*", "--literal"} << QByteArray();
    // The obsolete phrases, which only the translation has, come after the template's.
    QTest::newRow("star matches every phrase")
        << A{"*"} << QByteArray("Hello Bye _SAY _PATH _ETE _UNKNOWN _TAB");
    QTest::newRow("8-bit capitals by the encoding")
        << A{"\xC9T\xC9", "--encoding", "windows-1252"} << QByteArray("_ETE");
    QTest::newRow("leading blank is part of the pattern") << A{" b"} << QByteArray();
}

void TestCli::find()
{
    QFETCH(QList<QByteArray>, options);
    QFETCH(QByteArray, keys);
    // Test data cannot hold raw 8-bit bytes portably in a table name; unescape \xHH here.
    QByteArray pattern = options.takeFirst();
    if (pattern.startsWith("\\x")) {
        QByteArray raw;
        for (const QByteArray& part : pattern.split('\\'))
            raw += part.startsWith('x') ? QByteArray::fromHex(part.mid(1, 2)) + part.mid(3) : part;
        pattern = raw;
    }
    const Run r = Cli(
        QList<QByteArray>{"find", DataArg("template.php"), DataArg("translation.php"), pattern} +
        options);
    QVERIFY2(WarnsOfTheOddPair(r.err), r.err.constData());
    QCOMPARE(r.status, 0);
    QCOMPARE(FoundKeys(r.out), keys);
}

// The pattern is typed in the terminal (UTF-8 under the C locale the tests run in); the files are
// in whatever encoding they declare or their letters tell.
void TestCli::findInTheFilesEncoding_data()
{
    QTest::addColumn<QList<QByteArray>>("args"); // after "find TEMPLATE"
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("err");
    using A = QList<QByteArray>;
    const QByteArray declared = EncodingArg("russian-1251.php");
    const QByteArray undeclared = EncodingArg("russian-undeclared.php");
    const QByteArray mir = QString::fromUtf8("мир").toUtf8();
    QTest::newRow("declared windows-1251")
        << A{declared, mir} << QByteArray("_HELLO _WORLD _PEACE") << QByteArray();
    QTest::newRow("guessed windows-1251")
        << A{undeclared, mir} << QByteArray("_HELLO _WORLD _PEACE") << QByteArray();
    QTest::newRow("encoding named") << A{undeclared, mir, "--encoding", "windows-1251"}
                                    << QByteArray("_HELLO _WORLD _PEACE") << QByteArray();
    QTest::newRow("case-sensitive")
        << A{declared, mir, "--case-sensitive"} << QByteArray("_HELLO") << QByteArray();
    QTest::newRow("mask") << A{declared, mir + "*"} << QByteArray("_WORLD _PEACE") << QByteArray();
    // Named, the encoding wins over what the files say: KOI8-R letters are other bytes.
    QTest::newRow("another encoding named")
        << A{declared, mir, "--encoding", "KOI8-R"} << QByteArray() << QByteArray();
    QTest::newRow("a letter the encoding lacks")
        << A{declared, QString::fromUtf8("é").toUtf8()} << QByteArray()
        << QByteArray(
               "quillmar-cli: \"\xC3\xA9\" cannot be written in windows-1251: nothing can match\n");
}

void TestCli::findInTheFilesEncoding()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, err);
    const Run r = Cli(QList<QByteArray>{"find", EncodingArg("english.php")} + args);
    QCOMPARE(r.err, err);
    QCOMPARE(r.status, 0);
    QCOMPARE(FoundKeys(r.out), keys);
}

// A translation in another encoding than its template's: a merge of the two mixes both, so
// every command that reads the pair says so, and still does its work.
void TestCli::differingEncodingWarned_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<bool>("warned");
    using A = QList<QByteArray>;
    const QByteArray utf8 = EncodingArg("english-utf8.php");
    const QByteArray latin1 = EncodingArg("french-latin1.php");
    QTest::newRow("stats") << A{"stats", utf8, latin1} << true;
    QTest::newRow("list") << A{"list", utf8, latin1} << true;
    QTest::newRow("find") << A{"find", utf8, latin1, "monde"} << true;
    QTest::newRow("merge") << A{"merge", utf8, latin1, "-o", "OUT"} << true;
    QTest::newRow("template alone") << A{"stats", utf8} << false;
    QTest::newRow("ASCII template") << A{"stats", EncodingArg("english.php"), latin1} << false;
}

void TestCli::differingEncodingWarned()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(bool, warned);
    QTemporaryDir dir;
    for (QByteArray& a : args)
        if (a == "OUT")
            a = QFile::encodeName(dir.filePath("out.php"));
    const Run r = Cli(args);
    QCOMPARE(r.status, 0);
    QVERIFY(!r.out.isEmpty() || args.first() == "merge");
    if (warned) {
        QVERIFY2(r.err.startsWith("quillmar-cli: warning: The translation ") &&
                     r.err.contains("french-latin1.php is in ISO-8859-1") &&
                     r.err.contains("english-utf8.php is in UTF-8") && r.err.count('\n') == 1,
                 r.err.constData());
    } else {
        QCOMPARE(r.err, QByteArray());
    }
}

void TestCli::escape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("controls") << QByteArray("a\\b\tc\nd\re\x01\x1f\x7f", 12)
                              << QByteArray(R"(a\\b\tc\nd\re\x01\x1f\x7f)");
    QTest::newRow("8-bit unchanged") << QByteArray("\x80\xff \xe9") << QByteArray("\x80\xff \xe9");
}

void TestCli::escape()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escaped);
    QCOMPARE(EscapeField(text), escaped);
}

// parse lists each phrase on the line its statement begins on, keyed as the code names it.
void TestCli::parseStatements_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("array elements")
        << QByteArray("<?php\n"
                      "$lang = array();\n"
                      "$lang['HELLO'] = 'Hello';\n"
                      "$lang['BYE'] = \"Good\" .\n"
                      "    \"bye\";\n"
                      "$lang[\"17\"] = 'It\\'s'; $lang['NESTED']['a'] = \"A\\tB\";\n"
                      "$lang[] = 'next';\n")
        // A string key PHP takes as an integer is the integer, and [] takes the next one.
        << QByteArray("0\t0\n"
                      "1\t0\n"
                      "2\t6\t$lang['HELLO']\tHello\n"
                      "3\t6\t$lang['BYE']\tGoodbye\n"
                      "4\t0\n"
                      "5\t6\t$lang[17]\tIt's\n"
                      "5\t6\t$lang['NESTED']['a']\tA\\\\tB\n"
                      "6\t6\t$lang[18]\tnext\n");
    // Without an open tag, lines that begin with [[ are bracket lines and the others code.
    QTest::newRow("no open tag") << QByteArray("[[Hello]] = [[Bonjour]]\n"
                                               "  [[Tab]] = [[a\tb]]\n"
                                               "define(\"_X\",\"y\");\n")
                                 << QByteArray("0\t3\tHello\tBonjour\n"
                                               "1\t3\tTab\ta\\tb\n"
                                               "2\t2\t_X\ty\n");
}

void TestCli::parseStatements()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const Run r = Cli({"parse", QFile::encodeName(WriteFixture(dir, "lang.php", file))});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, expected);
}

void TestCli::longLines()
{
    // A 10 MB phrase line goes through whole, without being cut or slowed to a crawl.
    QTemporaryDir dir;
    const QByteArray value(10 * 1024 * 1024, 'x');
    const QString path = WriteFixture(dir, "big.php", "define(\"_BIG\",\"" + value + "\");");
    const Run r = Cli({"parse", QFile::encodeName(path)});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, "0\t2\t_BIG\t" + value + "\n");
}

// What check prints for each set of files and options: problem lines on stdout, one summary
// per file on stderr, and the exit status.
void TestCli::check_data()
{
    QTest::addColumn<QList<QByteArray>>("args"); // after "check"
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err"); // "usage:" for the start of the usage text
    using A = QList<QByteArray>;
    const QByteArray frLines =
        "FR:4: warning: [placeholders] add the original's %d; remove %s, which the original does "
        "not have\n"
        "FR:4: warning: [punctuation] end with a mark like the original's final \".\"\n"
        "FR:5: warning: [markup] add the original's <b>, </b>\n";
    const QByteArray frSummary =
        "FR: 3 problems in 4 translated phrases (placeholders 1, markup 1, "
        "punctuation 1)\n";
    const QByteArray deSummary = "DE: 0 problems in 1 translated phrase\n";
    QTest::newRow("problems") << A{"TEMPLATE", "FR"} << 1 << frLines << frSummary;
    QTest::newRow("clean") << A{"TEMPLATE", "DE"} << 0 << QByteArray() << deSummary;
    QTest::newRow("several translations")
        << A{"TEMPLATE", "DE", "FR"} << 1 << frLines << deSummary + frSummary;
    QTest::newRow("skip a list")
        << A{"TEMPLATE", "FR", "--skip", "punctuation,markup"} << 1
        << QByteArray("FR:4: warning: [placeholders] add the original's %d; remove %s, which the "
                      "original does not have\n")
        << QByteArray("FR: 1 problem in 4 translated phrases (placeholders 1)\n");
    QTest::newRow("skip repeated")
        << A{"TEMPLATE", "FR",          "--skip", "placeholders",
             "--skip",   "punctuation", "--skip", "markup"}
        << 0 << QByteArray() << QByteArray("FR: 0 problems in 4 translated phrases\n");
    QTest::newRow("bytes the declared encoding cannot read")
        << A{"TEMPLATE", "BAD"} << 1
        << QByteArray("BAD:2: warning: [encoding] retype the text from byte 7 on: its bytes are "
                      "not valid UTF-8 and show as replacement characters\n")
        << QByteArray("BAD: 1 problem in 1 translated phrase (encoding 1)\n");
    // The other files are still checked; the unreadable one decides the status.
    QTest::newRow("unreadable translation")
        << A{"TEMPLATE", "/no/such/fr.php", "DE"} << 2 << QByteArray()
        << "Cannot open file /no/such/fr.php\n" + deSummary;
    QTest::newRow("unreadable template") << A{"/no/such/en.php", "DE"} << 2 << QByteArray()
                                         << QByteArray("Cannot open file /no/such/en.php\n");
    QTest::newRow("no translation") << A{"TEMPLATE"} << 2 << QByteArray() << QByteArray("usage:");
    QTest::newRow("unknown check")
        << A{"TEMPLATE", "FR", "--skip", "spelling"} << 2 << QByteArray() << QByteArray("usage:");
    QTest::newRow("empty check name")
        << A{"TEMPLATE", "FR", "--skip", "markup,"} << 2 << QByteArray() << QByteArray("usage:");
    QTest::newRow("unknown format")
        << A{"TEMPLATE", "FR", "--format", "xml"} << 2 << QByteArray() << QByteArray("usage:");
    // Code is an error, counted apart, and may be turned off like any check.
    const QByteArray codeAdded = ", which PHP runs as code when it reads the file and the "
                                 "original does not have; a backslash before each $ keeps it as "
                                 "text\n";
    QTest::newRow("code") << A{"TEMPLATE", "CODE"} << 1
                          << "CODE:2: error: [code] remove {${system('id')}}" + codeAdded +
                                 "CODE:3: error: [code] remove $name->first" + codeAdded
                          << QByteArray("CODE: 2 problems (2 errors) in 2 translated phrases "
                                        "(code 2)\n");
    QTest::newRow("code among warnings")
        << A{"TEMPLATE", "FR", "CODE", "--skip", "markup,punctuation"} << 1
        << "FR:4: warning: [placeholders] add the original's %d; remove %s, which the original "
           "does not have\n"
           "CODE:2: error: [code] remove {${system('id')}}" +
               codeAdded + "CODE:3: error: [code] remove $name->first" + codeAdded
        << QByteArray("FR: 1 problem in 4 translated phrases (placeholders 1)\n"
                      "CODE: 2 problems (2 errors) in 2 translated phrases (code 2)\n");
    QTest::newRow("code skipped") << A{"TEMPLATE", "CODE", "--skip", "code"} << 0 << QByteArray()
                                  << QByteArray("CODE: 0 problems in 2 translated phrases\n");
}

void TestCli::check()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    CheckFiles files;
    for (QByteArray& a : args)
        a = files.Named(a);
    const Run r = Cli(QList<QByteArray>{"check"} + args);
    QCOMPARE(r.out, files.Named(out));
    if (err == "usage:")
        QVERIFY2(r.err.startsWith(err), r.err.constData());
    else
        QCOMPARE(r.err, files.Named(err));
    QCOMPARE(r.status, status);
}

void TestCli::checkJson()
{
    CheckFiles files;
    const Run r = Cli({"check", files.templ, files.de, files.fr, "/no/such/it.php", "--format",
                       "json", "--skip", "whitespace"});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, QByteArray("Cannot open file /no/such/it.php\n"));
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(r.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(report["template"].toString(), QFile::decodeName(files.templ));
    const QJsonArray reports = report["files"].toArray();
    QCOMPARE(reports.size(), 3);

    const QJsonObject de = reports[0].toObject();
    QCOMPARE(de["file"].toString(), QFile::decodeName(files.de));
    QCOMPARE(de["problems"].toArray().size(), 0);

    const QJsonObject fr = reports[1].toObject();
    QCOMPARE(fr["encoding"].toString(), "UTF-8");
    const QJsonArray problems = fr["problems"].toArray();
    QCOMPARE(problems.size(), 3);
    QCOMPARE(problems[2].toObject(), QJsonObject({{"line", 5},
                                                  {"key", "_BOLD"},
                                                  {"check", "markup"},
                                                  {"severity", "warning"},
                                                  {"message", "add the original's <b>, </b>"}}));
    QCOMPARE(problems[0].toObject()["check"].toString(), "placeholders");
    QCOMPARE(problems[1].toObject()["key"].toString(), "_FILES");
    // Every check that ran is counted, those that found nothing too; a skipped one is not.
    const QJsonObject summary = fr["summary"].toObject();
    QCOMPARE(summary["phrases"].toInt(), 5);
    QCOMPARE(summary["translated"].toInt(), 4);
    QCOMPARE(summary["problems"].toInt(), 3);
    QCOMPARE(summary["errors"].toInt(), 0);
    QCOMPARE(summary["checks"].toObject(), QJsonObject({{"code", 0},
                                                        {"brackets", 0},
                                                        {"placeholders", 1},
                                                        {"variables", 0},
                                                        {"markup", 1},
                                                        {"punctuation", 1},
                                                        {"empty", 0},
                                                        {"encoding", 0}}));

    const QJsonObject unreadable = reports[2].toObject();
    QCOMPARE(unreadable["error"].toString(), "Cannot open file /no/such/it.php");
    QVERIFY(!unreadable.contains("problems"));

    // Code is an error, and counted as one.
    const Run code = Cli({"check", files.templ, files.code, "--format", "json"});
    QCOMPARE(code.status, 1);
    const QJsonObject codeReport =
        QJsonDocument::fromJson(code.out).object()["files"].toArray()[0].toObject();
    const QJsonObject first = codeReport["problems"].toArray()[0].toObject();
    QCOMPARE(first["check"].toString(), "code");
    QCOMPARE(first["severity"].toString(), "error");
    QCOMPARE(codeReport["summary"].toObject()["errors"].toInt(), 2);
}

void TestCli::statsJson()
{
    const Run r =
        Cli({"stats", DataArg("template.php"), DataArg("translation.php"), "--format", "json"});
    QCOMPARE(r.status, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out).object(),
             QJsonObject({{"phrases", 5}, {"translated", 2}, {"untranslated", 1}, {"missing", 2}}));
    const Run alone = Cli({"stats", DataArg("template.php"), "--format", "json"});
    QCOMPARE(QJsonDocument::fromJson(alone.out).object()["missing"].toInt(), 5);
    QCOMPARE(Cli({"stats", DataArg("template.php"), "--format", "csv"}).status, 2);
}

// Scripts and packagers read the version from the standard output, the name first.
void TestCli::version()
{
    const Run r = Cli({"--version"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QByteArray("quillmar-cli " QUILLMAR_VERSION_STRING "\n"));
    QCOMPARE(r.err, QByteArray());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
