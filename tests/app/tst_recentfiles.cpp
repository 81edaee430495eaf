#include "../support/fixture.h"
#include "gridkeys.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "recentfilelist.h"
#include "registry.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstdio>
#include <memory>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_BYE\",\"Bye\");\r\n";
const QByteArray Translation = "define(\"_HELLO\",\"Bonjour\");\r\n";

// "/w/t>/w/r" is a template and its translation, "/w/t" a template alone.
FilePair Pair(const QString& spec)
{
    const QStringList parts = spec.split(u'>');
    return {FilePath::FromText(parts[0]),
            parts.size() > 1 ? FilePath::FromText(parts[1]) : FilePath()};
}

QStringList Specs(const RecentFileList& list)
{
    QStringList specs;
    for (const FilePair& pair : list.Entries())
        specs << pair.templ.Display() +
                     (pair.translation.IsEmpty() ? QString() : ">" + pair.translation.Display());
    return specs;
}

} // namespace

// File > Recent files: which pairs the list keeps, how it is stored, and how its entries open.
class TestRecentFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listOrder_data();
    void listOrder();
    void storedNamesSurvive();
    void damagedStoredList_data();
    void damagedStoredList();
    void documentCommandsFillTheList();
    void menuEntries();
    void missingFileGreysEntry_data();
    void missingFileGreysEntry();
    void entryOpensAfterTheQuestion_data();
    void entryOpensAfterTheQuestion();
    void storedAtCloseAndReadAtStart();
    void damagedStoreStillStarts_data();
    void damagedStoreStillStarts();

private:
    std::unique_ptr<TMainForm> NewForm() { return std::make_unique<TMainForm>(*m_seam); }
    QString Store() const { return TRegistry::StoreFileName(); }
    QList<QAction*> MenuEntries(TMainForm& form) const;
    QString OpenError(const QString& path);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedSeam> m_seam;
    QString m_template;
    QString m_translation;
};

void TestRecentFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_seam = std::make_unique<ScriptedSeam>();
    QFile::remove(Store());
    m_template = WriteFixture(*m_dir, "lang-english.php", Template);
    m_translation = WriteFixture(*m_dir, "lang-french.php", Translation);
}

void TestRecentFiles::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    QFile::remove(Store());
}

QList<QAction*> TestRecentFiles::MenuEntries(TMainForm& form) const
{
    // What the menu lists as it opens; the entries before the separator.
    emit form.RecentMenu()->aboutToShow();
    QList<QAction*> entries;
    for (QAction* a : form.RecentMenu()->actions()) {
        if (a->isSeparator())
            break;
        entries << a;
    }
    return entries;
}

// The error Open's chooser gives for that path, from a window of its own.
QString TestRecentFiles::OpenError(const QString& path)
{
    ScriptedSeam seam;
    TMainForm form(seam);
    seam.files.enqueue(path);
    form.FileOpenAction()->trigger();
    return seam.errors.value(0, QStringLiteral("<no error>"));
}

void TestRecentFiles::listOrder_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("most recent first") << QStringList{"/w/a>/w/x", "/w/b", "/w/c>/w/y"}
                                       << QStringList{"/w/c>/w/y", "/w/b", "/w/a>/w/x"};
    QTest::newRow("the same pair moves up") << QStringList{"/w/a>/w/x", "/w/b>/w/y", "/w/a>/w/x"}
                                            << QStringList{"/w/a>/w/x", "/w/b>/w/y"};
    QTest::newRow("a translation takes its template's place")
        << QStringList{"/w/a", "/w/b", "/w/a>/w/x"} << QStringList{"/w/a>/w/x", "/w/b"};
    QTest::newRow("a template alone leaves its pairs")
        << QStringList{"/w/a>/w/x", "/w/a"} << QStringList{"/w/a", "/w/a>/w/x"};
    QTest::newRow("another translation is another entry")
        << QStringList{"/w/a>/w/x", "/w/a>/w/y"} << QStringList{"/w/a>/w/y", "/w/a>/w/x"};
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << QStringLiteral("/w/t%1>/w/r%1").arg(i);
    QStringList lastTen;
    for (int i = 12; i >= 3; --i)
        lastTen << QStringLiteral("/w/t%1>/w/r%1").arg(i);
    QTest::newRow("ten at most, the oldest dropped") << twelve << lastTen;
}

void TestRecentFiles::listOrder()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, listed);
    RecentFileList list;
    for (const QString& spec : added)
        list.Add(Pair(spec));
    QCOMPARE(Specs(list), listed);
    // What is stored reads back as the same list.
    QCOMPARE(Specs(RecentFileList::FromStored(list.ToStored())), listed);
}

void TestRecentFiles::storedNamesSurvive()
{
    // Bytes that are no valid UTF-8, the stored form's own separators and escape, a line break,
    // blanks and backslashes: every name comes back byte for byte, in a value of plain ASCII.
    RecentFileList list;
    const QList<QByteArray> names = {"/w/caf\xE9.php", "/w/a;b|c%41.php", "/w/line\nbreak.php",
                                     "/w/with space\\back.php", "/w/\xFF\xFE"};
    for (const QByteArray& name : names)
        list.Add({FilePath::FromNative(name), FilePath::FromNative(name + ".fr")});
    list.Add({FilePath::FromNative("/w/alone\xE9"), FilePath()});
    const QByteArray stored = list.ToStored();
    for (const char c : stored)
        QVERIFY2(uchar(c) >= 0x20 && uchar(c) < 0x7F, stored.constData());
    QCOMPARE(RecentFileList::FromStored(stored), list);
    QVERIFY(stored.contains("/w/with space\\back.php")); // readable where it can be
}

void TestRecentFiles::damagedStoredList_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("bad escape") << QByteArray("/w/a%zz;/w/b") << QStringList{"/w/b"};
    QTest::newRow("escape cut short") << QByteArray("/w/b;/w/a%4") << QStringList{"/w/b"};
    QTest::newRow("control byte") << QByteArray("/w/a\x01;/w/b|/w/x") << QStringList{"/w/b>/w/x"};
    QTest::newRow("escaped NUL") << QByteArray("/w/a%00b;/w/b") << QStringList{"/w/b"};
    QTest::newRow("relative name") << QByteArray("a.php;/w/b|x.php;/w/c") << QStringList{"/w/c"};
    QTest::newRow("empty entries and halves")
        << QByteArray(";;/w/a|;|/w/x;/w/b;") << QStringList{"/w/b"};
    QTest::newRow("two translations") << QByteArray("/w/a|/w/x|/w/y;/w/b") << QStringList{"/w/b"};
    QTest::newRow("repeats") << QByteArray("/w/a|/w/x;/w/b;/w/a|/w/x")
                             << QStringList{"/w/a>/w/x", "/w/b"};
    QTest::newRow("typed by hand, unescaped")
        << QByteArray("/w/caf\xC3\xA9 (1).php")
        << QStringList{QString::fromUtf8("/w/caf\xC3\xA9 (1).php")};
    QByteArray many;
    QStringList first10;
    for (int i = 0; i < 12; ++i) {
        many += (i ? ";" : "") + QByteArray("/w/t") + QByteArray::number(i);
        if (i < 10)
            first10 << QStringLiteral("/w/t%1").arg(i);
    }
    QTest::newRow("more than ten") << many << first10;
}

void TestRecentFiles::damagedStoredList()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, listed);
    QCOMPARE(Specs(RecentFileList::FromStored(stored)), listed);
}

void TestRecentFiles::documentCommandsFillTheList()
{
    auto form = NewForm();
    // New: the template alone.
    m_seam->files.enqueue(m_template);
    form->FileNewAction()->trigger();
    QCOMPARE(Specs(form->RecentFiles()), QStringList{m_template});
    // Saved: the template's entry gets its translation.
    PressKey(form->DrawGrid(), Qt::Key_X);
    const QString saved = m_dir->filePath("lang-german.php");
    m_seam->files.enqueue(saved);
    form->FileSaveAction()->trigger();
    QCOMPARE(Specs(form->RecentFiles()), QStringList{m_template + ">" + saved});
    // Open: the pair, first; a translation that could not be read leaves the template alone.
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    form->FileOpenAction()->trigger();
    const QString gone = m_dir->filePath("gone.php");
    const QString other = WriteFixture(*m_dir, "lang-TEMPLATE.php", Template);
    m_seam->files.enqueue(other);
    m_seam->files.enqueue(gone);
    form->FileOpenAction()->trigger();
    QCOMPARE(m_seam->errors.size(), 1);
    QCOMPARE(Specs(form->RecentFiles()),
             (QStringList{other, m_template + ">" + m_translation, m_template + ">" + saved}));
}

void TestRecentFiles::menuEntries()
{
    auto form = NewForm();
    // Empty: one greyed line says so, and there is nothing to clear.
    QList<QAction*> entries = MenuEntries(*form);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0]->text(), QString("(empty)"));
    QVERIFY(!entries[0]->isEnabled());
    QVERIFY(!form->FileClearRecentAction()->isEnabled());
    QCOMPARE(form->RecentMenu()->actions().last(), form->FileClearRecentAction());

    // Ten entries: file names in the captions, a key each, full names in the tool tips. Two
    // pairs with the same names tell their folders apart; an '&' in a name is shown as one.
    QDir(m_dir->path()).mkdir("site2");
    const QString ampersand = WriteFixture(*m_dir, "R&D.php", Translation);
    const QString otherTemplate = WriteFixture(*m_dir, "site2/lang-english.php", Template);
    const QString otherTranslation = WriteFixture(*m_dir, "site2/lang-french.php", Translation);
    RecentFileList list;
    for (int i = 0; i < 7; ++i)
        list.Add(
            {FilePath::FromText(WriteFixture(*m_dir, QStringLiteral("t%1.php").arg(i), Template)),
             FilePath()});
    list.Add({FilePath::FromText(m_template), FilePath::FromText(ampersand)});
    list.Add({FilePath::FromText(otherTemplate), FilePath::FromText(otherTranslation)});
    list.Add({FilePath::FromText(m_template), FilePath::FromText(m_translation)});
    form->SetRecentFiles(list);
    entries = MenuEntries(*form);
    QCOMPARE(entries.size(), 10);
    const QString folder = QDir(m_dir->path()).dirName();
    QCOMPARE(entries[0]->text(),
             QString::fromUtf8("&1 lang-english.php \u2192 lang-french.php  [%1]").arg(folder));
    QCOMPARE(entries[1]->text(),
             QString::fromUtf8("&2 lang-english.php \u2192 lang-french.php  [site2]"));
    QCOMPARE(entries[2]->text(), QString::fromUtf8("&3 lang-english.php \u2192 R&&D.php"));
    QCOMPARE(entries[3]->text(), QString("&4 t6.php (no translation yet)"));
    QCOMPARE(entries[8]->text(), QString("&9 t1.php (no translation yet)"));
    QCOMPARE(entries[9]->text(), QString("1&0 t0.php (no translation yet)"));
    QCOMPARE(entries[1]->toolTip(),
             "Template: " + otherTemplate + "\nTranslation: " + otherTranslation);
    for (QAction* entry : entries)
        QVERIFY2(entry->isEnabled(), qPrintable(entry->text()));
    QVERIFY(form->FileClearRecentAction()->isEnabled());

    // Clear empties the list, and the menu says so the next time it opens.
    form->FileClearRecentAction()->trigger();
    QVERIFY(form->RecentFiles().IsEmpty());
    QCOMPARE(MenuEntries(*form).value(0)->text(), QString("(empty)"));
}

void TestRecentFiles::missingFileGreysEntry_data()
{
    QTest::addColumn<bool>("templateGone");
    QTest::addColumn<bool>("translationGone");
    QTest::newRow("template gone") << true << false;
    QTest::newRow("translation gone") << false << true;
    QTest::newRow("both gone") << true << true;
}

void TestRecentFiles::missingFileGreysEntry()
{
    QFETCH(bool, templateGone);
    QFETCH(bool, translationGone);
    auto form = NewForm();
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    form->FileOpenAction()->trigger();
    m_seam->files.enqueue(WriteFixture(*m_dir, "other.php", Template));
    form->FileNewAction()->trigger();
    if (templateGone)
        QVERIFY(QFile::remove(m_template));
    if (translationGone)
        QVERIFY(QFile::remove(m_translation));

    const QList<QAction*> entries = MenuEntries(*form);
    QVERIFY(entries[0]->isEnabled());
    QVERIFY(!entries[1]->isEnabled());
    const QString gone = QStringLiteral(" (no longer exists)");
    QCOMPARE(entries[1]->toolTip(), "Template: " + m_template + (templateGone ? gone : "") +
                                        "\nTranslation: " + m_translation +
                                        (translationGone ? gone : ""));

    // Chosen all the same (it was removed after the menu listed it): Open's error for that file.
    const QString missing = templateGone ? m_template : m_translation;
    entries[1]->setEnabled(true);
    entries[1]->trigger();
    QCOMPARE(m_seam->errors, QStringList{OpenError(missing)});
    QCOMPARE(form->Document().IsDocumentLoaded(), !templateGone);
}

void TestRecentFiles::entryOpensAfterTheQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("opened");
    QTest::newRow("cancel keeps everything") << int(DialogSeam::Answer::Cancel) << false;
    QTest::newRow("no opens the entry") << int(DialogSeam::Answer::No) << true;
}

void TestRecentFiles::entryOpensAfterTheQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, opened);
    auto form = NewForm();
    m_seam->files.enqueue(m_template);
    m_seam->files.enqueue(m_translation);
    form->FileOpenAction()->trigger();
    const QString other =
        WriteFixture(*m_dir, "lang-TEMPLATE.php", "<?php\ndefine('_ONE','One');\n");
    m_seam->files.enqueue(other);
    form->FileNewAction()->trigger();
    TypeKeys(form->DrawGrid(), "Uno");
    const RecentFileList before = form->RecentFiles();

    m_seam->confirms.enqueue(DialogSeam::Answer(answer));
    MenuEntries(*form)[1]->trigger(); // lang-english.php with lang-french.php
    QCOMPARE(m_seam->confirmTexts, QStringList{"Current translation not saved. Save this?"});
    QCOMPARE(m_seam->choosersShown.size(), 3); // no chooser: the entry names the files
    PhraseDocument& doc = form->Document();
    if (opened) {
        QCOMPARE(doc.TemplatePath().Display(), m_template);
        QCOMPARE(doc.TranslationFileName(), m_translation);
        QCOMPARE(doc.PhraseTranslation(0), QByteArray("Bonjour"));
        QVERIFY(!doc.Modified());
        QCOMPARE(Specs(form->RecentFiles()),
                 (QStringList{m_template + ">" + m_translation, other}));
    } else {
        QCOMPARE(doc.TemplatePath().Display(), other);
        QCOMPARE(doc.PhraseTranslation(0), QByteArray("Uno"));
        QVERIFY(doc.Modified());
        QCOMPARE(form->RecentFiles(), before);
    }
    QVERIFY(m_seam->errors.isEmpty());
}

void TestRecentFiles::storedAtCloseAndReadAtStart()
{
    // A user who never opens a file stores nothing new.
    {
        auto form = NewForm();
        QVERIFY(form->close());
    }
    QVERIFY(!ReadAll(Store()).contains("RecentFiles"));

    // A name that is no valid UTF-8 comes back byte for byte.
    const QByteArray raw = QFile::encodeName(m_dir->path()) + "/lang-fran\xE7"
                                                              "ais.php";
    // QFile cannot spell such a name, nor can the temporary folder remove it: the system's own
    // calls take its bytes.
    const auto removeRaw = qScopeGuard([&raw] { std::remove(raw.constData()); });
    {
        FILE* out = std::fopen(raw.constData(), "wb");
        QVERIFY(out);
        std::fwrite(Translation.constData(), 1, size_t(Translation.size()), out);
        std::fclose(out);
    }
    const FilePair pair{FilePath::FromText(m_template), FilePath::FromNative(raw)};
    {
        auto form = NewForm();
        form->OpenStartFiles(pair);
        QCOMPARE(form->Document().PhraseTranslation(0), QByteArray("Bonjour"));
        QVERIFY(form->close());
    }
    {
        auto again = NewForm();
        QCOMPARE(again->RecentFiles().Entries(), QList<FilePair>{pair});
        QVERIFY(MenuEntries(*again)[0]->isEnabled()); // found on disk under its own bytes
        // Cleared, the list is stored empty and starts empty.
        again->FileClearRecentAction()->trigger();
        QVERIFY(again->close());
    }
    QVERIFY(ReadAll(Store()).contains("\"RecentFiles\"=\"\""));
    auto third = NewForm();
    QVERIFY(third->RecentFiles().IsEmpty());
    QVERIFY(m_seam->errors.isEmpty());
}

void TestRecentFiles::damagedStoreStillStarts_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("a number") << QByteArray("dword:00000007") << QStringList{};
    QTest::newRow("binary") << QByteArray("hex:00,ff") << QStringList{};
    QTest::newRow("some entries damaged")
        << QByteArray("\"/w/a%zz;relative;/w/b|/w/x\"") << QStringList{"/w/b>/w/x"};
}

void TestRecentFiles::damagedStoreStillStarts()
{
    QFETCH(QByteArray, value);
    QFETCH(QStringList, listed);
    QDir().mkpath(QFileInfo(Store()).path());
    QFile f(Store());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\r\n"
            "\"RecentFiles\"=" +
            value +
            "\r\n"
            "\"Top\"=dword:00000064\r\n\"Left\"=dword:00000032\r\n"
            "\"Width\"=dword:00000258\r\n\"Height\"=dword:00000190\r\n"
            "\"ToolBar\"=dword:00000000\r\n\"GridLine\"=\"wide\"\r\n");
    f.close();
    auto form = NewForm();
    // The list's damage says nothing; the other values are read and reported as ever.
    QCOMPARE(m_seam->errors, QStringList{"Failed to get data for 'GridLine'"});
    QVERIFY(!form->ToolBarVisible());
    QCOMPARE(Specs(form->RecentFiles()), listed);
    // The next save stores the list again in its own form.
    QVERIFY(form->close());
    auto again = NewForm();
    QCOMPARE(Specs(again->RecentFiles()), listed);
}

QUILLMAR_GUI_TEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
