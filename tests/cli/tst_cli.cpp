#include "../support/fixture.h"
#include "cli.h"

#include <QBuffer>
#include <QFile>
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

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void golden_data();
    void golden();
    void mergeWritesWhatSaveWrites();
    void errors_data();
    void errors();
    void find_data();
    void find();
    void findInTheFilesEncoding_data();
    void findInTheFilesEncoding();
    void differingEncodingWarned_data();
    void differingEncodingWarned();
    void escape_data();
    void escape();
    void longLines();
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
    QTest::newRow("unknown option")
        << A{"stats", DataArg("template.php"), "--fast"} << 2 << QByteArray("usage:");
    QTest::newRow("missing file") << A{"stats", "/no/such/file.php"} << 1
                                  << QByteArray("Cannot open file /no/such/file.php\n");
    QTest::newRow("invalid mask") << A{"find", DataArg("template.php"), "*["} << 1
                                  << QByteArray("'*[' is an invalid mask at (3)\n");
    QTest::newRow("find needs a pattern")
        << A{"find", DataArg("template.php")} << 2 << QByteArray("usage:");
    QTest::newRow("unknown encoding")
        << A{"find", DataArg("template.php"), "x", "--encoding", "klingon"} << 1
        << QByteArray("Unknown encoding klingon\n");
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
    QTest::newRow("star matches every phrase")
        << A{"*"} << QByteArray("Hello Bye _SAY _PATH Tab _ETE");
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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
