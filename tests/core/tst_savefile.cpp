#include "errors.h"
#include "phrasedocument.h"
#include "textlines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Lowers the soft file-size limit for the scope, so writes past it fail like on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestSaveFile : public QObject
{
    Q_OBJECT
private slots:
    void writeErrorKeepsOldFile();
    void cannotCreate_data();
    void cannotCreate();
    void keepsPermissions();
    void symlinkTargetReplaced();
};

void TestSaveFile::writeErrorKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fr.php");
    const QByteArray old = "define(\"_A\",\"Ancien\");\r\n";
    Write(path, old);

    PhraseDocument doc;
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
        big += "define(\"_K" + QByteArray::number(i) + "\",\"text text text text\");\n";
    doc.LoadTemplateData(big);
    doc.CommitTranslation(0, "Nouveau");
    doc.SetTranslationFileName(path);
    {
        FileSizeLimit limit(64 * 1024);
        try {
            doc.SaveTranslation();
            QFAIL("the write should have failed");
        } catch (const EWriteError& e) {
            QCOMPARE(e.message(), QString("Stream write error"));
        }
    }
    QCOMPARE(ReadAll(path), old);
    QVERIFY(doc.Modified());
    QCOMPARE(Entries(dir.path()), QStringList{"fr.php"}); // no temporary left behind
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
    Write(dir.filePath("plain"), "x");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(relative);
    try {
        WriteFileAtomically(path, "data");
        QFAIL("no error");
    } catch (const EFCreateError& e) {
        QCOMPARE(e.message(), "Cannot create file " + path);
    }
    QCOMPARE(ReadAll(dir.filePath("plain")), QByteArray("x"));
}

void TestSaveFile::keepsPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fr.php");
    Write(path, "old");
    const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, perms));
    WriteFileAtomically(path, "new");
    QCOMPARE(ReadAll(path), QByteArray("new"));
    const auto ownerGroupOther = QFileDevice::Permissions(0x7077); // leave out the "user" alias bits
    QCOMPARE(QFile::permissions(path) & ownerGroupOther, perms);
}

void TestSaveFile::symlinkTargetReplaced()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/fr.php");
    const QString link = dir.filePath("fr.php");
    Write(target, "old");
    QVERIFY(QFile::link(target, link));
    WriteFileAtomically(link, "new");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadAll(target), QByteArray("new"));
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
