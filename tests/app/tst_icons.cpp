#include "appicon.h"
#include "mainform.h"
#include "scriptedseam.h"
#include "testmain.h"

#include <QAction>
#include <QIcon>
#include <QToolButton>

#include <algorithm>

// The pictures the window hands to the toolkit: on a screen scaled to 200 % a 24-pixel button
// asks its icon for 48 pixels, and a picture that only has 24 gets blown up and blurred.
class TestIcons : public QObject
{
    Q_OBJECT
private slots:
    void buttonsHaveDoubleSizePictures();
    void applicationIconOffersEverySize();
};

void TestIcons::buttonsHaveDoubleSizePictures()
{
    ScriptedSeam seam;
    TMainForm form(seam);
    QList<std::pair<QString, QIcon>> icons;
    for (const QAction* action : form.findChildren<QAction*>())
        if (!action->icon().isNull())
            icons.append({action->objectName(), action->icon()});
    QVERIFY2(icons.size() > 1, "the menus show pictures");
    const auto* hide = form.findChild<QToolButton*>(QStringLiteral("ToolBarButton"));
    QVERIFY(hide);
    icons.append({hide->objectName(), hide->icon()});

    for (const auto& [name, icon] : icons) {
        const QSize normal = icon.pixmap(QSize(24, 24), 1.0).size();
        const QSize doubled = icon.pixmap(QSize(24, 24), 2.0).size();
        QVERIFY2(normal == QSize(24, 24), qPrintable(name));
        QVERIFY2(doubled == QSize(48, 48),
                 qPrintable(QStringLiteral("%1 gives %2 x %3 pixels at 200 %")
                                .arg(name)
                                .arg(doubled.width())
                                .arg(doubled.height())));
    }
}

void TestIcons::applicationIconOffersEverySize()
{
    const QIcon icon = ApplicationIcon();
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    const QList<QSize> expected{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    QCOMPARE(sizes, expected);
}

QUILLMAR_GUI_TEST_MAIN(TestIcons)
#include "tst_icons.moc"
