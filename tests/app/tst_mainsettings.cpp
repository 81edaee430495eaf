#include "../support/fixture.h"
#include "detailspane.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "registry.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>

#include <csignal>
#include <sys/resource.h>

namespace {

// Makes every write to the settings folder fail the way users meet it, until lifted.
class StoreBlock
{
public:
    enum Kind { ReadOnlyFolder, FullDisk };

    StoreBlock(Kind kind, const QString& folder) : m_kind(kind), m_folder(folder)
    {
        if (m_kind == ReadOnlyFolder) {
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner);
        } else {
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &m_saved);
            rlimit none = m_saved;
            none.rlim_cur = 1;
            setrlimit(RLIMIT_FSIZE, &none);
        }
    }
    ~StoreBlock() { Lift(); }

    /// False where the block cannot work: the superuser writes into a read-only folder.
    bool Effective() const
    {
        if (m_kind != ReadOnlyFolder)
            return true;
        QFile probe(m_folder + QStringLiteral("/probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

    void Lift()
    {
        if (m_lifted)
            return;
        m_lifted = true;
        if (m_kind == ReadOnlyFolder)
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        else
            setrlimit(RLIMIT_FSIZE, &m_saved);
    }

private:
    Kind m_kind;
    QString m_folder;
    rlimit m_saved{};
    bool m_lifted = false;
};

} // namespace

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
    void storedBoundsComeBackOnScreen_data();
    void storedBoundsComeBackOnScreen();
    void saveLayoutIsStoredOnceChosen();
    void earlierKeepLayoutStillMeansLines();
    void detailsPaneIsStoredOnceShown();
    void displayModeFromTemplateIsStored();
    void unreadableValueIsReportedAndStartContinues();
    void failedWriteKeepsWindowOpen();
    void failedSaveIsRepeatedAtEveryClose_data();
    void failedSaveIsRepeatedAtEveryClose();
    void unopenableStoreStillCloses();
    void valuesOfNoUseAreNotRead();

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
    for (const char* name :
         {"Top", "Left", "Width", "Height", "ToolBar", "GridLine", "ShowKeys", "FontName",
          "FontChar", "FontColor", "FontPitch", "FontSize", "FontStyleBold", "FontStyleItalic",
          "FontStyleUnder", "FontStyleStrike"})
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
    QCOMPARE(again->Codec().Name(), TextCodec::Locale().Name());
}

void TestMainSettings::saveLayoutIsStoredOnceChosen()
{
    // A user who never chooses one keeps the settings file as it always was.
    {
        auto form = NewForm();
        QVERIFY(form->TemplateLayoutAction()->isChecked());
        QCOMPARE(form->Document().Layout(), SaveLayout::Template);
        QVERIFY(form->close());
    }
    QFile store(Store());
    QVERIFY(store.open(QIODevice::ReadOnly));
    const QByteArray first = store.readAll();
    QVERIFY(!first.contains("KeepLayout"));
    QVERIFY(!first.contains("TranslationLayout"));
    // Each choice comes back at the next start, the one choice checked.
    const std::pair<QAction* (TMainForm::*)() const, SaveLayout> choices[] = {
        {&TMainForm::KeepLayoutAction, SaveLayout::Lines},
        {&TMainForm::TranslationLayoutAction, SaveLayout::Translation},
        {&TMainForm::KeepLayoutAction, SaveLayout::Lines},
        {&TMainForm::TemplateLayoutAction, SaveLayout::Template},
    };
    for (const auto& [action, layout] : choices) {
        {
            auto form = NewForm();
            (form.get()->*action)()->trigger();
            QCOMPARE(form->Document().Layout(), layout);
            QVERIFY(form->close());
        }
        auto again = NewForm();
        QCOMPARE(again->Document().Layout(), layout);
        QVERIFY(again->LayoutGroup()->isExclusive());
        QCOMPARE(again->LayoutGroup()->checkedAction(), (again.get()->*action)());
        QVERIFY(again->close());
    }
}

void TestMainSettings::earlierKeepLayoutStillMeansLines()
{
    // An earlier version stored the line layout as the one switch it had.
    QVERIFY(NewForm()->close());
    {
        TRegistry registry;
        QVERIFY(registry.OpenKey(QString::fromLatin1(SettingsKeyPath), false));
        registry.WriteBool(QStringLiteral("KeepLayout"), true);
    }
    {
        auto form = NewForm();
        QCOMPARE(form->Document().Layout(), SaveLayout::Lines);
        QVERIFY(form->KeepLayoutAction()->isChecked());
        form->TranslationLayoutAction()->trigger();
        QVERIFY(form->close());
    }
    // The switch now says what an earlier version can read: not the line layout.
    {
        TRegistry registry;
        QVERIFY(registry.OpenKey(QString::fromLatin1(SettingsKeyPath), false));
        QVERIFY(!registry.ReadBool(QStringLiteral("KeepLayout")));
    }
    QCOMPARE(NewForm()->Document().Layout(), SaveLayout::Translation);
}

void TestMainSettings::detailsPaneIsStoredOnceShown()
{
    // A user who never shows it keeps the settings file as it always was.
    {
        auto form = NewForm();
        form->show();
        QVERIFY(form->Details()->isHidden());
        QVERIFY(!form->ViewDetailsAction()->isChecked());
        QVERIFY(form->close());
    }
    QVERIFY(!ReadAll(Store()).contains("Details"));
    QFile::remove(Store()); // the window's size next is the one given below
    // Shown, and its height set by the splitter as a drag of its handle sets it.
    {
        auto form = NewForm();
        form->resize(700, 480);
        form->show();
        form->ViewDetailsAction()->trigger();
        QVERIFY(form->Details()->isVisible());
        QSplitter* splitter = form->DetailsSplitter();
        splitter->setSizes({splitter->height() - 220, 220});
        QCOMPARE(form->Details()->height(), 220);
        QVERIFY(form->close());
    }
    {
        auto again = NewForm();
        again->show();
        QVERIFY(again->ViewDetailsAction()->isChecked());
        QTRY_COMPARE(again->Details()->height(), 220);
        // Hidden, it keeps its height for when it is shown again.
        again->ViewDetailsAction()->trigger();
        QVERIFY(again->Details()->isHidden());
        QVERIFY(again->close());
    }
    auto third = NewForm();
    third->show();
    QVERIFY(third->Details()->isHidden());
    third->ViewDetailsAction()->trigger();
    QTRY_COMPARE(third->Details()->height(), 220);
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

void TestMainSettings::storedBoundsComeBackOnScreen_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("expected");
    // The offscreen platform's one screen, all of it available.
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(a.width() > 400 && a.height() > 300);
    QTest::newRow("on screen: as stored") << QRect(40, 50, 304, 204) << QRect(40, 50, 304, 204);
    QTest::newRow("right of and below every screen")
        << QRect(a.right() + 5000, a.bottom() + 3000, 300, 200)
        << QRect(a.right() + 1 - 300, a.bottom() + 1 - 200, 300, 200);
    QTest::newRow("left of and above every screen")
        << QRect(a.left() - 5000, a.top() - 3000, 300, 200) << QRect(a.topLeft(), QSize(300, 200));
    QTest::newRow("half over the right edge") << QRect(a.right() - 150, a.top() + 10, 300, 200)
                                              << QRect(a.right() + 1 - 300, a.top() + 10, 300, 200);
    QTest::newRow("larger than the screen: maximised elsewhere")
        << QRect(a.left() - 20, a.top() - 30, a.width() + 200, a.height() + 100) << a;
}

void TestMainSettings::storedBoundsComeBackOnScreen()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, expected);
    QVERIFY(NewForm()->close()); // a complete store
    {
        TRegistry registry;
        QVERIFY(registry.OpenKey(QString::fromLatin1(SettingsKeyPath), false));
        registry.WriteInteger(QStringLiteral("Top"), stored.top());
        registry.WriteInteger(QStringLiteral("Left"), stored.left());
        registry.WriteInteger(QStringLiteral("Width"), stored.width());
        registry.WriteInteger(QStringLiteral("Height"), stored.height());
    }
    auto form = NewForm();
    form->show();
    QTRY_COMPARE(form->WindowBounds(), expected);
    QCOMPARE(form->frameGeometry(), expected);
    QVERIFY(form->close());
    QCOMPARE(NewForm()->WindowBounds(), expected); // stored as shown: the next run starts there
}

void TestMainSettings::displayModeFromTemplateIsStored()
{
    QTemporaryDir dir;
    const QString templ =
        WriteFixture(dir, "t.php", "define(\"_A\",\"a\");\ndefine(\"_B\",\"b\");\n");
    {
        auto form = NewForm();
        QVERIFY(!form->ShowOriginal());
        m_seam.files.enqueue(templ);
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
    QVERIFY(!form->ToolBarVisible());   // read before the failure: applied
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

void TestMainSettings::failedSaveIsRepeatedAtEveryClose_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("read-only settings folder") << int(StoreBlock::ReadOnlyFolder);
    QTest::newRow("disk that takes no more bytes") << int(StoreBlock::FullDisk);
}

void TestMainSettings::failedSaveIsRepeatedAtEveryClose()
{
    QFETCH(int, kind);
    // A store that exists already: the values of a failed save stay pending in the cache the
    // settings library keeps of the file, and the next close must not take that for a store it
    // cannot read.
    QVERIFY(NewForm()->close());
    auto form = NewForm();
    form->show();
    form->SetToolBarVisible(false); // what the save that finally succeeds must store
    StoreBlock block(StoreBlock::Kind(kind), QFileInfo(Store()).path());
    if (!block.Effective())
        QSKIP("the folder's mode does not stop this user's writes (the superuser's)");
    const bool firstClosed = form->close();
    const bool secondClosed = form->close();
    block.Lift();
    QVERIFY(!firstClosed);
    QVERIFY(!secondClosed); // tried again, and failed again
    QCOMPARE(m_seam.errors, QStringList(2, QStringLiteral("Failed to set data for 'Top'")));
    QVERIFY(form->isVisible());
    QVERIFY(form->close()); // writable again: the save goes through
    QCOMPARE(m_seam.errors.size(), 2);
    QVERIFY(!NewForm()->ToolBarVisible());
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

// A store that grew values nobody uses (a damaged file, another program's, a hostile one) costs
// no more than the values the window reads: the window opens and closes at once, without the
// memory a hundred thousand values would take, and what it stores reads back.
void TestMainSettings::valuesOfNoUseAreNotRead()
{
    {
        auto form = NewForm();
        form->SetToolBarVisible(false);
        form->show();
        QVERIFY(form->close());
    }
    QByteArray text = ReadAll(Store());
    const QByteArray section = "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\n";
    QVERIFY(text.contains(section));
    QByteArray extra;
    for (int i = 0; i < 100000; ++i)
        extra += "\"Extra" + QByteArray::number(i) + "\"=\"" + QByteArray(40, 'x') + "\"\n";
    text.replace(section, section + extra);
    text += "\n[HKEY_CURRENT_USER\\Software\\Elsewhere]\n";
    for (int i = 0; i < 1000; ++i)
        text += "\"Other" + QByteArray::number(i) + "\"=dword:00000001\n";
    QFile store(Store());
    QVERIFY(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(store.write(text), text.size());
    store.close();

    QElapsedTimer timer;
    timer.start();
    {
        auto form = NewForm();
        QVERIFY(!form->ToolBarVisible());
        form->show();
        QVERIFY(form->close());
    }
    const qint64 took = timer.elapsed();
    QVERIFY2(took < 5000, qPrintable(QString::number(took)));
    QVERIFY(m_seam.errors.isEmpty());
    QVERIFY(QFileInfo(Store()).size() < 100000);
    auto again = NewForm();
    QVERIFY(m_seam.errors.isEmpty());
    QVERIFY(!again->ToolBarVisible());
}
