#include "mainform.h"
#include "phrasegrid.h"
#include "registry.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>

#include <csignal>
#include <sys/resource.h>

// The window's settings go to the store when it closes and come back when the next one is made.
class TestMainSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstRunUsesDesignedState();
    void roundTrip();
    void maximisedWindowReopensNormalWithItsBounds();
    void keepLayoutIsStoredOnceUsed();
    void displayModeFromTemplateIsStored();
    void unreadableValueIsReportedAndStartContinues();
    void failedWriteKeepsWindowOpen();
    void unopenableStoreStillCloses();

private:
    std::unique_ptr<TMainForm> NewForm() { return std::make_unique<TMainForm>(m_seam); }
    QString Store() const { return TRegistry::StoreFileName(); }

    ScriptedSeam m_seam;
};

void TestMainSettings::init()
{
    m_seam = ScriptedSeam();
    QFile::remove(Store());
}

void TestMainSettings::cleanup()
{
    QCOMPARE(m_seam.unexpected, 0);
    QDir(Store()).removeRecursively();
    QFile::remove(Store());
}

void TestMainSettings::firstRunUsesDesignedState()
{
    auto form = NewForm();
    QVERIFY(m_seam.errors.isEmpty());
    QVERIFY(form->ToolBarVisible());
    QCOMPARE(form->GridLineWidth(), 0);
    QVERIFY(!form->ShowOriginal());
    QCOMPARE(form->GridFont().name, QByteArray("MS Sans Serif"));
    QVERIFY(!QFile::exists(Store()));
    form->show();
    QVERIFY(form->close());
    QVERIFY(QFile::exists(Store()));
    QSettings written(Store(), QSettings::IniFormat);
    QFile f(Store());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    for (const char* name : {"Top", "Left", "Width", "Height", "ToolBar", "GridLine", "ShowKeys",
                             "FontName", "FontChar", "FontColor", "FontPitch", "FontSize",
                             "FontStyleBold", "FontStyleItalic", "FontStyleUnder", "FontStyleStrike"})
        QVERIFY2(text.contains(QByteArray("\"") + name + "\"="), name);
}

void TestMainSettings::roundTrip()
{
    {
        auto form = NewForm();
        form->move(40, 50);
        form->resize(700, 480);
        form->show();
        QTRY_COMPARE(form->WindowBounds(), QRect(40, 50, 704, 484)); // the offscreen frame is 2 px
        form->SetToolBarVisible(false);
        form->ShowGridAction()->trigger();
        form->ShowOriginalAction()->trigger();
        GridFontSettings font = form->GridFont();
        font.name = "DejaVu Serif";
        font.size = 14;
        font.bold = true;
        font.color = 0x00112233;
        form->SetGridFont(font);
        form->ChooseEncoding("KOI8-R");
        QVERIFY(form->close());
    }
    auto again = NewForm();
    QVERIFY(m_seam.errors.isEmpty());
    again->show();
    QTRY_COMPARE(again->WindowBounds(), QRect(40, 50, 704, 484)); // outer bounds, frame and all
    QVERIFY(again->close()); // and the next run gets the same: no growth from run to run
    auto third = NewForm();
    third->show();
    QTRY_COMPARE(third->WindowBounds(), QRect(40, 50, 704, 484));
    QVERIFY(!again->ToolBarVisible());
    QCOMPARE(again->GridLineWidth(), 1);
    QVERIFY(again->ShowOriginal());
    QCOMPARE(again->GridFont().name, QByteArray("DejaVu Serif"));
    QCOMPARE(again->GridFont().size, 14);
    QVERIFY(again->GridFont().bold);
    QCOMPARE(again->DrawGrid()->font().pointSize(), 14);
    QCOMPARE(again->DrawGrid()->palette().color(QPalette::Text), QColor(0x33, 0x22, 0x11));
    // An encoding chosen holds for its document only: the next run detects again.
    QVERIFY(again->ChosenEncoding().isEmpty());
    QCOMPARE(again->Codec().name(), TextCodec::Locale().name());
}

void TestMainSettings::keepLayoutIsStoredOnceUsed()
{
    // A user who never turns it on keeps the settings file as it always was.
    {
        auto form = NewForm();
        QVERIFY(!form->KeepLayoutAction()->isChecked());
        QVERIFY(form->close());
    }
    QFile store(Store());
    QVERIFY(store.open(QIODevice::ReadOnly));
    QVERIFY(!store.readAll().contains("KeepLayout"));
    for (const bool keep : {true, false}) {
        {
            auto form = NewForm();
            form->KeepLayoutAction()->trigger();
            QCOMPARE(form->Document().KeepLayout(), keep);
            QVERIFY(form->close());
        }
        auto again = NewForm();
        QCOMPARE(again->KeepLayoutAction()->isChecked(), keep);
        QCOMPARE(again->Document().KeepLayout(), keep);
        QVERIFY(again->close());
    }
}

void TestMainSettings::maximisedWindowReopensNormalWithItsBounds()
{
    QRect maximised;
    {
        auto form = NewForm();
        form->showMaximized();
        QTRY_VERIFY(form->isMaximized());
        maximised = form->WindowBounds();
        QVERIFY(form->close());
    }
    auto again = NewForm();
    again->show();
    QVERIFY(!again->isMaximized());
    QTRY_COMPARE(again->WindowBounds(), maximised);
}

void TestMainSettings::displayModeFromTemplateIsStored()
{
    QTemporaryDir dir;
    QFile t(dir.filePath("t.php"));
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write("define(\"_A\",\"a\");\ndefine(\"_B\",\"b\");\n");
    t.close();
    {
        auto form = NewForm();
        QVERIFY(!form->ShowOriginal());
        m_seam.files.enqueue(t.fileName());
        form->FileNewAction()->trigger();
        QVERIFY(form->ShowOriginal()); // define lines: originals shown
        QVERIFY(form->close());
    }
    auto again = NewForm();
    QVERIFY(again->ShowOriginal());
}

void TestMainSettings::unreadableValueIsReportedAndStartContinues()
{
    QDir().mkpath(QFileInfo(Store()).path());
    QFile f(Store());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\r\n"
            "\"Top\"=dword:00000064\r\n\"Left\"=dword:00000032\r\n"
            "\"Width\"=dword:00000258\r\n\"Height\"=dword:00000190\r\n"
            "\"ToolBar\"=dword:00000000\r\n\"GridLine\"=\"wide\"\r\n");
    f.close();
    auto form = NewForm();
    QCOMPARE(m_seam.errors, QStringList{"Failed to get data for 'GridLine'"});
    QVERIFY(!form->ToolBarVisible()); // read before the failure: applied
    QCOMPARE(form->GridLineWidth(), 0); // from the failure on: designed values
    QCOMPARE(form->GridFont().name, QByteArray("MS Sans Serif"));
    form->show();
    QVERIFY(form->isVisible());
}

void TestMainSettings::failedWriteKeepsWindowOpen()
{
    auto form = NewForm();
    form->show();
    {
        // A disk that takes no more bytes, whoever runs the test.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit none = saved;
        none.rlim_cur = 1;
        setrlimit(RLIMIT_FSIZE, &none);
        const bool closed = form->close();
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!closed);
    }
    QVERIFY(form->isVisible());
    QCOMPARE(m_seam.errors, QStringList{"Failed to set data for 'Top'"});
    QVERIFY(form->close()); // closing again repeats the save, which now succeeds
    QVERIFY(QFile::exists(Store()));
}

void TestMainSettings::unopenableStoreStillCloses()
{
    // A folder where the store's file goes: nothing can be stored, and the program still ends.
    auto form = NewForm();
    form->show();
    QVERIFY(QDir().mkpath(Store()));
    QVERIFY(form->close());
    QVERIFY(m_seam.errors.isEmpty());
}

QUILLMAR_GUI_TEST_MAIN(TestMainSettings)
#include "tst_mainsettings.moc"
