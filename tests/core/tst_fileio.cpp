#include "../support/fixture.h"
#include "../support/resourcelimits.h"
#include "errors.h"
#include "fileio.h"
#include "phrasedocument.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <memory>
#include <new>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString MakeFifo(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("cannot make a FIFO");
    return path;
}

// What a read gave: its bytes, or the message of the error it threw.
struct ReadResult
{
    bool finishedInTime = false;
    bool failed = false;
    QByteArray bytes;
    QString error;
};

// Reads path on a thread of its own and waits at most timeoutMs for it, so a read that blocks
// fails the test instead of hanging it. A read still waiting then is released: the writer is
// ended, and the FIFO is opened for writing and closed again, which ends a wait in open() or
// read() with the end of the stream.
ReadResult TimedRead(const QString& path, const ReadOptions& options, int timeoutMs,
                     QProcess* writer = nullptr)
{
    auto reading = std::async(std::launch::async, [path, options] {
        ReadResult r;
        try {
            r.bytes = ReadFileBytes(path, options);
        } catch (const Exception& e) {
            r.failed = true;
            r.error = e.Message();
        }
        return r;
    });
    const bool inTime =
        reading.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
    if (!inTime && writer)
        writer->kill();
    while (reading.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    ReadResult r = reading.get();
    r.finishedInTime = inTime;
    return r;
}

// Another program writing into a FIFO through a shell; ended and waited for when it goes.
class Writer
{
public:
    Writer(const QString& script, const QStringList& arguments)
    {
        m_process.start("sh", QStringList{"-c", script, "sh"} + arguments);
        if (!m_process.waitForStarted())
            qFatal("cannot start sh");
    }
    ~Writer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QProcess* Process() { return &m_process; }

private:
    QProcess m_process;
};

const QString WideReason =
    "it is encoded in %1; save it as UTF-8 or in an 8-bit code page, then open it again";

// What the user sees of a document: template, translations, states, status line, and the
// merged files it holds. Taken as a whole, so a failed load that changed any of it shows.
struct Snapshot
{
    QByteArray templateLines; // key and original of every phrase, with the line count
    QByteArray translationFile;
    QByteArray states; // one digit per phrase
    QString status;
    bool modified = false;
};

Snapshot SnapshotOf(const PhraseDocument& doc)
{
    Snapshot s;
    s.templateLines = QByteArray::number(doc.TemplateLineCount());
    for (int i = 0; i < doc.PhraseCount(); ++i)
        s.templateLines += '\n' + doc.PhraseKey(i) + '\t' + doc.PhraseOriginal(i);
    s.translationFile = doc.BuildTranslationFile();
    s.states.reserve(doc.PhraseCount());
    for (int i = 0; i < doc.PhraseCount(); ++i)
        s.states += char('0' + int(doc.PhraseState(i)));
    s.status = doc.StatusText();
    s.modified = doc.Modified();
    return s;
}

void CompareSnapshots(const Snapshot& after, const Snapshot& before)
{
    QVERIFY(after.templateLines == before.templateLines);
    QVERIFY(after.translationFile == before.translationFile);
    QVERIFY(after.states == before.states);
    QCOMPARE(after.status, before.status);
    QCOMPARE(after.modified, before.modified);
}

// n define lines with keys _K0, _K1, ... and the given value literal.
QByteArray ManyDefines(int n, const QByteArray& literal)
{
    QByteArray out;
    out.reserve(qsizetype(n) * (18 + literal.size()));
    for (int i = 0; i < n; ++i)
        out += "define(\"_K" + QByteArray::number(i) + "\",\"" + literal + "\");\n";
    return out;
}

} // namespace

class TestFileIo : public QObject
{
    Q_OBJECT
private slots:
    void refusesWhatIsNotAFile_data();
    void refusesWhatIsNotAFile();
    void readsAStreamWhole_data();
    void readsAStreamWhole();
    void stopsAtTheSizeLimit_data();
    void stopsAtTheSizeLimit();
    void wideEncodings_data();
    void wideEncodings();
    void nulCut_data();
    void nulCut();
    void nulCutFollowsTheFile();
    void twoDocumentsOnOneFile();
    void outOfMemoryLeavesDocument_data();
    void outOfMemoryLeavesDocument();
};

void TestFileIo::refusesWhatIsNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("allowStreams");
    QTest::addColumn<QString>("reason");
    // Without a writer a FIFO would hold a blocking open() forever; /dev/zero never ends.
    QTest::newRow("FIFO without a writer")
        << "fifo" << false << "it is a named pipe (FIFO), not a file";
    QTest::newRow("character device") << "device" << false << "it is a device, not a file";
    QTest::newRow("character device, streams allowed")
        << "device" << true << "it is a device, not a file";
    QTest::newRow("folder") << "folder" << false << "it is a folder";
    // open() itself fails on a socket, before the kind of file is looked at.
    QTest::newRow("Unix socket") << "socket" << false << "it is a socket, not a file";
    QTest::newRow("Unix socket, streams allowed")
        << "socket" << true << "it is a socket, not a file";
    // Two links that name each other: no file at the end of them.
    QTest::newRow("loop of symbolic links") << "loop" << false << "it is a loop of symbolic links";
}

void TestFileIo::refusesWhatIsNotAFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, allowStreams);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath(kind);
    if (kind == "fifo") {
        MakeFifo(dir, kind);
    } else if (kind == "device") {
        path = "/dev/zero";
    } else if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(kind));
    } else if (kind == "loop") {
        QVERIFY(QFile::link("loop2", path));
        QVERIFY(QFile::link("loop", dir.filePath("loop2")));
    } else {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    }
    const ReadResult r = TimedRead(path, ReadOptions{.allowStreams = allowStreams}, 5000);
    QVERIFY2(r.finishedInTime, "the read waited instead of refusing");
    QVERIFY(r.failed);
    QCOMPARE(r.error, "Cannot open file " + path + ": " + reason);
}

void TestFileIo::readsAStreamWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("a few lines") << QByteArray("<?php\r\ndefine(\"_A\",\"Salut\");\r\n\xE9t\xE9\n");
    // More than a pipe holds at once, and than the first piece the reader takes.
    QByteArray large;
    for (int i = 0; large.size() < (1 << 20) + 77; ++i)
        large += "define(\"_K" + QByteArray::number(i) + "\",\"v\");\n";
    QTest::newRow("a megabyte and more") << large;
}

void TestFileIo::readsAStreamWhole()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString source = WriteFixture(dir, "source", bytes);
    const QString fifo = MakeFifo(dir, "fifo");
    Writer writer("exec cat \"$1\" > \"$2\"", {source, fifo});
    const ReadResult r =
        TimedRead(fifo, ReadOptions{.allowStreams = true}, 10000, writer.Process());
    QVERIFY(r.finishedInTime);
    QVERIFY2(!r.failed, qPrintable(r.error));
    QVERIFY(r.bytes == bytes);
}

void TestFileIo::stopsAtTheSizeLimit_data()
{
    QTest::addColumn<QString>("source"); // "file" (sparse, of zeros) or "pipe"
    QTest::addColumn<qint64>("size");    // -1: a pipe that never ends
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("limit"); // as the message says it
    constexpr qint64 MB = 1 << 20;
    // A sparse file costs no disk; refusing it must not read two gigabytes first.
    QTest::newRow("file one byte over 2 GB")
        << "file" << MaxFileBytes + 1 << MaxFileBytes << true << "2 GB";
    QTest::newRow("file at the limit") << "file" << 4096LL << 4096LL << false << "";
    QTest::newRow("file one byte over the limit") << "file" << 4097LL << 4096LL << true << "4 kB";
    // A pipe tells no size beforehand: only the bytes read can be counted.
    QTest::newRow("pipe at the limit") << "pipe" << MB << MB << false << "";
    QTest::newRow("pipe one byte over the limit") << "pipe" << MB + 1 << MB << true << "1 MB";
    QTest::newRow("endless pipe") << "pipe" << -1LL << MB << true << "1 MB";
}

void TestFileIo::stopsAtTheSizeLimit()
{
    QFETCH(QString, source);
    QFETCH(qint64, size);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, refused);
    QFETCH(QString, limit);
    QTemporaryDir dir;
    std::unique_ptr<Writer> writer;
    QString path;
    if (source == "file") {
        path = dir.filePath("big.php");
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, off_t(size)), 0);
        ::close(fd);
    } else {
        path = MakeFifo(dir, "fifo");
        if (size < 0)
            writer = std::make_unique<Writer>("exec yes > \"$1\"", QStringList{path});
        else
            writer = std::make_unique<Writer>("exec head -c \"$1\" /dev/zero > \"$2\"",
                                              QStringList{QString::number(size), path});
    }
    QElapsedTimer timer;
    timer.start();
    const ReadResult r =
        TimedRead(path, ReadOptions{.allowStreams = source == "pipe", .maxBytes = maxBytes}, 10000,
                  writer ? writer->Process() : nullptr);
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(r.finishedInTime, "the read did not stop at the limit");
    QCOMPARE(r.failed, refused);
    if (refused) {
        QCOMPARE(r.error, "Cannot open file " + path + ": it is larger than " + limit +
                              ", far more than any language file");
    } else {
        QCOMPARE(r.bytes.size(), size);
    }
    if (size > maxBytes && source == "file") // refused from its size, before any byte is read
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed) + " ms"));
}

void TestFileIo::wideEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding"); // empty: the file is read
    QTest::addColumn<bool>("asTemplate");

    const QString php = QStringLiteral("<?php\r\ndefine(\"_A\",\"Salut\");\r\n"
                                       "define(\"_B\",\"Привет, мир\");\r\n");
    using C = QStringConverter;
    const std::pair<const char*, C::Encoding> wide[] = {{"UTF-16LE", C::Utf16LE},
                                                        {"UTF-16BE", C::Utf16BE},
                                                        {"UTF-32LE", C::Utf32LE},
                                                        {"UTF-32BE", C::Utf32BE}};
    struct Case
    {
        QByteArray name;
        QByteArray bytes;
        QString encoding;
    };
    QList<Case> cases;
    for (const auto& [name, encoding] : wide) {
        QStringEncoder withMark(encoding, C::Flag::WriteBom);
        QStringEncoder bare(encoding);
        cases.append({QByteArray(name) + " with a byte order mark", withMark(php), name});
        // Without a mark, the NULs beside the ASCII letters give the encoding away.
        cases.append({QByteArray(name) + " without one", bare(php), name});
    }
    const QByteArray utf8 = php.toUtf8();
    cases.append({"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + utf8, {}});
    cases.append({"UTF-8", utf8, {}});
    cases.append({"windows-1251",
                  "<?php\r\ndefine(\"_B\",\"\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0\");\r\n",
                  {}});
    cases.append({"one NUL in the middle",
                  QByteArray("define(\"_A\",\"Salut\");\r\n\0define(\"_B\",\"Monde\");\r\n", 47),
                  {}});
    cases.append({"empty file", QByteArray(), {}});
    cases.append({"one byte, the first of a byte order mark", QByteArray("\xFF"), {}});
    for (const Case& c : cases) {
        QTest::addRow("%s, template", c.name.constData()) << c.bytes << c.encoding << true;
        QTest::addRow("%s, translation", c.name.constData()) << c.bytes << c.encoding << false;
    }
}

void TestFileIo::wideEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(bool, asTemplate);
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplate(WriteFixture(dir, "en.php",
                                  "<?php\r\ndefine(\"_A\",\"Hello\");\r\n"
                                  "define(\"_B\",\"Hello, world\");\r\n"));
    doc.LoadTranslation(WriteFixture(dir, "fr.php", "define(\"_A\",\"Bonjour\");\r\n"));
    const Snapshot before = SnapshotOf(doc);
    const QString path = WriteFixture(dir, "other.php", bytes);
    try {
        if (asTemplate)
            doc.LoadTemplate(path);
        else
            doc.LoadTranslation(path);
        QVERIFY2(encoding.isEmpty(), "a wide encoding was read");
    } catch (const EFOpenError& e) {
        QVERIFY2(!encoding.isEmpty(), qPrintable(e.Message()));
        QCOMPARE(e.Message(), "Cannot open file " + path + ": " + WideReason.arg(encoding));
        CompareSnapshots(SnapshotOf(doc), before);
        return;
    }
    // Read as bytes, whatever they are: the same bytes read as a template give the same phrases.
    PhraseDocument same;
    same.LoadTemplateData(bytes);
    if (asTemplate)
        QVERIFY(doc.BuildTranslationFile() == same.BuildTranslationFile());
    for (int i = 0; i < same.PhraseCount(); ++i) {
        const std::optional<int> p = doc.FindKey(same.PhraseKey(i));
        QVERIFY(p.has_value());
        QVERIFY((asTemplate ? doc.PhraseOriginal(*p) : doc.PhraseTranslation(*p)) ==
                same.PhraseOriginal(i));
    }
}

void TestFileIo::nulCut_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line"); // -1: no cut
    const QByteArray first = "define(\"_A\",\"a\");\r\n";
    QTest::newRow("inside the second line")
        << first + QByteArray("define(\"_B\",\"b\0lost\");\r\ntail\r\n", 30) << 1;
    QTest::newRow("at the start of the second line") << first + QByteArray("\0tail\r\n", 7) << 1;
    QTest::newRow("after a CR alone") << QByteArray("define(\"_A\",\"a\");\r\0tail", 23) << 1;
    QTest::newRow("first byte") << QByteArray("\0define(\"_A\",\"a\");\r\n", 21) << 0;
    QTest::newRow("last byte of the file") << first + QByteArray("\0", 1) << 1;
    QTest::newRow("no NUL") << first + "define(\"_B\",\"b\");\r\n" << -1;
}

void TestFileIo::nulCut()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData("define(\"_A\",\"A\");\r\ndefine(\"_B\",\"B\");\r\n");
    doc.LoadTranslation(WriteFixture(dir, "fr.php", bytes));
    const std::optional<NulCut> cut = doc.TranslationNulCut();
    if (line < 0) {
        QVERIFY(!cut);
        return;
    }
    QVERIFY(cut);
    QCOMPARE(cut->line, line);
    QCOMPARE(cut->bytesAfter, bytes.size() - bytes.indexOf('\0'));
}

// The cut belongs to the file that was read: a save writes the file without it, and under
// another name it is no longer that file.
void TestFileIo::nulCutFollowsTheFile()
{
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData("define(\"_A\",\"A\");\r\n");
    const QString path =
        WriteFixture(dir, "fr.php", QByteArray("define(\"_A\",\"a\");\r\n\0x", 21));
    doc.LoadTranslation(path);
    QVERIFY(doc.TranslationNulCut());
    doc.SetTranslationFileName(dir.filePath("other.php"));
    QVERIFY(!doc.TranslationNulCut());
    doc.SetTranslationFileName(path);
    QVERIFY(doc.TranslationNulCut());
    doc.SaveTranslation();
    QVERIFY(!doc.TranslationNulCut());
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("define(\"_A\",\"a\");\r\n"));
}

void TestFileIo::twoDocumentsOnOneFile()
{
    QTemporaryDir dir;
    const QString templ =
        WriteFixture(dir, "en.php", "define(\"_A\",\"One\");\r\ndefine(\"_B\",\"Two\");\r\n");
    const QString path = WriteFixture(dir, "fr.php", "define(\"_A\",\"Un\");\r\n");
    PhraseDocument a, b;
    for (PhraseDocument* doc : {&a, &b}) {
        doc->LoadTemplate(templ);
        doc->LoadTranslation(path);
    }
    // Named, and there on disk, but never read or written by this document.
    PhraseDocument named;
    named.SetTranslationFileName(path);
    QCOMPARE(named.TranslationDiskState(), DiskState::Unknown);
    QCOMPARE(a.TranslationDiskState(), DiskState::Unchanged);

    QVERIFY(b.CommitTranslation(1, "Deux"));
    b.SaveTranslation();
    QCOMPARE(a.TranslationDiskState(), DiskState::Changed);
    QCOMPARE(b.TranslationDiskState(), DiskState::Unchanged);

    // Another program writes as many bytes over the file in place: the same file, of the same
    // size; only its modification time tells. That time is set apart explicitly, since a write
    // within the file system's clock tick would otherwise keep it.
    const FileStamp saved = *b.TranslationStamp();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    const QByteArray other(int(saved.size), 'x');
    QCOMPARE(::pwrite(fd, other.constData(), size_t(other.size()), 0), ssize_t(other.size()));
    ::close(fd);
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(saved.modifiedNs / 1000000000 - 60), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    const FileStamp rewritten = StampOf(FilePath::FromText(path));
    QVERIFY(rewritten.SameFile(saved));
    QCOMPARE(rewritten.size, saved.size);
    QCOMPARE(b.TranslationDiskState(), DiskState::Changed);

    QVERIFY(QFile::remove(path));
    QCOMPARE(a.TranslationDiskState(), DiskState::Deleted);
    a.SaveTranslation();
    QCOMPARE(a.TranslationDiskState(), DiskState::Unchanged);
}

void TestFileIo::outOfMemoryLeavesDocument_data()
{
    QTest::addColumn<bool>("loadTemplate"); // else merge a translation
    // The lists and key index of two million phrases are built beside the document's own.
    QTest::newRow("template") << true;
    // Every value holds an escaped quote, so each becomes a text of its own as it is merged:
    // memory runs out part-way through the lines, not before the first.
    QTest::newRow("translation") << false;
}

void TestFileIo::outOfMemoryLeavesDocument()
{
    QFETCH(bool, loadTemplate);
    if (!AddressLimitsWork)
        QSKIP("AddressSanitizer reserves terabytes of address space and ends the program when an "
              "allocation fails, so a lowered address-space limit cannot make operator new throw");
    constexpr int Phrases = 1 << 20;
    PhraseDocument doc;
    QByteArray big;
    if (loadTemplate) {
        doc.LoadTemplateData(
            "define(\"_A\",\"A\");\ndefine(\"_B\",\"B\");\ndefine(\"_C\",\"C\");\n");
        doc.MergeTranslationData("define(\"_A\",\"A\");\ndefine(\"_B\",\"Bee\");\n");
        QVERIFY(doc.CommitTranslation(2, "Sea"));
        big = ManyDefines(2 * Phrases, "v");
    } else {
        doc.LoadTemplateData(ManyDefines(Phrases, "v"));
        doc.MergeTranslationData("define(\"_K0\",\"v\");\ndefine(\"_K1\",\"w\");\n");
        QVERIFY(doc.CommitTranslation(2, "typed"));
        big = ManyDefines(Phrases, "a\\\"b");
    }
    const Snapshot before = SnapshotOf(doc);
    QSignalSpy reset(&doc, &PhraseDocument::AboutToReset);
    QSignalSpy merged(&doc, &PhraseDocument::TranslationsMerged);
    bool threw = false;
    {
        // Room for the copies a merge starts from (16 MB for a million phrases), but not for
        // the lists and texts of a million phrases (32 MB for a load).
        MemoryLimit limit(loadTemplate ? 32 << 20 : 16 << 20);
        try {
            if (loadTemplate)
                doc.LoadTemplateData(big);
            else
                doc.MergeTranslationData(big);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
    }
    QVERIFY2(threw, "the load did not run out of memory");
    QCOMPARE(reset.count(), 0);
    QCOMPARE(merged.count(), 0);
    CompareSnapshots(SnapshotOf(doc), before);
    // And the document goes on working: the same load succeeds with memory to spare.
    if (loadTemplate)
        doc.LoadTemplateData(big);
    else
        doc.MergeTranslationData(big);
    QCOMPARE(doc.PhraseTranslation(1), loadTemplate ? QByteArray("v") : QByteArray("a\"b"));
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
