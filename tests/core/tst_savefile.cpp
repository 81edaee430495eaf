#include "../support/fixture.h"
#include "../support/heldlock.h"
#include "../support/resourcelimits.h"
#include "errors.h"
#include "fileio.h"
#include "phrasedocument.h"
#include "saveleftovers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
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
    explicit TinyFileSystem(const QString& folder, int kilobytes)
        : TinyFileSystem(folder, "size=" + QByteArray::number(kilobytes) + "k")
    {
    }
    TinyFileSystem(const QString& folder, const QByteArray& options) : m_folder(folder)
    {
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                            MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    bool MakeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(m_folder).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }

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
    // CR LF line ends, which the written file keeps: each line's size is known.
    QByteArray t = "define(\"_A\",\"A\");\r\n";
    qsizetype left = size - TranslatedLine.size();
    while (left > 0) {
        const qsizetype length = left - 2 >= 83 ? 80 : left - 2; // never leave one byte over
        t += QByteArray(length, 'x') + "\r\n";
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

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

bool Exists(const QString& path)
{
    struct stat st;
    return ::lstat(Native(path).constData(), &st) == 0;
}

// What the test hands the file system's tools (setfacl, getfacl, setfattr, getfattr).
struct ToolRun
{
    bool started = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun RunTool(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    ToolRun r;
    r.started = p.waitForStarted();
    if (r.started && p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Sets or clears the immutable flag (chattr +i); false where the file system has no such flag.
bool SetImmutable(const QString& path, bool on)
{
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    return done;
}

const QString SavedByAnother =
    "Cannot save %1: it is being saved by another program; try again when that save is done";

// A safety copy as a save that was killed leaves it in the safety-copy folder, and its record
// naming the file it was taken of (none when target is empty).
QString MakeSafetyCopy(const QString& name, const QByteArray& bytes, const QString& target)
{
    const QString copy = SafetyCopyFolder() + '/' + name;
    QFile f(copy);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(copy));
    if (!target.isEmpty()) {
        QFile record(copy + ".target");
        if (!record.open(QIODevice::WriteOnly) || record.write(Native(target)) < 0)
            qFatal("cannot write the record of %s", qPrintable(copy));
    }
    return copy;
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
    void stampSeesEveryChange_data();
    void stampSeesEveryChange();
    void keepsAccessControl_data();
    void keepsAccessControl();
    void savesWaitForEachOther_data();
    void savesWaitForEachOther();
    void whatASaveHoldsWhileItRuns_data();
    void whatASaveHoldsWhileItRuns();
    void staleTemporaries();
    void orphanedSafetyCopies();
    void failuresSayWhy_data();
    void failuresSayWhy();

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
    QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
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
    QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
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
    QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
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

void TestSaveFile::stampSeesEveryChange_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("new file") << false << false;
    QTest::newRow("replaced") << true << false;
    QTest::newRow("written in place") << true << true;
}

// A save's stamp is the file as the save left it: the rename and the mode put back after the
// write change the file's change time, so a stamp taken before them would make the document
// take its own save for another program's. Another program that writes as many bytes and sets
// the modification time back is still seen.
void TestSaveFile::stampSeesEveryChange()
{
    QFETCH(bool, exists);
    QFETCH(bool, inPlace);
    QTemporaryDir dir;
    const QString path = dir.filePath("fr.php");
    if (exists)
        WriteFixture(dir, "fr.php", "old");
    if (inPlace)
        QCOMPARE(::link(Native(path).constData(), Native(dir.filePath("b.php")).constData()), 0);
    const FilePath file = FilePath::FromText(path);
    const FileStamp saved = WriteFileSafely(file, "new contents");
    QCOMPARE(StampOf(file), saved);

    // Past the tick of the clock the file system stamps files with.
    QThread::msleep(30);
    const int fd = ::open(Native(path).constData(), O_WRONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::pwrite(fd, "NEW CONTENTS", 12, 0), ssize_t(12));
    ::close(fd);
    const timespec times[2] = {
        {0, UTIME_OMIT}, {time_t(saved.modifiedNs / 1000000000), saved.modifiedNs % 1000000000}};
    QCOMPARE(::utimensat(AT_FDCWD, Native(path).constData(), times, 0), 0);
    const FileStamp rewritten = StampOf(file);
    QVERIFY(rewritten.SameFile(saved));
    QCOMPARE(rewritten.size, saved.size);
    QCOMPARE(rewritten.modifiedNs, saved.modifiedNs);
    QVERIFY(rewritten != saved);
}

void TestSaveFile::keepsAccessControl_data()
{
    QTest::addColumn<QString>("entries");       // setfacl -m on the file
    QTest::addColumn<QString>("folderDefault"); // setfacl -d -m on its folder, before it is made
    QTest::addColumn<bool>("trimmed");          // setfacl -b on the file once made
    QTest::addColumn<QByteArray>("note");       // setfattr -n user.note
    // Write for one other user and read for a group: the mode's group bits are the list's
    // mask, rw, while the owning group itself may only read.
    QTest::newRow("named user and group") << "u:nobody:rw,g:nogroup:r"
                                          << "" << false << QByteArray();
    QTest::newRow("user attribute") << ""
                                    << "" << false << QByteArray("x");
    QTest::newRow("both") << "u:nobody:rw"
                          << "" << false << QByteArray("\xE9t\xE9");
    // A new file in the folder starts with the folder's default list; the file had it taken off.
    QTest::newRow("no list, in a folder with a default list")
        << ""
        << "u:nobody:rw" << true << QByteArray();
}

void TestSaveFile::keepsAccessControl()
{
    QFETCH(QString, entries);
    QFETCH(QString, folderDefault);
    QFETCH(bool, trimmed);
    QFETCH(QByteArray, note);
    QTemporaryDir dir;
    const QString folder = dir.filePath("work");
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + "/fr.php";
    const auto tool = [](const QString& program, const QStringList& arguments) {
        const ToolRun r = RunTool(program, arguments);
        if (!r.started)
            qFatal("%s is missing: install acl and attr (tools/dev.sh test does)",
                   qPrintable(program));
        return r;
    };
    const auto refused = [](const ToolRun& r) { return r.err.contains("not supported"); };
    if (!folderDefault.isEmpty()) {
        const ToolRun r = tool("setfacl", {"-d", "-m", folderDefault, folder});
        if (refused(r))
            QSKIP("the file system here keeps no access control lists");
        QVERIFY2(r.status == 0, r.err.constData());
    }
    QFile made(path);
    QVERIFY(made.open(QIODevice::WriteOnly) && made.write("old") == 3);
    made.close();
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther));
    if (!entries.isEmpty()) {
        const ToolRun r = tool("setfacl", {"-m", entries, path});
        if (refused(r))
            QSKIP("the file system here keeps no access control lists");
        QVERIFY2(r.status == 0, r.err.constData());
    }
    if (trimmed)
        QCOMPARE(tool("setfacl", {"-b", path}).status, 0);
    if (!note.isEmpty()) {
        const ToolRun r =
            tool("setfattr", {"-n", "user.note", "-v", QString::fromLatin1(note), path});
        if (refused(r))
            QSKIP("the file system here keeps no user attributes");
        QVERIFY2(r.status == 0, r.err.constData());
    }
    const auto acl = [&] { return tool("getfacl", {"-p", path}).out; };
    const auto attributes = [&] { return tool("getfattr", {"-d", "--absolute-names", path}).out; };
    const QByteArray aclBefore = acl();
    const QByteArray attributesBefore = attributes();
    QVERIFY2(aclBefore.contains("nobody") == !entries.isEmpty(), aclBefore.constData());
    const struct stat before = Stat(path);

    WriteFileSafely(FilePath::FromText(path), "new");
    QCOMPARE(ReadAll(path), QByteArray("new"));
    const struct stat after = Stat(path);
    QVERIFY2(after.st_ino != before.st_ino, "written in place: the list was not copied");
    QCOMPARE(acl(), aclBefore);
    QCOMPARE(attributes(), attributesBefore);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(Entries(folder), QStringList{"fr.php"});
}

void TestSaveFile::savesWaitForEachOther_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<int>("releaseMs"); // when the other save ends; -1: not within the wait
    QTest::addColumn<bool>("replaces"); // the other save replaced the file with a new one
    QTest::newRow("replaced, the other save goes on") << false << -1 << false;
    QTest::newRow("in place, the other save goes on") << true << -1 << false;
    QTest::newRow("replaced, the other save ends") << false << 150 << false;
    QTest::newRow("in place, the other save ends") << true << 150 << false;
    // The lock this save waited for belongs to the file that is no longer there.
    QTest::newRow("in place, the other save put a new file there") << true << 150 << true;
}

void TestSaveFile::savesWaitForEachOther()
{
    QFETCH(bool, inPlace);
    QFETCH(int, releaseMs);
    QFETCH(bool, replaces);
    constexpr int WaitMs = 400;
    SetSaveLockWait(std::chrono::milliseconds(releaseMs < 0 ? WaitMs : 5000));
    const auto restore = qScopeGuard([] { SetSaveLockWait(std::chrono::seconds(5)); });
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "fr.php", "old");
    const QString link = dir.filePath("link.php");
    if (inPlace)
        QCOMPARE(::link(Native(path).constData(), Native(link).constData()), 0);
    const QString fresh = WriteFixture(dir, "fresh.php", "theirs");
    const QStringList entries = Entries(dir.path());

    HeldLock other(Native(path));
    QVERIFY(other.Locked());
    std::thread ending;
    if (releaseMs >= 0)
        ending = std::thread([&] {
            QThread::msleep(ulong(releaseMs));
            if (replaces)
                ::rename(Native(fresh).constData(), Native(path).constData());
            other.Release();
        });
    const auto join = qScopeGuard([&] {
        if (ending.joinable())
            ending.join();
    });
    QElapsedTimer timer;
    timer.start();
    try {
        WriteFileSafely(FilePath::FromText(path), "mine");
        QVERIFY2(releaseMs >= 0, "saved while another save held the file");
    } catch (const Exception& e) {
        QVERIFY2(releaseMs < 0, qPrintable(e.Message()));
        QCOMPARE(e.Message(), SavedByAnother.arg(path));
        QVERIFY2(timer.elapsed() >= WaitMs, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(ReadAll(path), QByteArray("old"));
        QCOMPARE(Entries(dir.path()), entries);
        QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
        return;
    }
    QVERIFY(timer.elapsed() >= releaseMs);
    QCOMPARE(ReadAll(path), QByteArray("mine"));
    if (inPlace) // the other name keeps what the file under it holds
        QCOMPARE(ReadAll(link), replaces ? QByteArray("old") : QByteArray("mine"));
    QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
}

void TestSaveFile::whatASaveHoldsWhileItRuns_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("replaced") << false;
    QTest::newRow("written in place") << true;
}

// Halfway through a save, what it keeps on disk is recognisably its own and locked: the
// temporary beside the file, or the safety copy with the record of the file it belongs to.
// The clean-up of killed saves leaves them alone, and another save of the file waits.
void TestSaveFile::whatASaveHoldsWhileItRuns()
{
    QFETCH(bool, inPlace);
    SetSaveLockWait(std::chrono::milliseconds(100));
    const auto restore = qScopeGuard([] { SetSaveLockWait(std::chrono::seconds(5)); });
    QTemporaryDir dir;
    const QString path = WriteFixture(dir, "fr.php", "old contents");
    if (inPlace)
        QCOMPARE(::link(Native(path).constData(), Native(dir.filePath("b.php")).constData()), 0);
    bool halfway = false;
    WriteFileSafely(FilePath::FromText(path), [&](const auto& sink) {
        sink("new ");
        QString held;
        if (inPlace) {
            const QStringList copies = Entries(SafetyCopyFolder());
            QCOMPARE(copies.size(), 2);
            QVERIFY2(copies[1] == copies[0] + ".target", qPrintable(copies.join(' ')));
            QVERIFY2(QRegularExpression("^fr\\.php\\.\\d{8}-\\d{6}\\.quillmar-[A-Za-z0-9]{6}$")
                         .match(copies[0])
                         .hasMatch(),
                     qPrintable(copies[0]));
            held = SafetyCopyFolder() + '/' + copies[0];
            QCOMPARE(ReadAll(held), QByteArray("old contents"));
            QCOMPARE(ReadAll(held + ".target"), Native(path));
            QVERIFY(FindOrphanedSafetyCopies().empty());
            QVERIFY(Exists(held));
        } else {
            const QStringList temporaries = Entries(dir.path()).filter(".fr.php.");
            QCOMPARE(temporaries.size(), 1);
            QVERIFY2(QRegularExpression("^\\.fr\\.php\\.quillmar-[A-Za-z0-9]{6}$")
                         .match(temporaries[0])
                         .hasMatch(),
                     qPrintable(temporaries[0]));
            held = dir.filePath(temporaries[0]);
        }
        QVERIFY2(!HeldLock(Native(held)).Locked(), "not locked by the save");
        try {
            WriteFileSafely(FilePath::FromText(path), "theirs");
            QFAIL("a second save wrote the file while the first was writing it");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), SavedByAnother.arg(path));
        }
        sink("contents");
        halfway = true;
    });
    QVERIFY(halfway);
    QCOMPARE(ReadAll(path), QByteArray("new contents"));
    QCOMPARE(Entries(dir.path()).size(), inPlace ? 2 : 1);
    QCOMPARE(Entries(SafetyCopyFolder()).size(), 0);
}

void TestSaveFile::staleTemporaries()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("links"));
    const QString target = WriteFixture(dir, "fr.php", "mine");
    struct Case
    {
        const char* name;
        const char* kind; // "file", "locked" (a save still writing it), "other user", "link"
        bool removed;
    };
    const Case cases[] = {
        {".fr.php.quillmar-Ab3xZ9", "file", true}, // what a killed save left
        {".fr.php.quillmar-Locked", "locked", false},
        {".fr.php.quillmar-Others", "other user", false},
        {".fr.php.quillmar-ALink9", "link", false},
        {".fr.php.Ab3xZ9", "file", false}, // another program's
        {".fr.php.quillmar-Ab3xZ", "file", false},
        {".fr.php.quillmar-Ab3x_9", "file", false},
        {".de.php.quillmar-Ab3xZ9", "file", false}, // another file's
        {"fr.php.quillmar-Ab3xZ9", "file", false},
    };
    // Only root can give a file to another user.
    const auto made = [](const Case& c) {
        return qstrcmp(c.kind, "other user") != 0 || ::geteuid() == 0;
    };
    std::vector<std::unique_ptr<HeldLock>> locks;
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        if (!made(c))
            continue;
        if (qstrcmp(c.kind, "link") == 0) {
            QVERIFY(QFile::link(target, path));
            continue;
        }
        WriteFixture(dir, c.name, "half");
        if (qstrcmp(c.kind, "locked") == 0) {
            locks.push_back(std::make_unique<HeldLock>(Native(path)));
            QVERIFY(locks.back()->Locked());
        } else if (qstrcmp(c.kind, "other user") == 0) {
            QCOMPARE(::chown(Native(path).constData(), 65534, 65534), 0);
        }
    }
    // Past the few seconds in which a save may have made its temporary and not yet locked it;
    // one made just now stays for that reason.
    QThread::msleep(3300);
    const QString fresh = WriteFixture(dir, ".fr.php.quillmar-Fresh1", "half");

    QCOMPARE(RemoveStaleTemporaries(FilePath::FromText(target)), 1);
    for (const Case& c : cases)
        if (made(c))
            QVERIFY2(Exists(dir.filePath(c.name)) != c.removed, c.name);
    QVERIFY(Exists(fresh));
    QCOMPARE(ReadAll(target), QByteArray("mine"));

    // Named through a link, the file's own folder is cleaned; a save that ended lets go.
    locks.clear();
    const QString link = dir.filePath("links/fr.php");
    QVERIFY(QFile::link(target, link));
    QCOMPARE(RemoveStaleTemporaries(FilePath::FromText(link)), 1);
    QVERIFY(!Exists(dir.filePath(".fr.php.quillmar-Locked")));
    QVERIFY(Exists(fresh));
}

void TestSaveFile::orphanedSafetyCopies()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(SafetyCopyFolder()));
    const auto clean = qScopeGuard([] { QDir(SafetyCopyFolder()).removeRecursively(); });
    const bool root = ::geteuid() == 0; // only root can give a file to another user
    const QByteArray old = "old contents";
    const QString time = ".20250102-030405.quillmar-";
    const QString cut = WriteFixture(dir, "cut.php", "new co"); // the save was killed here
    const QString whole = WriteFixture(dir, "whole.php", old);  // killed before it wrote
    const QString gone = dir.filePath("gone.php");
    const QString held = WriteFixture(dir, "held.php", "new");
    const QString others = WriteFixture(dir, "others.php", "new");

    const QString cutCopy = MakeSafetyCopy("cut.php" + time + "Aaaaa1", old, cut);
    MakeSafetyCopy("whole.php" + time + "Bbbbb2", old, whole);
    const QString goneCopy = MakeSafetyCopy("gone.php" + time + "Ccccc3", old, gone);
    // The save ended and removed its copy, and was stopped before it removed the record.
    MakeSafetyCopy("ended.php" + time + "Ddddd4.target", dir.filePath("ended.php").toUtf8(), {});
    // A save still writing its file in place.
    const QString heldCopy = MakeSafetyCopy("held.php" + time + "Eeeee5", old, held);
    HeldLock running(Native(heldCopy));
    QVERIFY(running.Locked());
    // Another user's, a copy without a record, and files not named as this program names them.
    if (root) {
        const QString othersCopy = MakeSafetyCopy("others.php" + time + "Fffff6", old, others);
        for (const QString& f : {othersCopy, othersCopy + ".target"})
            QCOMPARE(::chown(Native(f).constData(), 65534, 65534), 0);
    }
    MakeSafetyCopy("alone.php" + time + "Ggggg7", old, {});
    MakeSafetyCopy("older.php.20250102-030405", old, cut);

    const std::vector<OrphanedSafetyCopy> found = FindOrphanedSafetyCopies();
    QCOMPARE(int(found.size()), 2);
    const auto orphanOf = [&](const QString& target) {
        for (const OrphanedSafetyCopy& o : found)
            if (o.target == FilePath::FromText(target))
                return o;
        return OrphanedSafetyCopy();
    };
    const OrphanedSafetyCopy cutOrphan = orphanOf(cut);
    QCOMPARE(cutOrphan.copy, FilePath::FromText(cutCopy));
    QCOMPARE(cutOrphan.copySize, old.size());
    QCOMPARE(cutOrphan.targetSize, 6);
    QVERIFY(qAbs(cutOrphan.madeAt.secsTo(QDateTime::currentDateTime())) < 60);
    const OrphanedSafetyCopy goneOrphan = orphanOf(gone);
    QCOMPARE(goneOrphan.copy, FilePath::FromText(goneCopy));
    QCOMPARE(goneOrphan.targetSize, -1);
    // The copy of a file that was never touched went, and the record without its copy.
    QStringList left = {"alone.php" + time + "Ggggg7",       "cut.php" + time + "Aaaaa1",
                        "cut.php" + time + "Aaaaa1.target",  "gone.php" + time + "Ccccc3",
                        "gone.php" + time + "Ccccc3.target", "held.php" + time + "Eeeee5",
                        "held.php" + time + "Eeeee5.target", "older.php.20250102-030405",
                        "older.php.20250102-030405.target"};
    if (root)
        left << "others.php" + time + "Fffff6"
             << "others.php" + time + "Fffff6.target";
    QCOMPARE(Entries(SafetyCopyFolder()), left);
    QCOMPARE(ReadAll(whole), old);

    // Put back, the file is what it was before the save that was cut short.
    PutBackSafetyCopy(cutOrphan);
    QCOMPARE(ReadAll(cut), old);
    QVERIFY(!Exists(cutCopy) && !Exists(cutCopy + ".target"));
    // Discarded, the copy goes and the file stays as it is.
    DiscardSafetyCopy(goneOrphan);
    QVERIFY(!Exists(goneCopy) && !Exists(goneCopy + ".target"));
    QVERIFY(!Exists(gone));
    // A copy a running save holds is neither put back nor discarded.
    OrphanedSafetyCopy heldOrphan;
    heldOrphan.copy = FilePath::FromText(heldCopy);
    heldOrphan.target = FilePath::FromText(held);
    try {
        PutBackSafetyCopy(heldOrphan);
        QFAIL("a copy a save holds was put back");
    } catch (const Exception& e) {
        QCOMPARE(e.Message(), SavedByAnother.arg(held));
    }
    QVERIFY_THROWS_EXCEPTION(Exception, DiscardSafetyCopy(heldOrphan));
    QCOMPARE(ReadAll(held), QByteArray("new"));
    QVERIFY(Exists(heldCopy) && Exists(heldCopy + ".target"));

    // A file that cannot be written keeps its copy, to be put back later.
    const QString unwritable = dir.filePath("removed/fr.php");
    const QString keptCopy = MakeSafetyCopy("fr.php" + time + "Hhhhh8", old, unwritable);
    running.Release();
    const std::vector<OrphanedSafetyCopy> again = FindOrphanedSafetyCopies();
    QCOMPARE(int(again.size()), 2); // and the one no save holds any more
    for (const OrphanedSafetyCopy& o : again) {
        if (o.target != FilePath::FromText(unwritable))
            continue;
        QVERIFY_THROWS_EXCEPTION(EFCreateError, PutBackSafetyCopy(o));
        QVERIFY(Exists(keptCopy) && Exists(keptCopy + ".target"));
    }
}

void TestSaveFile::failuresSayWhy_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("reason"); // %1: the file, %2: the safety-copy folder
    const QString create = "Cannot create file %1: ";
    const QString noCopy = "Cannot save %1 in place: no safety copy of it could be made in %2 (";
    QTest::newRow("loop of symbolic links") << "loop" << create + "it is a loop of symbolic links";
    QTest::newRow("no free file entry, new file")
        << "no inode, new" << create + "No space left on device";
    QTest::newRow("no free file entry, replaced")
        << "no inode" << create + "No space left on device";
    QTest::newRow("read-only disk") << "read-only" << create + "Read-only file system";
    QTest::newRow("immutable file")
        << "immutable"
        << create + "it is marked immutable, so no one may change it (chattr -i lifts that)";
    QTest::newRow("cache on a read-only disk")
        << "cache read-only" << noCopy + "Read-only file system)";
    QTest::newRow("cache under a file") << "cache under a file" << noCopy + "Not a directory)";
}

void TestSaveFile::failuresSayWhy()
{
    QFETCH(QString, where);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString disk = dir.filePath("disk");
    QVERIFY(QDir().mkdir(disk));
    QString folder = dir.path();
    std::unique_ptr<TinyFileSystem> mounted;
    const auto mount = [&](const QByteArray& options) {
        mounted = std::make_unique<TinyFileSystem>(disk, options);
        return mounted->Mounted();
    };
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_CACHE_HOME", cache); });
    bool immutable = false;
    const auto mutableAgain = qScopeGuard([&] {
        if (immutable)
            SetImmutable(dir.filePath("fr.php"), false);
    });

    if (where == "loop") {
        QVERIFY(QFile::link("fr2.php", dir.filePath("fr.php")));
        QVERIFY(QFile::link("fr.php", dir.filePath("fr2.php")));
    } else if (where.startsWith("no inode")) {
        // The root folder takes one entry, the file the second, and the filler the last.
        if (!mount("size=64k,nr_inodes=3"))
            QSKIP("cannot mount a tmpfs here (needs root)");
        folder = disk;
        if (where == "no inode")
            WriteFixture(dir, "disk/fr.php", Old);
        for (int i = 0; i < 3; ++i)
            ::close(::open(Native(disk + "/filler" + QString::number(i)).constData(),
                           O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    } else if (where == "read-only") {
        if (!mount("size=64k"))
            QSKIP("cannot mount a tmpfs here (needs root)");
        folder = disk;
        WriteFixture(dir, "disk/fr.php", Old);
        QVERIFY(mounted->MakeReadOnly());
    } else if (where == "immutable") {
        WriteFixture(dir, "fr.php", Old);
        immutable = SetImmutable(dir.filePath("fr.php"), true);
        if (!immutable)
            QSKIP("the file system here cannot mark a file immutable, or the test may not");
    } else {
        // A file written in place needs a safety copy, in a cache folder that cannot be made.
        WriteFixture(dir, "fr.php", Old);
        QCOMPARE(::link(Native(dir.filePath("fr.php")).constData(),
                        Native(dir.filePath("fr-link.php")).constData()),
                 0);
        if (where == "cache read-only") {
            if (!mount("size=64k") || !mounted->MakeReadOnly())
                QSKIP("cannot mount a read-only tmpfs here (needs root)");
            qputenv("XDG_CACHE_HOME", Native(disk));
        } else {
            qputenv("XDG_CACHE_HOME", Native(WriteFixture(dir, "plain", "x")));
        }
    }
    const QString path = folder + "/fr.php";
    const bool existed = Exists(path);
    const QStringList entries = Entries(folder);
    try {
        WriteFileSafely(FilePath::FromText(path), "new");
        QFAIL("the save reported success");
    } catch (const Exception& e) {
        QCOMPARE(e.Message(),
                 QString(reason).replace("%1", path).replace("%2", SafetyCopyFolder()));
    }
    if (existed && where != "loop")
        QCOMPARE(ReadAll(path), Old);
    QCOMPARE(Entries(folder), entries);
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
