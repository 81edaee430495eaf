#include "about.h"
#include "fakeseam.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

class TestAboutForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void versionLine();
    void bannerFitsItsArea();
    void addressesShownWhole();
    void hoverUnderlines_data();
    void hoverUnderlines();
    void hidingReleasesThePointer();
    void clickOpensAddress_data();
    void clickOpensAddress();

private:
    QLabel* Label(const QString& name) const { return m_form->findChild<QLabel*>(name); }
    // Pointer events go through the window, as the platform delivers them, so a label's mouse
    // grab decides who hears them.
    QPoint InWindow(QLabel* label, QPoint pos) const { return label->mapTo(m_form, pos); }
    void MoveTo(QLabel* label, QPoint pos)
    {
        QTest::mouseMove(m_form->windowHandle(), InWindow(label, pos));
    }

    FakeSeam m_seam;
    TAboutForm* m_form = nullptr;
};

void TestAboutForm::init()
{
    m_seam.openedUrls.clear();
    m_seam.errors.clear();
    m_form = new TAboutForm(m_seam);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestAboutForm::cleanup()
{
    delete m_form;
    m_form = nullptr;
}

void TestAboutForm::versionLine()
{
    QLabel* label = m_form->VersionLabel();
    QCOMPARE(label->text(), QStringLiteral("Version 1.4.0 (build 26) "));
    QVERIFY(label->alignment() & Qt::AlignHCenter);
    // Centred in the dialog's width, not merely in a label that hugs its text.
    const QRect r = label->geometry();
    QVERIFY(qAbs(r.left() - (m_form->width() - r.right() - 1)) <= 2);
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= r.width());
}

void TestAboutForm::bannerFitsItsArea()
{
    const QImage banner(QStringLiteral(":/images/banner.png"));
    QCOMPARE(banner.size(), QSize(222, 80));
    QVERIFY(!banner.hasAlphaChannel());

    QLabel* image = m_form->Image();
    const QPixmap shown = image->pixmap();
    QVERIFY(!shown.isNull());
    QVERIFY(shown.deviceIndependentSize().width() <= image->width());
    QVERIFY(shown.deviceIndependentSize().height() <= image->height());
    QVERIFY(image->alignment() & Qt::AlignHCenter);
}

void TestAboutForm::addressesShownWhole()
{
    for (QLabel* label : {m_form->HttpLabel(), m_form->MailLabel()}) {
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QVERIFY(m_form->rect().contains(label->geometry()));
    }
    // The wider dialog keeps its banner centred.
    const QRect image = m_form->Image()->geometry();
    QVERIFY(qAbs(image.left() - (m_form->width() - image.right() - 1)) <= 1);
}

void TestAboutForm::hoverUnderlines_data()
{
    // Where the pointer goes after hovering over the label's middle. The point is relative to
    // the label's left or right edge and to its top or bottom edge.
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("xFromRight");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("yFromBottom");
    QTest::addColumn<bool>("underlined");

    for (const char* label : {"HttpLabel", "MailLabel"}) {
        auto row = [label](const char* name) { return &QTest::addRow("%s %s", label, name); };
        *row("top left pixel") << label << 0 << false << 0 << false << true;
        *row("bottom right pixel") << label << -1 << true << -1 << true << true;
        *row("on the right edge") << label << 0 << true << 5 << false << false;
        *row("on the bottom edge") << label << 5 << false << 0 << true << false;
        *row("left of it") << label << -1 << false << 5 << false << false;
        *row("above it") << label << 5 << false << -1 << false << false;
        // One event from the middle to far outside the dialog: only the grab can tell.
        *row("jump off the dialog") << label << -400 << false << -300 << false << false;
    }
}

void TestAboutForm::hoverUnderlines()
{
    QFETCH(QString, label);
    QFETCH(int, x);
    QFETCH(bool, xFromRight);
    QFETCH(int, y);
    QFETCH(bool, yFromBottom);
    QFETCH(bool, underlined);

    QLabel* hovered = Label(label);
    QLabel* other = hovered == m_form->HttpLabel() ? m_form->MailLabel() : m_form->HttpLabel();
    const QFont plain = hovered->font();
    QVERIFY(!plain.underline());

    MoveTo(hovered, hovered->rect().center());
    QVERIFY(hovered->font().underline());
    QVERIFY(!other->font().underline());

    const QPoint to(xFromRight ? hovered->width() + x : x, yFromBottom ? hovered->height() + y : y);
    MoveTo(hovered, to);
    QCOMPARE(hovered->font().underline(), underlined);
    QVERIFY(!other->font().underline());

    // Nothing but the underline changes.
    QFont font = hovered->font();
    font.setUnderline(false);
    QCOMPARE(font, plain);
}

void TestAboutForm::hidingReleasesThePointer()
{
    QLabel* label = m_form->MailLabel();
    MoveTo(label, label->rect().center());
    QCOMPARE(QWidget::mouseGrabber(), label);

    m_form->hide();
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    QVERIFY(!label->font().underline());
}

void TestAboutForm::clickOpensAddress_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("releasedOnLabel");
    QTest::addColumn<QString>("opened");

    QTest::newRow("web address") << "HttpLabel" << true << "https://quillmar.example.org/";
    QTest::newRow("mail address") << "MailLabel" << true << "mailto:quillmar@example.org";
    QTest::newRow("released off the label") << "MailLabel" << false << "";
}

void TestAboutForm::clickOpensAddress()
{
    QFETCH(QString, label);
    QFETCH(bool, releasedOnLabel);
    QFETCH(QString, opened);

    QLabel* clicked = Label(label);
    QWindow* window = m_form->windowHandle();
    const QPoint middle = InWindow(clicked, clicked->rect().center());
    MoveTo(clicked, clicked->rect().center());
    QTest::mousePress(window, Qt::LeftButton, {}, middle);
    const QPoint release = releasedOnLabel ? middle : InWindow(clicked, {clicked->width() + 3, 0});
    QTest::mouseMove(window, release);
    QTest::mouseRelease(window, Qt::LeftButton, {}, release);

    const QList<QUrl> expected = opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)};
    QCOMPARE(m_seam.openedUrls, expected);
    QVERIFY(m_form->isVisible());
}

QTEST_MAIN(TestAboutForm)
#include "tst_aboutform.moc"
