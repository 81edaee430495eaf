#include "gridfont.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QTest>

#include <climits>

Q_DECLARE_METATYPE(GridFontSettings)

namespace {

QString Describe(const GridFontSettings& f)
{
    return QStringLiteral("'%1' charset %2 color %3 pitch %4 size %5 styles %6%7%8%9")
        .arg(QString::fromLocal8Bit(f.name))
        .arg(f.charset)
        .arg(f.color, 8, 16, QChar(u'0'))
        .arg(f.pitch)
        .arg(f.size)
        .arg(f.bold ? "B" : "-", f.italic ? "I" : "-", f.underline ? "U" : "-",
             f.strikeOut ? "S" : "-");
}

// A palette in which every role has a colour of its own.
QPalette DistinctPalette()
{
    QPalette palette;
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        palette.setColor(QPalette::ColorRole(role), QColor(role * 8, 255 - role * 8, 100));
    return palette;
}

GridFontSettings Font(const char* name, int pitch, int size, int charset = 1,
                      quint32 color = 0x80000008)
{
    GridFontSettings font;
    font.name = name;
    font.pitch = pitch;
    font.size = size;
    font.charset = charset;
    font.color = color;
    return font;
}

} // namespace

class TestSettingsFont : public QObject
{
    Q_OBJECT
private slots:
    void toQFontSize_data();
    void toQFontSize();
    void toQFontFaceAndStyles();
    void toQColor_data();
    void toQColor();
    void fromQColor_data();
    void fromQColor();
    void unchangedRoundTrip_data();
    void unchangedRoundTrip();
    void chosenFont_data();
    void chosenFont();
};

void TestSettingsFont::toQFontSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("pixelSize");

    QTest::newRow("points") << 12 << 96.0 << 12 << -1;
    QTest::newRow("designed cell height at 120 dpi") << -8 << 120.0 << -1 << 13;
    QTest::newRow("cell height rounded") << -8 << 96.0 << -1 << 11;
    QTest::newRow("cell height at 72 dpi") << -13 << 72.0 << -1 << 13;
    QTest::newRow("tiny cell height still a pixel") << -1 << 24.0 << -1 << 1;
    QTest::newRow("absurd point size") << 100000 << 96.0 << 4096 << -1;
    QTest::newRow("most negative size") << INT_MIN << 96.0 << -1 << 4096;
}

void TestSettingsFont::toQFontSize()
{
    QFETCH(int, size);
    QFETCH(qreal, dpi);
    QFETCH(int, pointSize);
    QFETCH(int, pixelSize);
    const QFont font = ToQFont(Font("MS Sans Serif", 1, size), dpi);
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.pixelSize(), pixelSize);
}

void TestSettingsFont::toQFontFaceAndStyles()
{
    GridFontSettings stored = Font("Courier New", 2, 10);
    stored.bold = stored.strikeOut = true;
    QFont font = ToQFont(stored, 96);
    QCOMPARE(font.family(), QStringLiteral("Courier New"));
    QVERIFY(font.fixedPitch());
    QCOMPARE(font.styleHint(), QFont::Monospace);
    QVERIFY(font.bold() && font.strikeOut() && !font.italic() && !font.underline());

    stored = Font("", 1, 0);
    stored.italic = stored.underline = true;
    font = ToQFont(stored, 96);
    // No face name and no size: Qt's default font, with the styles asked for.
    QCOMPARE(font.family(), QFont().family());
    QCOMPARE(font.pointSizeF(), QFont().pointSizeF());
    QVERIFY(!font.fixedPitch());
    QVERIFY(!font.bold() && !font.strikeOut() && font.italic() && font.underline());
}

void TestSettingsFont::toQColor_data()
{
    QTest::addColumn<quint32>("color");
    QTest::addColumn<QColor>("expected");

    const QPalette palette = DistinctPalette();
    QTest::newRow("red is the low byte") << quint32(0x000000FF) << QColor(255, 0, 0);
    QTest::newRow("blue is the third byte") << quint32(0x00FF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << quint32(0x00336699) << QColor(0x99, 0x66, 0x33);
    QTest::newRow("window text") << quint32(0x80000008) << palette.color(QPalette::WindowText);
    QTest::newRow("window") << quint32(0x80000005) << palette.color(QPalette::Base);
    QTest::newRow("highlight") << quint32(0x8000000D) << palette.color(QPalette::Highlight);
    QTest::newRow("highlight text")
        << quint32(0x8000000E) << palette.color(QPalette::HighlightedText);
    QTest::newRow("button face") << quint32(0x8000000F) << palette.color(QPalette::Button);
    QTest::newRow("button text") << quint32(0x80000012) << palette.color(QPalette::ButtonText);
    QTest::newRow("unknown index") << quint32(0x800000FF) << palette.color(QPalette::WindowText);
    QTest::newRow("index in the low byte only")
        << quint32(0x80000105) << palette.color(QPalette::Base);
}

void TestSettingsFont::toQColor()
{
    QFETCH(quint32, color);
    QFETCH(QColor, expected);
    QCOMPARE(ToQColor(color, DistinctPalette()), expected);
}

void TestSettingsFont::fromQColor_data()
{
    QTest::addColumn<QColor>("chosen");
    QTest::addColumn<quint32>("previous");
    QTest::addColumn<quint32>("expected");

    const QPalette palette = DistinctPalette();
    QTest::newRow("system colour kept")
        << palette.color(QPalette::WindowText) << quint32(0x80000008) << quint32(0x80000008);
    QTest::newRow("explicit colour kept")
        << QColor(0x99, 0x66, 0x33) << quint32(0x00336699) << quint32(0x00336699);
    QTest::newRow("other colour stored explicitly")
        << QColor(0x12, 0x34, 0x56) << quint32(0x80000008) << quint32(0x00563412);
    const QColor base = palette.color(QPalette::Base);
    QTest::newRow("another role's colour is explicit")
        << base << quint32(0x80000008)
        << quint32(base.red() | base.green() << 8 | base.blue() << 16);
}

void TestSettingsFont::fromQColor()
{
    QFETCH(QColor, chosen);
    QFETCH(quint32, previous);
    QFETCH(quint32, expected);
    QCOMPARE(FromQColor(chosen, previous, DistinctPalette()), expected);
}

void TestSettingsFont::unchangedRoundTrip_data()
{
    QTest::addColumn<GridFontSettings>("stored");
    QTest::addColumn<qreal>("dpi");

    QTest::newRow("designed at 120 dpi") << DesignedGridFont() << 120.0;
    QTest::newRow("designed at 96 dpi") << DesignedGridFont() << 96.0;
    QTest::newRow("designed at 144 dpi") << DesignedGridFont() << 144.0;
    QTest::newRow("points, charset and colour")
        << Font("DejaVu Sans", 1, 11, 204, 0x00336699) << 96.0;
    GridFontSettings styled = Font("Noto Mono", 0, -7, 0, 0x80000012);
    styled.bold = styled.italic = styled.underline = styled.strikeOut = true;
    QTest::newRow("default pitch, styles") << styled << 96.0;
    QTest::newRow("fixed pitch asked of a proportional face")
        << Font("MS Sans Serif", 2, 9, 238) << 96.0;
    QTest::newRow("variable pitch asked of a fixed face") << Font("DejaVu Sans Mono", 1, 9) << 96.0;
    QTest::newRow("no face name, no size") << Font("", 1, 0) << 96.0;
    QTest::newRow("absurd size") << Font("MS Sans Serif", 1, -100000) << 96.0;
}

void TestSettingsFont::unchangedRoundTrip()
{
    QFETCH(GridFontSettings, stored);
    QFETCH(qreal, dpi);
    const QPalette palette = DistinctPalette();
    const GridFontSettings saved =
        FromQFont(ToQFont(stored, dpi), ToQColor(stored.color, palette), stored, palette, dpi);
    QCOMPARE(Describe(saved), Describe(stored));
}

void TestSettingsFont::chosenFont_data()
{
    QTest::addColumn<GridFontSettings>("previous");
    QTest::addColumn<QFont>("chosen");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<GridFontSettings>("expected");

    const QPalette palette = DistinctPalette();
    const QColor windowText = palette.color(QPalette::WindowText);
    const GridFontSettings designed = DesignedGridFont();

    QTest::newRow("fixed-pitch face in points") << designed << QFont("DejaVu Sans Mono", 10)
                                                << windowText << Font("DejaVu Sans Mono", 2, 10);
    QTest::newRow("proportional face after a fixed one")
        << Font("DejaVu Sans Mono", 2, 10, 204) << QFont("DejaVu Sans", 10) << windowText
        << Font("DejaVu Sans", 1, 10, 204);
    QFont pixels("MS Sans Serif");
    pixels.setPixelSize(16);
    QTest::newRow("pixel size is a negative size")
        << designed << pixels << windowText << Font("MS Sans Serif", 1, -12);
    QFont styled = ToQFont(designed, 96);
    styled.setBold(true);
    styled.setUnderline(true);
    GridFontSettings styledExpected = Font("MS Sans Serif", 1, -8, 1, 0x000000FF);
    styledExpected.bold = styledExpected.underline = true;
    QTest::newRow("styles and colour only")
        << designed << styled << QColor(Qt::red) << styledExpected;
}

void TestSettingsFont::chosenFont()
{
    QFETCH(GridFontSettings, previous);
    QFETCH(QFont, chosen);
    QFETCH(QColor, color);
    QFETCH(GridFontSettings, expected);
    QCOMPARE(Describe(FromQFont(chosen, color, previous, DistinctPalette(), 96)),
             Describe(expected));
}

QTEST_MAIN(TestSettingsFont)
#include "tst_settingsfont.moc"
