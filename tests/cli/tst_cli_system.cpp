// quillmar-cli run as a process, the way a user or a script meets it: its exit status, what it
// says on stderr, and what it leaves on disk when output, memory, the disk or permissions fail.
#include "../support/fixture.h"
#include "../support/resourcelimits.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString Cli = QStringLiteral(QUILLMAR_CLI);

// The user nobody: the files of the tests belong to root, so this user writes them as another.
constexpr uid_t Nobody = 65534;

// Valid PHP in each of the phrase line shapes, with an 8-bit value.
const QByteArray Template = "<?php\r\n"
                            "// Phrases of the demo application\r\n"
                            "switch ($phrase) {\r\n"
                            "    case \"Hello\": $tmp = \"Hello\"; break;\r\n"
                            "case strtolower(\"Bye\"): $tmp = \"Bye\"; break;\r\n"
                            "}\r\n"
                            "define(\"_SAY\",\"Say \\\"hi\\\"\");\r\n"
                            "define(\"_ETE\",\"\xC9t\xE9\");\r\n"
                            "?>\r\n";
// Hello and _ETE translated (the latter in 8 bits), _SAY left as the original, Bye missing.
const QByteArray Translation = "<?php\n"
                               "    case \"Hello\": $tmp = \"Bonjour\"; break;\n"
                               "define(\"_SAY\",\"Say \\\"hi\\\"\");\n"
                               "define(\"_ETE\",\"\xE9t\xE9 chaud\");\n";
const QByteArray Merged = "<?php\r\n"
                          "// Phrases of the demo application\r\n"
                          "switch ($phrase) {\r\n"
                          "    case \"Hello\": $tmp = \"Bonjour\"; break;\r\n"
                          "case strtolower(\"Bye\"): $tmp = \"Bye\"; break;\r\n"
                          "}\r\n"
                          "define(\"_SAY\",\"Say \\\"hi\\\"\");\r\n"
                          "define(\"_ETE\",\"\xE9t\xE9 chaud\");\r\n"
                          "?>\r\n";
const QByteArray MergedStats = "Phrases: 4, Untranslated: 1, Missing: 1\n";

// A template of valid PHP with one define line per phrase, and a comment line of padding bytes
// so that a test can give the output an exact size.
QByteArray GeneratedTemplate(int phrases, int valueLength, qsizetype padding = 0)
{
    const QByteArray value(valueLength, 'v');
    QByteArray t = "<?php\r\n";
    t.reserve(qsizetype(phrases) * (valueLength + 32) + padding + 64);
    for (int i = 0; i < phrases; ++i)
        t += "define(\"_P" + QByteArray::number(i) + "\",\"" + value + "\");\r\n";
    t += "// " + QByteArray(padding, '-') + "\r\n?>\r\n";
    return t;
}

// Files are made and read by their bytes, so names that are not valid UTF-8 work as well.
bool WriteBytes(const QByteArray& path, QByteArrayView bytes, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        ok = n > 0;
        done += n;
    }
    return ::close(fd) == 0 && ok;
}

QByteArray ReadBytes(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "(cannot open " + path + ")";
    QByteArray data;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
    ::close(fd);
    return data;
}

// All zero for a name that does not exist.
struct stat StatOf(const QByteArray& path)
{
    struct stat st = {};
    ::stat(path.constData(), &st);
    return st;
}

// What the command wrote must still be PHP. Without php the bytes are still compared elsewhere.
void VerifyPhp(const QByteArray& code)
{
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        return;
    QProcess p;
    p.start(php, {QStringLiteral("-n"), QStringLiteral("-l")});
    p.write(code);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
             (p.readAllStandardOutput() + p.readAllStandardError()).constData());
}

bool IsUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// QProcess hands arguments over as text, which cannot carry a byte that is not UTF-8; such a
// command goes through the shell, which prints every byte of each word from an octal escape.
QByteArray ShellWord(const QByteArray& bytes)
{
    QByteArray word = "\"$(printf '";
    for (const char c : bytes)
        word += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
    return word + "')\"";
}

struct Launch
{
    QList<QByteArray> args = {};
    QByteArray cache = {};     // XDG_CACHE_HOME, where safety copies go
    QByteArray input = {};     // written to standard input, which is then closed
    QString outputFile = {};   // standard output goes there instead of to the test
    bool appendOutput = false; // outputFile is opened to append, as by the shell's >>
    QString workingDirectory = {};
    QStringList asUser = {}; // setpriv options that run the command as another user
    rlim_t addressSpace = 0; // RLIMIT_AS of the command, or none
};

struct Result
{
    int status; // -1 when the process crashed or did not end
    QByteArray out;
    QByteArray err;
};

Result Run(const Launch& l)
{
    QList<QByteArray> argv;
    if (!l.asUser.isEmpty()) {
        argv << "setpriv";
        for (const QString& option : l.asUser)
            argv << option.toUtf8();
    }
    argv << QFile::encodeName(Cli) << l.args;

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), QFile::decodeName(l.cache));
    p.setProcessEnvironment(env);
    if (!l.outputFile.isEmpty())
        p.setStandardOutputFile(l.outputFile,
                                l.appendOutput ? QIODevice::Append : QIODevice::Truncate);
    if (!l.workingDirectory.isEmpty())
        p.setWorkingDirectory(l.workingDirectory);
    if (l.addressSpace) {
        const rlim_t limit = l.addressSpace;
        p.setChildProcessModifier([limit] {
            const rlimit r{limit, limit};
            ::setrlimit(RLIMIT_AS, &r);
        });
    }
    if (std::all_of(argv.begin(), argv.end(), IsUtf8)) {
        QStringList rest;
        for (const QByteArray& a : argv.sliced(1))
            rest << QString::fromUtf8(a);
        p.start(QString::fromUtf8(argv.first()), rest);
    } else {
        QByteArray script = "exec";
        for (const QByteArray& a : argv)
            script += ' ' + ShellWord(a);
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    }
    if (!p.waitForStarted())
        return {-1, {}, "(did not start) " + p.errorString().toUtf8()};
    if (!l.input.isEmpty())
        p.write(l.input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {-1, p.readAllStandardOutput(), "(did not end) " + p.readAllStandardError()};
    }
    const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return {status, l.outputFile.isEmpty() ? p.readAllStandardOutput() : QByteArray(),
            p.readAllStandardError()};
}

Result Run(const QList<QByteArray>& args, const QByteArray& cache)
{
    return Run(Launch{.args = args, .cache = cache});
}

// Writes a file into a FIFO from another process, as `stats <(git show ...)` would.
class FifoWriter
{
public:
    FifoWriter(const QByteArray& fifo, const QByteArray& source)
    {
        m_process.start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"), QStringLiteral("exec cat \"$1\" > \"$2\""),
                         QStringLiteral("sh"), QFile::decodeName(source), QFile::decodeName(fifo)});
    }
    ~FifoWriter()
    {
        // A reader that refused the FIFO leaves the writer waiting for one.
        m_process.kill();
        m_process.waitForFinished();
    }
    bool Finished() { return m_process.waitForFinished(60000) && m_process.exitCode() == 0; }

private:
    QProcess m_process;
};

// Address space for the program and its libraries to start in; the limits of the out-of-memory
// cases add a share of the template's size to it.
constexpr rlim_t StartUp = rlim_t(64) << 20;

} // namespace

class TestCliSystem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void failedOutput_data();
    void failedOutput();
    void eightBitNames_data();
    void eightBitNames();
    void streams_data();
    void streams();
    void mergeToStandardStreams_data();
    void mergeToStandardStreams();
    void refused_data();
    void refused();
    void mergeRefused_data();
    void mergeRefused();
    void outOfMemory_data();
    void outOfMemory();
    void otherUser_data();
    void otherUser();
    void fullDisk_data();
    void fullDisk();
    void patternTypedInTheTerminal();

private:
    QByteArray Path(const char* name) const { return QFile::encodeName(m_dir.filePath(name)); }

    QTemporaryDir m_dir;
    QByteArray m_cache;
    QByteArray m_template;
    QByteArray m_translation;
    QByteArray m_big; // its list and its parse are more than a megabyte
};

void TestCliSystem::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(Cli), qPrintable(Cli));
    m_cache = Path("cache");
    m_template = Path("template.php");
    m_translation = Path("translation.php");
    m_big = Path("big.php");
    QVERIFY(QDir().mkpath(QFile::decodeName(m_cache)));
    QVERIFY(WriteBytes(m_template, Template));
    QVERIFY(WriteBytes(m_translation, Translation));
    QVERIFY(WriteBytes(m_big, GeneratedTemplate(20000, 40)));
    // The fixtures, checked once on plain files: merge writes what the tests expect, and PHP.
    const Result merged =
        Run({"merge", m_template, m_translation, "-o", Path("merged.php")}, m_cache);
    QCOMPARE(merged.status, 0);
    QCOMPARE(ReadBytes(Path("merged.php")), Merged);
    VerifyPhp(Merged);
    VerifyPhp(ReadBytes(m_big));
}

// The program itself takes the terminal's encoding from the locale (C, run by the tests, stands
// for UTF-8) and finds a Cyrillic word in a windows-1251 translation.
void TestCliSystem::patternTypedInTheTerminal()
{
    const QByteArray data = QUILLMAR_TEST_DATA "/encoding/";
    const Result r = Run({"find", data + "english.php", data + "russian-1251.php",
                          QString::fromUtf8("мир").toUtf8(), "--in", "translated"},
                         m_cache);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.count('\n'), 3);
}

void TestCliSystem::failedOutput_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("errStart");
    using A = QList<QByteArray>;
    const QByteArray failed = "Cannot write the output: ";
    // Small outputs stay in the stream's buffer until the program ends and flushes it.
    QTest::newRow("parse") << A{"parse", m_template} << 1 << failed;
    QTest::newRow("stats") << A{"stats", m_template, m_translation} << 1 << failed;
    QTest::newRow("list") << A{"list", m_template, m_translation} << 1 << failed;
    QTest::newRow("find") << A{"find", m_template, m_translation, "*"} << 1 << failed;
    QTest::newRow("help") << A{"--help"} << 1 << failed;
    QTest::newRow("version") << A{"--version"} << 1 << failed;
    // Output of more than a megabyte is written while the command runs.
    QTest::newRow("list, over a megabyte") << A{"list", m_big} << 1 << failed;
    QTest::newRow("parse, over a megabyte") << A{"parse", m_big} << 1 << failed;
    QTest::newRow("find, over a megabyte") << A{"find", m_big, "v*"} << 1 << failed;
    // merge prints nothing, so a full standard output is no failure of it, unless it writes
    // the file there.
    QTest::newRow("merge") << A{"merge", m_template, m_translation, "-o", Path("full.php")} << 0
                           << QByteArray();
    QTest::newRow("merge to the standard output")
        << A{"merge", m_template, m_translation, "-o", "-"} << 1 << failed;
}

void TestCliSystem::failedOutput()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(int, status);
    QFETCH(QByteArray, errStart);
    const Result r = Run(Launch{.args = args, .cache = m_cache, .outputFile = "/dev/full"});
    QCOMPARE(r.status, status);
    QVERIFY2(errStart.isEmpty() ? r.err.isEmpty() : r.err.startsWith(errStart), r.err.constData());
    if (args.first() == "merge" && args.last() != "-") {
        QCOMPARE(ReadBytes(args.last()), Merged);
        VerifyPhp(ReadBytes(args.last()));
    }
}

void TestCliSystem::eightBitNames_data()
{
    // Names as bytes: é in windows-1252, a lone UTF-8 lead byte, and é in UTF-8 for contrast.
    QTest::addColumn<QByteArray>("templateName");
    QTest::addColumn<QByteArray>("translationName");
    QTest::addColumn<QByteArray>("outputName");
    QTest::newRow("8-bit output") << QByteArray("t.php") << QByteArray("tr.php")
                                  << QByteArray("out\xE9.php");
    QTest::newRow("8-bit inputs") << QByteArray("t\xE9.php") << QByteArray("tr\xE9.php")
                                  << QByteArray("out.php");
    QTest::newRow("all 8-bit, truncated sequence")
        << QByteArray("\xC3t.php") << QByteArray("\xFF\xFE.php") << QByteArray("\xE9\xC3");
    QTest::newRow("UTF-8") << QByteArray("t\xC3\xA9.php") << QByteArray("tr\xC3\xA9.php")
                           << QByteArray("out\xC3\xA9.php");
}

void TestCliSystem::eightBitNames()
{
    QFETCH(QByteArray, templateName);
    QFETCH(QByteArray, translationName);
    QFETCH(QByteArray, outputName);
    QTemporaryDir dir;
    const QByteArray in = QFile::encodeName(dir.filePath("in")) + '/';
    const QByteArray out = QFile::encodeName(dir.filePath("out")) + '/';
    QVERIFY(::mkdir(in.constData(), 0755) == 0 && ::mkdir(out.constData(), 0755) == 0);
    // QTemporaryDir sees names as text and cannot remove these.
    const auto remove = qScopeGuard([&] {
        for (const QByteArray& name : {in + templateName, in + translationName, out + outputName})
            ::unlink(name.constData());
    });
    QVERIFY(WriteBytes(in + templateName, Template));
    QVERIFY(WriteBytes(in + translationName, Translation));

    const Result stats = Run({"stats", in + templateName, in + translationName}, m_cache);
    QCOMPARE(stats.err, QByteArray());
    QCOMPARE(stats.out, MergedStats);

    const Result merge =
        Run({"merge", in + templateName, in + translationName, "-o", out + outputName}, m_cache);
    QCOMPARE(merge.err, QByteArray());
    QCOMPARE(merge.status, 0);
    // Exactly the name given: not re-encoded, no U+FFFD, no temporary file left beside it.
    QCOMPARE(RawEntries(out), QList<QByteArray>{outputName});
    QCOMPARE(ReadBytes(out + outputName), Merged);
    QList<QByteArray> inputs{templateName, translationName};
    std::sort(inputs.begin(), inputs.end());
    QCOMPARE(RawEntries(in), inputs);
}

void TestCliSystem::streams_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("templateFrom");    // "file", "fifo" or "stdin"
    QTest::addColumn<QByteArray>("translationFrom"); // "file", "fifo" or "" for none
    QTest::addColumn<bool>("big");
    QTest::newRow("stats, template from a FIFO")
        << QByteArray("stats") << QByteArray("fifo") << QByteArray("file") << false;
    QTest::newRow("stats, translation from a FIFO")
        << QByteArray("stats") << QByteArray("file") << QByteArray("fifo") << false;
    QTest::newRow("stats, both from FIFOs")
        << QByteArray("stats") << QByteArray("fifo") << QByteArray("fifo") << false;
    QTest::newRow("stats, template from a pipe")
        << QByteArray("stats") << QByteArray("stdin") << QByteArray("file") << false;
    QTest::newRow("parse from a FIFO")
        << QByteArray("parse") << QByteArray("fifo") << QByteArray() << false;
    // Far more than a pipe holds at once: read in many pieces, to the end.
    QTest::newRow("list, a megabyte from a FIFO")
        << QByteArray("list") << QByteArray("fifo") << QByteArray() << true;
    QTest::newRow("parse, a megabyte from a pipe")
        << QByteArray("parse") << QByteArray("stdin") << QByteArray() << true;
}

void TestCliSystem::streams()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, templateFrom);
    QFETCH(QByteArray, translationFrom);
    QFETCH(bool, big);
    QTemporaryDir dir;
    const QByteArray templateFile = big ? m_big : m_template;
    QList<QByteArray> plain{command, templateFile};
    if (!translationFrom.isEmpty())
        plain << m_translation;
    const Result expected = Run(plain, m_cache);
    QCOMPARE(expected.status, 0);

    Launch l{.args = {command}, .cache = m_cache};
    std::vector<std::unique_ptr<FifoWriter>> writers;
    const auto source = [&](const QByteArray& from, const QByteArray& file, const char* fifoName) {
        if (from == "file")
            return file;
        if (from == "stdin") {
            l.input = ReadBytes(file);
            return QByteArray("/dev/stdin");
        }
        const QByteArray fifo = QFile::encodeName(dir.filePath(fifoName));
        if (::mkfifo(fifo.constData(), 0600) != 0)
            qFatal("mkfifo %s failed", fifo.constData());
        writers.push_back(std::make_unique<FifoWriter>(fifo, file));
        return fifo;
    };
    l.args << source(templateFrom, templateFile, "template.fifo");
    if (!translationFrom.isEmpty())
        l.args << source(translationFrom, m_translation, "translation.fifo");

    const Result r = Run(l);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, expected.out);
    for (const auto& writer : writers)
        QVERIFY(writer->Finished());
}

// The standard streams named as the output are written as streams: after what an appended log
// holds already, and whole into a pipe. Opened by their names, the log would be replaced and a
// pipe refused.
void TestCliSystem::mergeToStandardStreams_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("toLog"); // standard output appended to a file, else a pipe
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        QTest::addRow("%s, appended to a log", name) << QByteArray(name) << true;
        QTest::addRow("%s, into a pipe", name) << QByteArray(name) << false;
    }
    QTest::newRow("/dev/stderr, into a pipe") << QByteArray("/dev/stderr") << false;
}

void TestCliSystem::mergeToStandardStreams()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, toLog);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.txt"));
    const QByteArray earlier = "an earlier line\n";
    QVERIFY(WriteBytes(QFile::encodeName(log), earlier));
    const QString work = dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work));
    Launch l{.args = {"merge", m_template, m_translation, "-o", output}, .cache = m_cache};
    l.workingDirectory = work;
    if (toLog) {
        l.outputFile = log;
        l.appendOutput = true;
    }
    const Result r = Run(l);
    QCOMPARE(r.status, 0);
    if (output == "/dev/stderr") {
        QCOMPARE(r.err, Merged);
        QCOMPARE(r.out, QByteArray());
    } else {
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(toLog ? ReadBytes(QFile::encodeName(log)) : r.out,
                 toLog ? earlier + Merged : Merged);
    }
    // No file named like the stream was made where the command ran.
    QCOMPARE(RawEntries(QFile::encodeName(work)), QList<QByteArray>());
}

void TestCliSystem::refused_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QByteArray>("err");
    using A = QList<QByteArray>;
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray bom = Path("utf16-bom.php");
    const QByteArray noBom = Path("utf16.php");
    const QByteArray sparse = Path("sparse.php");
    const QByteArray fifo = Path("target.fifo");
    const QByteArray nullDevice = Path("null.device");
    const QByteArray device = ": it is a device, not a file\n";
    const QByteArray wide =
        ": it is encoded in UTF-16LE; save it as UTF-8 or in an 8-bit code page, then open it "
        "again\n";
    const QByteArray tooLarge = ": it is larger than 2 GB, far more than any language file\n";

    QTest::newRow("endless device as template")
        << A{"stats", "/dev/zero"} << "Cannot open file /dev/zero" + device;
    QTest::newRow("endless device as translation")
        << A{"list", m_template, "/dev/zero"} << "Cannot open file /dev/zero" + device;
    QTest::newRow("folder") << A{"stats", folder}
                            << "Cannot open file " + folder + ": it is a folder\n";
    QTest::newRow("UTF-16LE with BOM") << A{"stats", bom} << "Cannot open file " + bom + wide;
    QTest::newRow("UTF-16LE without BOM")
        << A{"stats", noBom} << "Cannot open file " + noBom + wide;
    QTest::newRow("UTF-16LE translation") << A{"merge", m_template, noBom, "-o", Path("never.php")}
                                          << "Cannot open file " + noBom + wide;
    QTest::newRow("parse UTF-16LE") << A{"parse", bom} << "Cannot open file " + bom + wide;
    QTest::newRow("sparse file over 2 GB")
        << A{"stats", sparse} << "Cannot open file " + sparse + tooLarge;
    QTest::newRow("parse sparse file over 2 GB")
        << A{"parse", sparse} << "Cannot open file " + sparse + tooLarge;
    // Opening a FIFO to write would wait for a reader forever; a device would take the file,
    // and replacing it would leave a plain file where the device was. The device is a null
    // device of the test's own, so a fault replaces nothing of the system's.
    QTest::newRow("merge into a FIFO")
        << A{"merge", m_template, "-o", fifo}
        << "Cannot create file " + fifo + ": it is a named pipe (FIFO), not a file\n";
    QTest::newRow("merge into a device")
        << A{"merge", m_template, "-o", nullDevice} << "Cannot create file " + nullDevice + device;
}

void TestCliSystem::refused()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QByteArray, err);
    QByteArray utf16; // little-endian: each ASCII byte followed by a NUL
    for (const char c : QByteArrayView("<?php\r\ndefine(\"_A\",\"b\");\r\n"))
        utf16 += QByteArray(1, c) + '\0';
    QVERIFY(WriteBytes(Path("utf16.php"), utf16));
    QVERIFY(WriteBytes(Path("utf16-bom.php"), "\xFF\xFE" + utf16));
    const QByteArray sparse = Path("sparse.php");
    if (!QFile::exists(QFile::decodeName(sparse))) {
        // Only its length: no disk space is used.
        const int fd = ::open(sparse.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QVERIFY(::ftruncate(fd, (off_t(2) << 30) + 1) == 0);
        ::close(fd);
        QCOMPARE(StatOf(sparse).st_blocks, blkcnt_t(0));
    }
    const QByteArray fifo = Path("target.fifo");
    QVERIFY(QFile::exists(QFile::decodeName(fifo)) || ::mkfifo(fifo.constData(), 0600) == 0);
    const QByteArray nullDevice = Path("null.device");
    if (args.contains(nullDevice) && !QFile::exists(QFile::decodeName(nullDevice)) &&
        ::mknod(nullDevice.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        QSKIP("making a device node needs root");

    // Refused before reading: a command that read 2 GB would run out of this address space
    // and say so instead.
    Launch l{.args = args, .cache = m_cache};
    if (AddressLimitsWork)
        l.addressSpace = rlim_t(1) << 30;
    const Result r = Run(l);
    QCOMPARE(r.err, err);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(m_dir.filePath("never.php")));
    // What was refused is still what it was.
    QCOMPARE(StatOf(sparse).st_size, (off_t(2) << 30) + 1);
    QVERIFY(S_ISFIFO(StatOf(fifo).st_mode));
    if (args.contains(nullDevice))
        QVERIFY(S_ISCHR(StatOf(nullDevice).st_mode));
}

// A command line asks nothing, so a merge that would lose what is on disk is refused, the files
// left as they were, unless --force says to write all the same.
void TestCliSystem::mergeRefused_data()
{
    QTest::addColumn<QByteArray>("translation"); // a name in the test's folder
    QTest::addColumn<QByteArray>("output");      // a name in the test's folder
    QTest::addColumn<QByteArray>("why");         // a part of the message; empty: not refused
    const QByteArray isTemplate = " is the template ";
    QTest::newRow("the template") << QByteArray("translation.php") << QByteArray("template.php")
                                  << isTemplate;
    QTest::newRow("a symbolic link to the template")
        << QByteArray("translation.php") << QByteArray("symlink.php") << isTemplate;
    QTest::newRow("a hard link to the template")
        << QByteArray("translation.php") << QByteArray("hardlink.php") << isTemplate;
    QTest::newRow("the translation a NUL cut short")
        << QByteArray("cut.php") << QByteArray("cut.php")
        << QByteArray(" is the translation read, and a NUL byte on its line 2 cut it short: "
                      "writing the merge over it would lose the 19 bytes");
    QTest::newRow("a read-only file") << QByteArray("translation.php") << QByteArray("readonly.php")
                                      << QByteArray(" is read-only: ");
    // Refused only where something would be lost.
    QTest::newRow("the translation, read whole")
        << QByteArray("translation.php") << QByteArray("translation.php") << QByteArray();
    QTest::newRow("a translation a NUL cut short, written elsewhere")
        << QByteArray("cut.php") << QByteArray("elsewhere.php") << QByteArray();
}

void TestCliSystem::mergeRefused()
{
    QFETCH(QByteArray, translation);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, why);
    QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return QFile::encodeName(dir.filePath(name)); };
    // The bytes after the NUL, its line break included, are what a write over the file drops.
    const QByteArray cut = "<?php\ndefine(\"_ETE\",\"\xE9t\xE9 chaud\");" + QByteArray(1, '\0') +
                           "define(\"_A\",\"b\");\n";
    QVERIFY(WriteBytes(path("template.php"), Template));
    QVERIFY(WriteBytes(path("translation.php"), Translation));
    QVERIFY(WriteBytes(path("cut.php"), cut));
    QVERIFY(WriteBytes(path("readonly.php"), "<?php\n", 0444));
    QVERIFY(WriteBytes(path("elsewhere.php"), "<?php\n"));
    QVERIFY(::symlink("template.php", path("symlink.php").constData()) == 0);
    QVERIFY(::link(path("template.php").constData(), path("hardlink.php").constData()) == 0);
    const QByteArray folder = QFile::encodeName(dir.path());
    QMap<QByteArray, QByteArray> before;
    for (const QByteArray& name : RawEntries(folder))
        before[name] = ReadBytes(folder + '/' + name);

    const QList<QByteArray> args{"merge", path("template.php"), path(translation.constData()), "-o",
                                 path(output.constData())};
    const Result r = Run(args, m_cache);
    if (why.isEmpty()) {
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        return;
    }
    const QByteArray target = path(output.constData());
    QVERIFY2(r.err.startsWith("quillmar-cli: " + target + why), r.err.constData());
    QVERIFY2(r.err.endsWith("quillmar-cli: nothing was written; --force writes " + target +
                            " all the same\n"),
             r.err.constData());
    QCOMPARE(r.status, 1);
    QCOMPARE(RawEntries(folder), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(ReadBytes(folder + '/' + it.key()), it.value());
    QCOMPARE(StatOf(path("readonly.php")).st_mode & 07777, mode_t(0444));

    const Result forced = Run(args + QList<QByteArray>{"--force"}, m_cache);
    QCOMPARE(forced.err, QByteArray());
    QCOMPARE(forced.status, 0);
    const QByteArray written = ReadBytes(target);
    QVERIFY(written != before[output]);
    VerifyPhp(written);
}

void TestCliSystem::outOfMemory_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<double>("share"); // of the huge template's size, beside the start-up allowance
    using A = QList<QByteArray>;
    const QByteArray huge = Path("huge.php");
    const QByteArray out = Path("oom/out.php");
    // Half the template's size: reading the template fails. Twice its size: the template is read
    // and indexed, and the memory runs out on the translation, with a document already built.
    for (const double share : {0.5, 2.0}) {
        const QByteArray when = share < 1 ? ", template" : ", translation";
        QTest::addRow("stats%s", when.constData()) << A{"stats", huge, huge} << share;
        QTest::addRow("list%s", when.constData()) << A{"list", huge, huge} << share;
        QTest::addRow("find%s", when.constData()) << A{"find", huge, huge, "v*w"} << share;
        QTest::addRow("merge%s", when.constData()) << A{"merge", huge, huge, "-o", out} << share;
    }
    QTest::newRow("parse, template") << A{"parse", huge} << 0.5;
}

void TestCliSystem::outOfMemory()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(double, share);
    if (!AddressLimitsWork)
        QSKIP("AddressSanitizer reserves terabytes of address space, so no limit can be set");
    const QByteArray huge = Path("huge.php");
    if (!QFile::exists(QFile::decodeName(huge)))
        QVERIFY(WriteBytes(huge, GeneratedTemplate(1000000, 60)));
    const qint64 size = StatOf(huge).st_size;
    QVERIFY(size > 50 << 20);
    const QByteArray outFolder = Path("oom");
    QVERIFY(QDir().mkpath(QFile::decodeName(outFolder)));

    const rlim_t limit = StartUp + rlim_t(double(size) * share);
    const Result start = Run(Launch{.args = {"--help"}, .cache = m_cache, .addressSpace = limit});
    if (start.status != 0)
        QSKIP(
            qPrintable(QStringLiteral("quillmar-cli does not start in %1 MB of address space here")
                           .arg(limit >> 20)));

    const Result r = Run(Launch{.args = args, .cache = m_cache, .addressSpace = limit});
    QCOMPARE(r.err, QByteArray("Not enough memory to finish the command\n"));
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(RawEntries(outFolder), QList<QByteArray>());
}

void TestCliSystem::otherUser_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileGroup");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QString>("groups"); // setpriv's option for the user's groups
    QTest::addColumn<bool>("cacheWritable");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QByteArray>("errStart"); // empty when the merge succeeds
    const QString none = QStringLiteral("--clear-groups");
    const QString nobody = QStringLiteral("--groups=65534");
    // A new file could not be made in the folder: the file is written where it is.
    QTest::newRow("folder not writable")
        << 0755 << 0 << 0666 << none << true << false << QByteArray();
    // A new file would belong to the writer: written in place, the file keeps its owner.
    QTest::newRow("group-writable file of root")
        << 0777 << int(Nobody) << 0664 << nobody << true << false << QByteArray();
    // Refused as the shell's > refuses it; forced, the write itself fails.
    QTest::newRow("file not writable")
        << 0777 << 0 << 0644 << none << true << false << QByteArray("quillmar-cli: ");
    QTest::newRow("file not writable, forced")
        << 0777 << 0 << 0644 << none << true << true << QByteArray("Cannot create file ");
    QTest::newRow("no room for the safety copy")
        << 0755 << 0 << 0666 << none << false << false << QByteArray("Cannot save ");
}

void TestCliSystem::otherUser()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileGroup);
    QFETCH(int, fileMode);
    QFETCH(QString, groups);
    QFETCH(bool, cacheWritable);
    QFETCH(bool, force);
    QFETCH(QByteArray, errStart);
    if (::geteuid() != 0)
        QSKIP("needs root: the files belong to root, and the command runs as user 65534");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv (util-linux) is needed to run quillmar-cli as another user");

    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray in = base + "/in/";
    const QByteArray work = base + "/work/";
    const QByteArray cache = base + "/cache";
    const QByteArray file = work + "fr.php";
    QVERIFY(::chmod(base.constData(), 0755) == 0);
    QVERIFY(::mkdir(in.constData(), 0755) == 0);
    QVERIFY(::mkdir(work.constData(), 0755) == 0 && ::chmod(work.constData(), folderMode) == 0);
    QVERIFY(::mkdir(cache.constData(), 0755) == 0);
    if (cacheWritable)
        QVERIFY(::chown(cache.constData(), Nobody, Nobody) == 0);
    QVERIFY(WriteBytes(in + "en.php", Template));
    QVERIFY(WriteBytes(file, Translation, mode_t(fileMode)));
    QVERIFY(::chown(file.constData(), 0, gid_t(fileGroup)) == 0);
    const struct stat before = StatOf(file);

    const QStringList asUser{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                             groups};
    const Result canRun = Run(Launch{.args = {}, .cache = cache, .asUser = asUser});
    if (canRun.status != 2) // the usage message: the user may run the program at all
        QSKIP(qPrintable("user 65534 cannot run " + Cli + " here: " + canRun.err));

    QList<QByteArray> args{"merge", in + "en.php", file, "-o", file};
    if (force)
        args << "--force";
    const Result r = Run(Launch{.args = args, .cache = cache, .asUser = asUser});
    QVERIFY2(errStart.isEmpty() ? r.err.isEmpty() : r.err.startsWith(errStart), r.err.constData());
    QCOMPARE(r.status, errStart.isEmpty() ? 0 : 1);
    QCOMPARE(ReadBytes(file), errStart.isEmpty() ? Merged : Translation);
    const struct stat after = StatOf(file);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, uid_t(0));
    QCOMPARE(after.st_gid, gid_t(fileGroup));
    QCOMPARE(after.st_mode & 07777, mode_t(fileMode));
    QCOMPARE(RawEntries(work), QList<QByteArray>{"fr.php"});
    // The safety copy lasts only while the file is being written.
    QCOMPARE(RawEntries(cache + "/Pellovant/Quillmar/safety-copies"), QList<QByteArray>());
    if (errStart.isEmpty())
        VerifyPhp(ReadBytes(file));
}

void TestCliSystem::fullDisk_data()
{
    QTest::addColumn<bool>("inPlace");   // a second name makes the file be written in place
    QTest::addColumn<int>("shortPages"); // of the pages the written file needs
    // The output is whole pages and one byte: the last write gets all but its last byte.
    QTest::newRow("new file, all but the last byte") << false << 1;
    QTest::newRow("new file, half") << false << 8;
    QTest::newRow("in place, all but the last byte") << true << 1;
    QTest::newRow("in place, no room to grow") << true << -1;
}

void TestCliSystem::fullDisk()
{
    QFETCH(bool, inPlace);
    QFETCH(int, shortPages);
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    constexpr int outputPages = 16;

    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray disk = base + "/disk";
    const QByteArray dry = base + "/dry.php";
    const QByteArray tmpl = base + "/en.php";
    QVERIFY(::mkdir(disk.constData(), 0755) == 0);
    const QByteArray size = "size=" + QByteArray::number(4 * outputPages * page);
    if (::mount("tmpfs", disk.constData(), "tmpfs", 0, size.constData()) != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here: ") + qt_error_string(errno)));
    const auto unmount = qScopeGuard([&] { ::umount2(disk.constData(), MNT_DETACH); });

    // The translation gives some phrases new texts; the padding of the template makes the
    // merged output whole pages and one byte, measured on a plain disk first.
    QByteArray translation = "<?php\r\n";
    for (int i = 0; i < 100; ++i)
        translation +=
            "define(\"_P" + QByteArray::number(i) + "\",\"" + QByteArray(60, 'w') + "\");\r\n";
    const QByteArray file = disk + "/fr.php";
    QVERIFY(WriteBytes(file, translation));
    QVERIFY(WriteBytes(tmpl, GeneratedTemplate(600, 80)));
    QCOMPARE(Run({"merge", tmpl, file, "-o", dry}, m_cache).status, 0);
    const qint64 target = outputPages * page + 1;
    const qint64 padding = target - StatOf(dry).st_size;
    QVERIFY(padding >= 0);
    QVERIFY(WriteBytes(tmpl, GeneratedTemplate(600, 80, padding)));
    QCOMPARE(Run({"merge", tmpl, file, "-o", dry}, m_cache).status, 0);
    QCOMPARE(qint64(StatOf(dry).st_size), target);
    VerifyPhp(ReadBytes(dry));
    if (inPlace)
        QVERIFY(::link(file.constData(), (disk + "/fr-link.php").constData()) == 0);

    // Fill the disk, then free whole pages: a new file needs all of its pages; written in
    // place, only those beyond the ones the file has.
    const qint64 needed = outputPages + 1 - (inPlace ? (translation.size() + page - 1) / page : 0);
    const qint64 room = shortPages < 0 ? 0 : needed - shortPages;
    const QByteArray fillerName = disk + "/filler";
    const int filler = ::open(fillerName.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(filler >= 0);
    const QByteArray chunk(page, 'f');
    off_t filled = 0;
    for (ssize_t n; (n = ::write(filler, chunk.constData(), size_t(page))) > 0;)
        filled += n;
    QCOMPARE(errno, ENOSPC);
    QVERIFY(::ftruncate(filler, filled - off_t(room * page)) == 0);
    ::close(filler);
    struct statvfs fs;
    QVERIFY(::statvfs(disk.constData(), &fs) == 0);
    QCOMPARE(qint64(fs.f_bavail) * qint64(fs.f_frsize), room * page);
    const struct stat before = StatOf(file);

    const QByteArray cache = base + "/cache";
    const Result r = Run({"merge", tmpl, file, "-o", file}, cache);
    // The message says the file is intact; why (the system's text) follows in brackets.
    QVERIFY2(r.err.startsWith("Stream write error.\n" + file + " is as it was before the save ("),
             r.err.constData());
    QCOMPARE(r.status, 1);
    QCOMPARE(ReadBytes(file), translation);
    QCOMPARE(StatOf(file).st_ino, before.st_ino);
    QList<QByteArray> names{"filler", "fr.php"};
    if (inPlace)
        names.insert(1, "fr-link.php");
    QCOMPARE(RawEntries(disk), names);
    QCOMPARE(RawEntries(cache + "/Pellovant/Quillmar/safety-copies"), QList<QByteArray>());
}

QTEST_GUILESS_MAIN(TestCliSystem)
#include "tst_cli_system.moc"
