#include "../support/fixture.h"
#include "../support/resourcelimits.h"
#include "errors.h"
#include "fileio.h"
#include "phrasedocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct stat Stat(const QString& path)
{
    struct stat st
    {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A small tmpfs of its own, so a test can fill a real file system. Needs the right to mount
// (root); where it is missing the test says so and skips.
class TinyFileSystem
{
public:
    explicit TinyFileSystem(const QString& folder, int kilobytes) : m_folder(folder)
    {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                            MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }

    // Fills every free block with a file of its own, then frees pages of it again.
    void Fill(int pagesLeftFree)
    {
        const QByteArray name = QFile::encodeName(m_folder + "/filler");
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        const QByteArray page(4096, 'f');
        off_t size = 0;
        for (;;) {
            const ssize_t n = ::write(fd, page.constData(), size_t(page.size()));
            if (n <= 0)
                break;
            size += n;
        }
        QVERIFY(size >= pagesLeftFree * 4096);
        QCOMPARE(::ftruncate(fd, size - off_t(pagesLeftFree) * 4096), 0);
        ::close(fd);
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                               QDir::System);
}

const QByteArray Old = "define(\"_A\",\"Ancien\");\r\n";
const QByteArray TranslatedLine = "define(\"_A\",\"Nouveau\");\r\n";

// A template whose translation file, phrase 0 translated as "Nouveau", is exactly size bytes:
// the phrase line, then lines of filler that are copied as they are.
QByteArray TemplateWithOutputOf(qsizetype size)
{
    QByteArray t = "define(\"_A\",\"A\");\n";
    qsizetype left = size - TranslatedLine.size();
    while (left > 0) {
        const qsizetype length = left - 2 >= 83 ? 80 : left - 2; // never leave one byte over
        t += QByteArray(length, 'x') + '\n';
        left -= length + 2;
    }
    return t;
}

// A document to save over path: one phrase translated since it was opened.
void PrepareDocument(PhraseDocument& doc, const QString& path, const QByteArray& templ)
{
    doc.LoadTemplateData(templ);
    doc.SetTranslationFileName(path);
    QVERIFY(doc.CommitTranslation(0, "Nouveau"));
}

// Saves and expects the write to fail with the file, the folder and the document unchanged.
void ExpectFailedSave(PhraseDocument& doc, const QString& path, const QByteArray& old)
{
    const QStringList before = Entries(QFileInfo(path).path());
    try {
        doc.SaveTranslation();
        QFAIL("the save reported success");
    } catch (const EWriteError& e) {
        // What failed, where, and that the file is untouched, with the system's reason.
        const QString said = "Stream write error.\n" + path + " is as it was before the save (";
        QVERIFY2(e.Message().startsWith(said) && e.Message().endsWith(')'),
                 qPrintable(e.Message()));
    }
    QCOMPARE(ReadAll(path), old);
    QVERIFY(doc.Modified());
    QCOMPARE(Entries(QFileInfo(path).path()), before); // no temporary file left behind
}

} // namespace

class TestSaveFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void lastByteFails_data();
    void lastByteFails();
    void fullFileSystem_data();
    void fullFileSystem();
    void cannotCreate_data();
    void cannotCreate();
    void specialTargetsAreRefused_data();
    void specialTargetsAreRefused();
    void keepsPermissions();
    void keepsWhatTheFileWas_data();
    void keepsWhatTheFileWas();
    void symlinkTargetReplaced();
    void danglingSymlinkCreatesItsTarget();
    void savedStampIsTheFileOnDisk();

private:
    QTemporaryDir m_cache;
};

void TestSaveFile::initTestCase()
{
    // Safety copies of files saved in place go to a cache folder of the test's own.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
}

void TestSaveFile::lastByteFails_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("inPlace");
    // Sizes around the pieces output is handed on in (a megabyte) and the buffer of a file
    // object (16 KB), where a last piece that fails was once taken for success.
    const std::pair<const char*, qsizetype> sizes[] = {{"small file", 300},
                                                       {"16 KB", 16384},
                                                       {"one megabyte", 1 << 20},
                                                       {"a few megabytes", 3 * (1 << 20) + 77}};
    for (const auto& [name, size] : sizes) {
        QTest::addRow("%s, replaced", name) << size << false;
        QTest::addRow("%s, written in place", name) << size << true;
    }
}

void TestSaveFile::lastByteFails()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, inPlace);
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "fr.php", Old);
    if (inPlace) // a second name for the file: replacing it would cut that name off
        QCOMPARE(::link(QFile::encodeName(path).constData(),
                        QFile::encodeName(dir.filePath("fr-link.php")).constData()),
                 0);

    PhraseDocument doc;
    PrepareDocument(doc, path, TemplateWithOutputOf(size));
    const QByteArray expected = doc.BuildTranslationFile();
    QCOMPARE(expected.size(), size);
    {
        FileSizeLimit limit(rlim_t(size - 1)); // every byte but the last fits
        ExpectFailedSave(doc, path, Old);
    }
    QCOMPARE(Entries(m_cache.path() + "/safety-copies").size(), 0);
    {
        FileSizeLimit limit{rlim_t(size)}; // and with room for the last byte it all goes through
        doc.SaveTranslation();
    }
    QCOMPARE(ReadAll(path), expected);
    QVERIFY(!doc.Modified());
    if (inPlace)
        QCOMPARE(ReadAll(dir.filePath("fr-link.php")), expected);
}

void TestSaveFile::fullFileSystem_data()
{
    QTest::addColumn<int>("pagesFree");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("exists");
    // The translation takes four pages of 4 KB; three free pages fail it at its last byte.
    QTest::newRow("no room, replaced") << 0 << false << true;
    QTest::newRow("room for all but the last byte, replaced") << 3 << false << true;
    QTest::newRow("room for all but the last byte, in place") << 3 << true << true;
    QTest::newRow("room for all but the last byte, new file") << 3 << false << false;
}

void TestSaveFile::fullFileSystem()
{
    QFETCH(int, pagesFree);
    QFETCH(bool, inPlace);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    TinyFileSystem disk(dir.path(), 256);
    if (!disk.Mounted())
        QSKIP(
            "cannot mount a tmpfs here (needs root); the file-size limit rows cover the last byte");
    const QString path = dir.filePath("fr.php");
    if (exists)
        WriteFixture(dir, "fr.php", Old);
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(path).constData(),
                        QFile::encodeName(dir.filePath("fr-link.php")).constData()),
                 0);
    PhraseDocument doc;
    PrepareDocument(doc, path, TemplateWithOutputOf(4 * 4096 - 10 + Old.size()));
    disk.Fill(pagesFree);
    if (exists) {
        ExpectFailedSave(doc, path, Old);
    } else {
        QVERIFY_THROWS_EXCEPTION(EWriteError, doc.SaveTranslation());
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(Entries(dir.path()), QStringList{"filler"});
    }
    QCOMPARE(Entries(m_cache.path() + "/safety-copies").size(), 0);
}

void TestSaveFile::cannotCreate_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << "missing/fr.php";
    QTest::newRow("parent is a file") << "plain/fr.php";
    QTest::newRow("target is a folder") << "folder";
}

void TestSaveFile::cannotCreate()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    WriteFixture(dir, "plain", "x");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(relative);
    try {
        WriteFileSafely(FilePath::FromText(path), "data");
        QFAIL("no error");
    } catch (const EFCreateError& e) {
        QVERIFY2(e.Message().startsWith("Cannot create file " + path), qPrintable(e.Message()));
    }
    QCOMPARE(ReadAll(dir.filePath("plain")), QByteArray("x"));
    QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
}

void TestSaveFile::specialTargetsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "it is a named pipe (FIFO), not a file";
    QTest::newRow("socket") << "socket"
                            << "it is a socket, not a file";
    QTest::newRow("character device") << "device"
                                      << "it is a device, not a file";
    QTest::newRow("link to a FIFO") << "link"
                                    << "it is a named pipe (FIFO), not a file";
}

void TestSaveFile::specialTargetsAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("target");
    const QByteArray name = QFile::encodeName(path);
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(name.constData(), 0644), 0);
    } else if (kind == "link") {
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0644), 0);
        QVERIFY(QFile::link(dir.filePath("fifo"), path));
    } else if (kind == "socket") {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, name.constData(), sizeof address.sun_path);
        QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    } else if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        // A node like /dev/null of the test's own; only root may make one.
        QSKIP("cannot make a device node here (needs root)");
    }
    const QByteArray target = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    struct stat before
    {
    };
    QCOMPARE(::lstat(target.constData(), &before), 0);
    const QStringList entries = Entries(dir.path());

    PhraseDocument doc;
    PrepareDocument(doc, path, "define(\"_A\",\"A\");\n");
    try {
        doc.SaveTranslation();
        QFAIL("the save reported success");
    } catch (const EFCreateError& e) {
        QCOMPARE(e.Message(), "Cannot create file " + path + ": " + reason);
    }
    struct stat after
    {
    };
    QCOMPARE(::lstat(target.constData(), &after), 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_rdev, before.st_rdev);
    QCOMPARE(Entries(dir.path()), entries);
    QVERIFY(doc.Modified());
}

void TestSaveFile::keepsPermissions()
{
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "fr.php", "old");
    const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, perms));
    WriteFileSafely(FilePath::FromText(path), "new");
    QCOMPARE(ReadAll(path), QByteArray("new"));
    const auto ownerGroupOther =
        QFileDevice::Permissions(0x7077); // leave out the "user" alias bits
    QCOMPARE(QFile::permissions(path) & ownerGroupOther, perms);
}

void TestSaveFile::keepsWhatTheFileWas_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("hard link") << "link";
    QTest::newRow("set-user-id and set-group-id bits") << "setid";
    QTest::newRow("owner and group of another user") << "owner";
}

void TestSaveFile::keepsWhatTheFileWas()
{
    QFETCH(QString, change);
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "fr.php", "old");
    const QByteArray name = QFile::encodeName(path);
    if (change == "link") {
        QCOMPARE(::link(name.constData(), QFile::encodeName(dir.filePath("other.php")).constData()),
                 0);
    } else if (change == "setid") {
        QCOMPARE(::chmod(name.constData(), 06755), 0);
    } else if (::chown(name.constData(), 65534, 65534) != 0) {
        QSKIP("cannot give a file to another user here (needs root)");
    }
    const struct stat before = Stat(path);

    WriteFileSafely(FilePath::FromText(path), "new");
    QCOMPARE(ReadAll(path), QByteArray("new"));
    const struct stat after = Stat(path);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (change == "link") {
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(ReadAll(dir.filePath("other.php")), QByteArray("new"));
    }
    QCOMPARE(Entries(m_cache.path() + "/safety-copies").size(), 0);
}

void TestSaveFile::symlinkTargetReplaced()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString target = WriteFixture(dir, "real/fr.php", "old");
    const QString link = dir.filePath("fr.php");
    QVERIFY(QFile::link("real/fr.php", link)); // relative, as links usually are
    WriteFileSafely(FilePath::FromText(link), "new");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadAll(target), QByteArray("new"));
    QCOMPARE(Entries(dir.filePath("real")), QStringList{"fr.php"});
}

void TestSaveFile::danglingSymlinkCreatesItsTarget()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("fr.php");
    QVERIFY(QFile::link(dir.filePath("made.php"), link));
    WriteFileSafely(FilePath::FromText(link), "new");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadAll(dir.filePath("made.php")), QByteArray("new"));
}

void TestSaveFile::savedStampIsTheFileOnDisk()
{
    QTemporaryDir dir;
    const FilePath path = FilePath::FromText(dir.filePath("fr.php"));
    const FileStamp written = WriteFileSafely(path, "new");
    QCOMPARE(StampOf(path), written);
    QCOMPARE(written.size, 3);
    // Written in place, the file keeps its identity; the stamp follows its new contents.
    QCOMPARE(
        ::link(path.Native().constData(), QFile::encodeName(dir.filePath("b.php")).constData()), 0);
    const FileStamp again = WriteFileSafely(path, "newer");
    QVERIFY(again.SameFile(written));
    QCOMPARE(StampOf(path), again);
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
