#include "formsettings.h"
#include "registry.h"
#include "temporarystore.h"

#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(GridFontSettings)

namespace {

// The main window as far as its settings go: it starts with the designed values and logs every
// setting applied to it, in order, as "Name=value".
class FakeTarget : public SettingsTarget
{
public:
    QRect bounds{0, 0, 600, 400};
    bool toolBar = true;
    int gridLine = 0;
    bool showOriginal = false;
    GridFontSettings font = DesignedGridFont();
    QStringList log;

    QRect WindowBounds() const override { return bounds; }
    void SetWindowTop(int top) override
    {
        bounds.moveTop(top);
        Log("Top", top);
    }
    void SetWindowLeft(int left) override
    {
        bounds.moveLeft(left);
        Log("Left", left);
    }
    void SetWindowWidth(int width) override
    {
        bounds.setWidth(width);
        Log("Width", width);
    }
    void SetWindowHeight(int height) override
    {
        bounds.setHeight(height);
        Log("Height", height);
    }
    bool ToolBarVisible() const override { return toolBar; }
    void SetToolBarVisible(bool visible) override
    {
        toolBar = visible;
        Log("ToolBar", visible);
    }
    int GridLineWidth() const override { return gridLine; }
    void SetGridLineWidth(int width) override
    {
        gridLine = width;
        Log("GridLine", width);
    }
    bool ShowOriginal() const override { return showOriginal; }
    void SetShowOriginal(bool show) override
    {
        showOriginal = show;
        Log("ShowOriginal", show);
    }
    GridFontSettings GridFont() const override { return font; }
    void SetGridFont(const GridFontSettings& changed) override
    {
        // One entry per field changed, so that a call changing several or none stands out.
        QStringList fields = Describe(changed);
        const QStringList before = Describe(font);
        for (qsizetype i = fields.size() - 1; i >= 0; --i) {
            if (fields[i] == before[i])
                fields.removeAt(i);
        }
        log += fields.isEmpty() ? QStringLiteral("Font unchanged") : fields.join(u' ');
        font = changed;
    }
    QStringList State() const
    {
        QStringList state{QStringLiteral("bounds %1 %2 %3 %4")
                              .arg(bounds.left())
                              .arg(bounds.top())
                              .arg(bounds.width())
                              .arg(bounds.height()),
                          QStringLiteral("toolBar %1").arg(int(toolBar)),
                          QStringLiteral("gridLine %1").arg(gridLine),
                          QStringLiteral("showOriginal %1").arg(int(showOriginal))};
        return state + Describe(font);
    }

private:
    static QStringList Describe(const GridFontSettings& f)
    {
        return {"Font.name=" + QString::fromLatin1(f.name),
                QStringLiteral("Font.charset=%1").arg(f.charset),
                QStringLiteral("Font.color=%1").arg(f.color, 0, 16),
                QStringLiteral("Font.pitch=%1").arg(f.pitch),
                QStringLiteral("Font.size=%1").arg(f.size),
                QStringLiteral("Font.bold=%1").arg(int(f.bold)),
                QStringLiteral("Font.italic=%1").arg(int(f.italic)),
                QStringLiteral("Font.underline=%1").arg(int(f.underline)),
                QStringLiteral("Font.strikeOut=%1").arg(int(f.strikeOut))};
    }
    void Log(const char* name, int value)
    {
        log += QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(value);
    }
};

// Every value stored, each one different from its designed value, in the order they are read.
const QByteArrayList StoredValues = {
    "Top=dword:0000000a",
    "Left=dword:00000014",
    "Width=dword:000002bc",
    "Height=dword:000001f4",
    "ToolBar=dword:00000000",
    "GridLine=dword:00000001",
    "ShowKeys=dword:00000000",
    "FontName=\"DejaVu Sans\"",
    "FontChar=dword:000000cc",
    "FontColor=dword:000000ff",
    "FontPitch=dword:00000002",
    "FontSize=dword:0000000a",
    "FontStyleBold=dword:00000001",
    "FontStyleItalic=dword:00000001",
    "FontStyleUnder=dword:00000001",
    "FontStyleStrike=dword:00000001",
    // Stored by earlier versions, which kept the encoding chosen for every later document.
    "Encoding=\"windows-1251\"",
};

// What loading StoredValues applies.
const QStringList AppliedValues = {
    "Top=10",           "Left=20",       "Width=700",        "Height=500",
    "ToolBar=0",        "GridLine=1",    "ShowOriginal=1",   "Font.name=DejaVu Sans",
    "Font.charset=204", "Font.color=ff", "Font.pitch=2",     "Font.size=10",
    "Font.bold=1",      "Font.italic=1", "Font.underline=1", "Font.strikeOut=1",
};

// `entries` with each of `changes` in place of the entry of the same name: "Name=value" replaces
// it, a bare "Name" removes it.
template <typename List> List Changed(List entries, const List& changes)
{
    for (const auto& change : changes) {
        const qsizetype equals = change.indexOf('=');
        const auto name = (equals < 0 ? change : change.left(equals)) + '=';
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (entries[i].startsWith(name)) {
                if (equals >= 0)
                    entries[i] = change;
                else
                    entries.removeAt(i);
                break;
            }
        }
    }
    return entries;
}

// The value lines of a file for "Name=data" entries.
QByteArray ValueLines(const QByteArrayList& values)
{
    QByteArray lines;
    for (const QByteArray& value : values) {
        const qsizetype equals = value.indexOf('=');
        lines += '"' + value.left(equals) + '"' + value.mid(equals) + '\n';
    }
    return lines;
}

const QString P = QStringLiteral("Software/Pellovant/Quillmar/");

} // namespace

class TestFormSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void roundTrip_data();
    void roundTrip();
    void firstRun();
    void loadedValues_data();
    void loadedValues();
    void failedRead_data();
    void failedRead();
    void damagedFile();
    void failedWrite();
    void unreadableStore();

private:
    std::unique_ptr<TemporaryStore> m_store;
};

void TestFormSettings::init()
{
    m_store = std::make_unique<TemporaryStore>();
    QVERIFY(m_store->isTemporary());
}

void TestFormSettings::roundTrip_data()
{
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<bool>("toolBar");
    QTest::addColumn<int>("gridLine");
    QTest::addColumn<bool>("showOriginal");
    QTest::addColumn<GridFontSettings>("font");

    GridFontSettings chosen{"DejaVu Sans Mono", 204, 0x00336699, 2, 11, true, false, true, false};
    QTest::newRow("original text shown, off-screen window")
        << QRect(-1920, -30, 1024, 700) << false << 1 << true << chosen;
    GridFontSettings system{"Noto Mono", 0, 0x80000012, 0, -13, false, true, false, true};
    QTest::newRow("keys shown, system colour, cell height")
        << QRect(100, 50, 600, 400) << true << 0 << false << system;
    QTest::newRow("designed font") << QRect(0, 0, 1, 1) << true << 7 << false << DesignedGridFont();
}

void TestFormSettings::roundTrip()
{
    FakeTarget closed;
    QFETCH(QRect, bounds);
    closed.bounds = bounds;
    QFETCH(bool, toolBar);
    closed.toolBar = toolBar;
    QFETCH(int, gridLine);
    closed.gridLine = gridLine;
    QFETCH(bool, showOriginal);
    closed.showOriginal = showOriginal;
    QFETCH(GridFontSettings, font);
    closed.font = font;

    SaveFormSettings(closed);
    const auto stored = m_store->readValues();
    QCOMPARE(stored.size(), 16);
    // Keys shown is what is stored.
    QCOMPARE(stored.value(P + "ShowKeys").value<RegistryValue>().data,
             QByteArray(showOriginal ? "\0\0\0\0" : "\1\0\0\0", 4));

    FakeTarget started;
    LoadFormSettings(started);
    QCOMPARE(started.State(), closed.State());
}

void TestFormSettings::firstRun()
{
    FakeTarget started;
    const QStringList designed = started.State();
    LoadFormSettings(started);
    QCOMPARE(started.log, QStringList());
    QCOMPARE(started.State(), designed);
    QVERIFY(!QFileInfo::exists(m_store->fileName()));

    SaveFormSettings(started);
    QStringList names = m_store->readValues().keys();
    for (QString& name : names)
        name.remove(P);
    names.sort();
    QStringList expected{"FontChar",
                         "FontColor",
                         "FontName",
                         "FontPitch",
                         "FontSize",
                         "FontStyleBold",
                         "FontStyleItalic",
                         "FontStyleStrike",
                         "FontStyleUnder",
                         "GridLine",
                         "Height",
                         "Left",
                         "ShowKeys",
                         "ToolBar",
                         "Top",
                         "Width"};
    QCOMPARE(names, expected);
}

void TestFormSettings::loadedValues_data()
{
    QTest::addColumn<QByteArrayList>("stored");
    QTest::addColumn<QStringList>("applied");

    QTest::newRow("everything") << QByteArrayList() << QStringList();
    QTest::newRow("any non-zero flag is true")
        << QByteArrayList{"ToolBar=dword:ffffffff", "ShowKeys=dword:00000002",
                          "FontStyleBold=dword:00000002"}
        << QStringList{"ToolBar=1", "ShowOriginal=0", "Font.bold=1"};
    QTest::newRow("window values applied as they are")
        << QByteArrayList{"Top=dword:ffff8300", "Width=dword:00000000", "GridLine=dword:00000007"}
        << QStringList{"Top=-32000", "Width=0", "GridLine=7"};
    QTest::newRow("character set and pitch keep their low byte")
        << QByteArrayList{"FontChar=dword:0000012c", "FontPitch=dword:00000102"}
        << QStringList{"Font.charset=44", "Font.pitch=2"};
    QTest::newRow("colour and size as they are")
        << QByteArrayList{"FontColor=dword:80000005", "FontSize=dword:fffffff3"}
        << QStringList{"Font.color=80000005", "Font.size=-13"};
    QTest::newRow("face name cut to 31 characters")
        << QByteArrayList{"FontName=\"A face name of forty characters, ending\""}
        << QStringList{"Font.name=A face name of forty characters"};
    // No font change for the face name, and reading goes on with the character set.
    QTest::newRow("empty face name keeps the face")
        << QByteArrayList{"FontName=\"\""} << QStringList{"Font.name"};
    QTest::newRow("missing face name keeps the face")
        << QByteArrayList{"FontName"} << QStringList{"Font.name"};
    QTest::newRow("expandable string read as it is")
        << QByteArrayList{"FontName=hex(2):25,58,25,00"} << QStringList{"Font.name=%X%"};
    // The encoding is chosen for the open document only: an earlier version's value, whatever
    // its type, is left alone.
    QTest::newRow("old encoding as an integer ignored")
        << QByteArrayList{"Encoding=dword:00000000"} << QStringList();
    QTest::newRow("old encoding missing") << QByteArrayList{"Encoding"} << QStringList();
}

void TestFormSettings::loadedValues()
{
    QFETCH(QByteArrayList, stored);
    QFETCH(QStringList, applied);
    m_store->writeValues(ValueLines(Changed(StoredValues, stored)));

    FakeTarget started;
    LoadFormSettings(started);
    QCOMPARE(started.log, Changed(AppliedValues, applied));
}

void TestFormSettings::failedRead_data()
{
    QTest::addColumn<QByteArrayList>("stored");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("appliedBefore");

    QTest::newRow("only the first five values")
        << QByteArrayList{"GridLine",        "ShowKeys",       "FontName",        "FontChar",
                          "FontColor",       "FontPitch",      "FontSize",        "FontStyleBold",
                          "FontStyleItalic", "FontStyleUnder", "FontStyleStrike", "Encoding"}
        << "Failed to get data for 'GridLine'" << 5;
    QTest::newRow("Top missing") << QByteArrayList{"Top"} << "Failed to get data for 'Top'" << 0;
    QTest::newRow("Top as a short string")
        << QByteArrayList{"Top=\"100\""} << "Invalid data type for 'Top'" << 0;
    QTest::newRow("Top as a long string")
        << QByteArrayList{"Top=\"1000\""} << "Failed to get data for 'Top'" << 0;
    QTest::newRow("Top damaged") << QByteArrayList{"Top=dword:1O"} << "Failed to get data for 'Top'"
                                 << 0;
    QTest::newRow("FontName as an integer")
        << QByteArrayList{"FontName=dword:00000001"} << "Invalid data type for 'FontName'" << 7;
    QTest::newRow("font fields apply one by one")
        << QByteArrayList{"FontSize"} << "Failed to get data for 'FontSize'" << 11;
    QTest::newRow("last style as a string") << QByteArrayList{"FontStyleStrike=\"1\""}
                                            << "Invalid data type for 'FontStyleStrike'" << 15;
}

void TestFormSettings::failedRead()
{
    QFETCH(QByteArrayList, stored);
    QFETCH(QString, error);
    QFETCH(int, appliedBefore);
    m_store->writeValues(ValueLines(Changed(StoredValues, stored)));

    FakeTarget started;
    try {
        LoadFormSettings(started);
        QFAIL("loading did not fail");
    } catch (const ERegistryException& e) {
        QCOMPARE(e.Message(), error);
    }
    QCOMPARE(started.log, AppliedValues.first(appliedBefore));
}

void TestFormSettings::damagedFile()
{
    // A hand-edited file: junk, binary bytes and other keys around the values, which still load.
    QByteArray content =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n"
        "\"Top\"=dword:00000001\n"
        "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\n";
    for (const QByteArray& line : ValueLines(StoredValues).split('\n')) {
        content += line + '\n';
        content += QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + "\n\"Top\"=dword:\nTop=5\n";
    }
    m_store->writeFile(content +
                       "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar\\Sub]\n\"Top\"=\"x\"\n");

    FakeTarget started;
    LoadFormSettings(started);
    QCOMPARE(started.log, AppliedValues);
}

void TestFormSettings::failedWrite()
{
    QFile blocker(QFileInfo(m_store->fileName()).path());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    FakeTarget closing;
    try {
        SaveFormSettings(closing);
        QFAIL("saving did not fail");
    } catch (const ERegistryException& e) {
        QCOMPARE(e.Message(), QStringLiteral("Failed to set data for 'Top'"));
    }
}

void TestFormSettings::unreadableStore()
{
    // A store that cannot be read is neither applied nor overwritten, and neither is an error.
    QVERIFY(QDir().mkpath(m_store->fileName()));
    FakeTarget target;
    LoadFormSettings(target);
    QCOMPARE(target.log, QStringList());
    SaveFormSettings(target);
    QVERIFY(QFileInfo(m_store->fileName()).isDir());
}

QTEST_GUILESS_MAIN(TestFormSettings)
#include "tst_formsettings.moc"
