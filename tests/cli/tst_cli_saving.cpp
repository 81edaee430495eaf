// quillmar-cli saving while the world works against it: a file-size limit that the system
// enforces with a signal, a kill -9 half-way through, two merges onto one file at once, and no
// home folder for the safety copy. What counts is what is on disk afterwards, and what the
// next run says about it.
#include "../support/fixture.h"
#include "../support/heldlock.h"
#include "fileio.h"
#include "saveleftovers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Cli = QStringLiteral(QUILLMAR_CLI);

// One define line per phrase, `define('K0','V0');`, with value prefix in place of V.
QByteArray Defines(int phrases, const QByteArray& value)
{
    QByteArray out;
    out.reserve(qsizetype(phrases) * (24 + value.size()));
    for (int i = 0; i < phrases; ++i) {
        const QByteArray n = QByteArray::number(i);
        out += "define('K" + n + "','" + value + n + "');\n";
    }
    return out;
}

const QByteArray Old = "define('K0','old');\n";

struct Result
{
    int status = -1; // -1: ended by a signal, or did not end
    QByteArray err;
};

struct Launch
{
    QStringList args;
    QStringList unset = {};   // environment variables the command runs without
    QString cache = {};       // XDG_CACHE_HOME, unless unset or empty
    rlim_t fileSizeLimit = 0; // RLIMIT_FSIZE of the command, or none
    QString workingFolder = {};
};

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System);
}

bool Exists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

struct stat StatOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

void Link(const QString& file, const QString& link)
{
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()) != 0)
        qFatal("cannot link %s", qPrintable(link));
}

// Writes over a file in place, keeping its inode and so its other names.
void Overwrite(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

const QString SavedByAnother =
    "Cannot save %1: it is being saved by another program; try again when that save is done\n";
const QString Warning = "quillmar-cli: warning: %1 may be incomplete because a save of it was "
                        "interrupted; its previous contents are kept in %2\n";

} // namespace

class TestCliSaving : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void killedSave_data();
    void killedSave();
    void runningSavesAreLeftAlone();
    void concurrentSaves();
    void noHomeFolder_data();
    void noHomeFolder();

private:
    void Prepare(QProcess& p, const Launch& l) const;
    Result Run(const Launch& l) const;
    QString Folder(const QString& name) const;

    QTemporaryDir m_dir;
    QString m_cache;
    QString m_home;
    QString m_copies; // the safety-copy folder, as the command and the test both name it
    QString m_template;
    QString m_translation;
    QString m_other;       // another translation of the template, of another length
    QString m_merged;      // the template merged with the translation
    QString m_otherMerged; // and with the other one
    QString m_bigTemplate; // tens of megabytes, so a save takes long enough to be killed
    QString m_bigTranslation;
};

void TestCliSaving::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(Cli), qPrintable(Cli));
    // The command and the test name the safety-copy folder alike, in a cache of the test's own.
    m_cache = Folder("cache");
    m_home = Folder("home");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache));
    QCoreApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmar"));
    m_copies = SafetyCopyFolder();
    QCOMPARE(m_copies, m_cache + "/Pellovant/Quillmar/safety-copies");

    m_template = WriteFixture(m_dir, "en.php", Defines(300000, "V"));
    m_translation = WriteFixture(m_dir, "fr.php", Defines(300000, "T"));
    m_other = WriteFixture(m_dir, "de.php", Defines(300000, "Uebersetzt"));
    m_bigTemplate = WriteFixture(m_dir, "big-en.php", Defines(1200000, "V"));
    m_bigTranslation = WriteFixture(m_dir, "big-fr.php", Defines(1200000, "T"));
    m_merged = m_dir.filePath("merged.php");
    m_otherMerged = m_dir.filePath("other-merged.php");
    QCOMPARE(Run({{"merge", m_template, m_translation, "-o", m_merged}}).status, 0);
    QCOMPARE(Run({{"merge", m_template, m_other, "-o", m_otherMerged}}).status, 0);
    QVERIFY(ReadAll(m_merged).size() > 1 << 20);
    QVERIFY(ReadAll(m_merged) != ReadAll(m_otherMerged));
}

QString TestCliSaving::Folder(const QString& name) const
{
    const QString folder = m_dir.filePath(name);
    if (!QDir().mkpath(folder))
        qFatal("cannot make %s", qPrintable(folder));
    return folder;
}

void TestCliSaving::Prepare(QProcess& p, const Launch& l) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), l.cache.isEmpty() ? m_cache : l.cache);
    env.insert(QStringLiteral("HOME"), m_home);
    for (const QString& name : l.unset)
        env.remove(name);
    p.setProcessEnvironment(env);
    if (!l.workingFolder.isEmpty())
        p.setWorkingDirectory(l.workingFolder);
    const rlim_t limit = l.fileSizeLimit;
    p.setChildProcessModifier([limit] {
        // As a shell's ulimit -f leaves the command: the limit, and the signal that ends a
        // program that writes past it (the test itself may ignore that signal).
        ::signal(SIGXFSZ, SIG_DFL);
        if (limit) {
            const rlimit r{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
    });
}

Result TestCliSaving::Run(const Launch& l) const
{
    QProcess p;
    Prepare(p, l);
    p.start(Cli, l.args);
    if (!p.waitForStarted() || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {-1, "(did not run to its end) " + p.readAllStandardError()};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
}

void TestCliSaving::fileSizeLimit_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("replaced") << false;
    QTest::newRow("written in place") << true;
}

// Past the limit the system sends SIGXFSZ, whose default ends the program between two writes:
// before, the command died with status 153 and left a cut file or its temporary.
void TestCliSaving::fileSizeLimit()
{
    QFETCH(bool, inPlace);
    const QString folder = Folder(QStringLiteral("limit-%1").arg(inPlace));
    const QString out = folder + "/out.php";
    Overwrite(out, Old);
    if (inPlace)
        Link(out, folder + "/link.php");
    const QStringList entries = Entries(folder);

    const Result r = Run({.args = {"merge", m_template, m_translation, "-o", out},
                          .fileSizeLimit = rlim_t(64) << 10});
    QCOMPARE(r.err, "Stream write error.\n" + out.toUtf8() +
                        " is as it was before the save (File too large)\n");
    QCOMPARE(r.status, 1);
    QCOMPARE(ReadAll(out), Old);
    QCOMPARE(Entries(folder), entries);
    QCOMPARE(Entries(m_copies), QStringList());
}

void TestCliSaving::killedSave_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("replaced") << false;
    QTest::newRow("written in place") << true;
}

void TestCliSaving::killedSave()
{
    QFETCH(bool, inPlace);
    const QString folder = Folder(QStringLiteral("killed-%1").arg(inPlace));
    const QString out = folder + "/out.php";
    const QString link = folder + "/link.php";
    Overwrite(out, Old);
    if (inPlace)
        Link(out, link);
    struct stat before = StatOf(out);

    // Killed while it writes: the temporary is there, or the safety copy is made and the file
    // itself has begun to change.
    const auto writing = [&] {
        if (!inPlace)
            return !Entries(folder).filter(".out.php.").isEmpty();
        const struct stat now = StatOf(out);
        return !Entries(m_copies).isEmpty() &&
               (now.st_size != before.st_size || now.st_mtim.tv_nsec != before.st_mtim.tv_nsec ||
                now.st_mtim.tv_sec != before.st_mtim.tv_sec);
    };
    bool killed = false;
    for (int attempt = 0; attempt < 3 && !killed; ++attempt) {
        Overwrite(out, Old);
        before = StatOf(out);
        QProcess p;
        Prepare(p, {{}});
        p.start(Cli, {"merge", m_bigTemplate, m_bigTranslation, "-o", out});
        QVERIFY(p.waitForStarted());
        QElapsedTimer timer;
        timer.start();
        while (p.state() == QProcess::Running && !writing() && timer.elapsed() < 60000)
            QThread::usleep(500);
        if (p.state() == QProcess::Running && writing()) {
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished());
            killed = p.exitStatus() == QProcess::CrashExit;
        } else {
            p.waitForFinished(); // it was done before it was seen writing: once more
        }
    }
    QVERIFY2(killed, "the save was never caught half-way");

    if (!inPlace) {
        QCOMPARE(ReadAll(out), Old);
        QCOMPARE(Entries(folder).filter(".out.php.").size(), 1);
        // Once it is old enough not to be a temporary a save has just made, the next save of
        // the file takes it away.
        QThread::msleep(3300);
        const Result next = Run({{"merge", m_template, m_translation, "-o", out}});
        QCOMPARE(next.err, QByteArray());
        QCOMPARE(next.status, 0);
        QCOMPARE(Entries(folder), QStringList{"out.php"});
        return;
    }

    // The file is cut; every run says so, naming where its previous contents are.
    QVERIFY(ReadAll(out) != Old);
    const QStringList copies = Entries(m_copies);
    QCOMPARE(copies.size(), 2);
    const QString copy = m_copies + '/' + copies.first();
    const Result next = Run({{"--version"}});
    QCOMPARE(next.status, 0);
    QCOMPARE(QString::fromUtf8(next.err), Warning.arg(out, copy));

    const std::vector<OrphanedSafetyCopy> found = FindOrphanedSafetyCopies();
    QCOMPARE(int(found.size()), 1);
    QCOMPARE(found[0].target, FilePath::FromText(out));
    QCOMPARE(found[0].copy, FilePath::FromText(copy));
    QCOMPARE(found[0].copySize, qint64(Old.size()));
    PutBackSafetyCopy(found[0]);
    QCOMPARE(ReadAll(out), Old);
    QCOMPARE(ReadAll(link), Old);
    QCOMPARE(StatOf(out).st_ino, before.st_ino);
    QCOMPARE(Entries(m_copies), QStringList());
    QCOMPARE(Run({{"--version"}}).err, QByteArray());
}

// A save still running holds its temporary and its safety copy: another run neither removes
// them nor warns about them. Files of other programs stay whatever their age.
void TestCliSaving::runningSavesAreLeftAlone()
{
    const QString folder = Folder("running");
    const QString out = folder + "/out.php";
    Overwrite(out, "define('K0','being written');\n");
    const QString temporary = folder + "/.out.php.quillmar-Runnin";
    const QString others = folder + "/.out.php.Ab3xZ9";
    Overwrite(temporary, "half");
    Overwrite(others, "theirs");
    HeldLock writing(QFile::encodeName(temporary));
    QVERIFY(writing.Locked());
    QVERIFY(QDir().mkpath(m_copies));
    const QString copy = m_copies + "/out.php.20250102-030405.quillmar-Runnin";
    Overwrite(copy, Old);
    Overwrite(copy + ".target", QFile::encodeName(out));
    HeldLock copying(QFile::encodeName(copy));
    QVERIFY(copying.Locked());
    const auto clean = qScopeGuard([&] {
        QFile::remove(copy);
        QFile::remove(copy + ".target");
    });
    QThread::msleep(3300); // old enough to be removed, were they not held

    const Result r = Run({{"merge", m_template, "-o", out}});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.status, 0);
    QCOMPARE(Entries(folder),
             QStringList({".out.php.Ab3xZ9", ".out.php.quillmar-Runnin", "out.php"}));
    QCOMPARE(ReadAll(temporary), QByteArray("half"));
    QVERIFY(Exists(copy) && Exists(copy + ".target"));

    // Once the save that made the copy is gone, the copy is told about.
    copying.Release();
    QCOMPARE(QString::fromUtf8(Run({{"--version"}}).err), Warning.arg(out, copy));
}

// Two merges onto one file with two names, so both write it in place: the second waits for
// the first, and the file is always one whole output. A merge whose wait ran out says so.
void TestCliSaving::concurrentSaves()
{
    const QString folder = Folder("race");
    const QString out = folder + "/out.php";
    Overwrite(out, Old);
    Link(out, folder + "/link.php");
    const QByteArray outputs[] = {ReadAll(m_merged), ReadAll(m_otherMerged)};
    for (int round = 0; round < 6; ++round) {
        Overwrite(out, Old);
        QProcess merges[2];
        const QString translations[] = {m_translation, m_other};
        for (int i = 0; i < 2; ++i) {
            Prepare(merges[i], {{}});
            merges[i].start(Cli, {"merge", m_template, translations[i], "-o", out});
        }
        int status[2];
        QByteArray err[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY(merges[i].waitForFinished(120000));
            status[i] = merges[i].exitStatus() == QProcess::NormalExit ? merges[i].exitCode() : -1;
            err[i] = merges[i].readAllStandardError();
        }
        const QByteArray result = ReadAll(out);
        const int winner = result == outputs[0] ? 0 : result == outputs[1] ? 1 : -1;
        QVERIFY2(winner >= 0 || (result == Old && status[0] == 1 && status[1] == 1),
                 qPrintable(QStringLiteral("round %1: the file mixes the outputs (%2 bytes)")
                                .arg(round)
                                .arg(result.size())));
        for (int i = 0; i < 2; ++i) {
            // Success means this output is the file, or was wholly replaced by the later one;
            // failure means the other save held the file all through the wait.
            QVERIFY2(status[i] == 0 || status[i] == 1, qPrintable(QString::number(status[i])));
            QCOMPARE(QString::fromUtf8(err[i]),
                     status[i] == 0 ? QString() : SavedByAnother.arg(out));
        }
        if (winner >= 0)
            QCOMPARE(status[winner], 0);
        QCOMPARE(ReadAll(folder + "/link.php"), result);
        QCOMPARE(Entries(folder), QStringList({"link.php", "out.php"}));
        QCOMPARE(Entries(m_copies), QStringList());
    }
}

void TestCliSaving::noHomeFolder_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<QString>("cache"); // XDG_CACHE_HOME; empty: unset
    QTest::addColumn<bool>("saved");
    QTest::newRow("in place, neither HOME nor XDG_CACHE_HOME") << true << "" << false;
    // A relative cache names no folder: it would be wherever the command was started.
    QTest::newRow("in place, relative XDG_CACHE_HOME") << true << "cache" << false;
    // A file replaced needs no safety copy.
    QTest::newRow("replaced, neither HOME nor XDG_CACHE_HOME") << false << "" << true;
}

void TestCliSaving::noHomeFolder()
{
    QFETCH(bool, inPlace);
    QFETCH(QString, cache);
    QFETCH(bool, saved);
    const QString folder = Folder(QStringLiteral("nohome-%1-%2").arg(inPlace).arg(cache));
    const QString out = folder + "/out.php";
    Overwrite(out, Old);
    if (inPlace)
        Link(out, folder + "/link.php");
    const QStringList entries = Entries(folder);
    const QString work = Folder(QStringLiteral("nohome-work-%1-%2").arg(inPlace).arg(cache));
    // Without a home, Qt names "/" as home: a safety copy would land in /.cache.
    const bool systemCache = Exists("/.cache");
    const auto unmade = qScopeGuard([&] {
        if (systemCache)
            return;
        for (const char* made : {"/.cache/Pellovant/Quillmar/safety-copies",
                                 "/.cache/Pellovant/Quillmar", "/.cache/Pellovant", "/.cache"})
            ::rmdir(made);
    });

    Launch l{.args = {"merge", m_template, m_translation, "-o", out}, .workingFolder = work};
    l.unset << "HOME";
    if (cache.isEmpty())
        l.unset << "XDG_CACHE_HOME";
    else
        l.cache = cache;
    const Result r = Run(l);
    if (saved) {
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(ReadAll(out), ReadAll(m_merged));
    } else {
        QCOMPARE(QString::fromUtf8(r.err),
                 "Cannot save " + out +
                     " in place: no safety copy of it could be made in the cache folder (neither "
                     "XDG_CACHE_HOME nor HOME names a folder)\n");
        QCOMPARE(r.status, 1);
        QCOMPARE(ReadAll(out), Old);
    }
    QCOMPARE(Entries(folder), entries);
    QCOMPARE(Entries(work), QStringList());
    QCOMPARE(Exists("/.cache"), systemCache);
}

QTEST_GUILESS_MAIN(TestCliSaving)
#include "tst_cli_saving.moc"
