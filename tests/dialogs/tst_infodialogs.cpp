#include "about.h"
#include "credits.h"
#include "fakeseam.h"
#include "modal.h"

#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

std::unique_ptr<TInfoForm> MakeForm(const QString& which, DialogSeam& seam)
{
    if (which == QLatin1String("about"))
        return std::make_unique<TAboutForm>(seam);
    return std::make_unique<TCreditsForm>(seam);
}

} // namespace

class TestInfoDialogs : public QObject
{
    Q_OBJECT
private slots:
    void centredFirstThenKeptWhereMoved_data();
    void centredFirstThenKeptWhereMoved();
    void okButtonLeads_data();
    void okButtonLeads();
};

void TestInfoDialogs::centredFirstThenKeptWhereMoved_data()
{
    // The main window's frame is the dialog's frame plus (dw, dh); (dx, dy) is where the
    // dialog's frame must start, relative to the main window's. Halves round toward zero, also
    // when the dialog is the larger one.
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("dw");
    QTest::addColumn<int>("dh");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");

    for (const char* which : {"about", "credits"}) {
        QTest::addRow("%s over a larger window", which) << which << 301 << 207 << 150 << 103;
        QTest::addRow("%s over a smaller window", which) << which << -5 << -9 << -2 << -4;
    }
}

void TestInfoDialogs::centredFirstThenKeptWhereMoved()
{
    QFETCH(QString, which);
    QFETCH(int, dw);
    QFETCH(int, dh);
    QFETCH(int, dx);
    QFETCH(int, dy);

    FakeSeam seam;
    // The frame the dialog will have on this platform, learnt from a twin, to size the main
    // window by it. The dialog under test must not have been shown before.
    QSize frame;
    {
        auto twin = MakeForm(which, seam);
        twin->show();
        QVERIFY(QTest::qWaitForWindowExposed(twin.get()));
        frame = twin->frameGeometry().size();
    }
    auto form = MakeForm(which, seam);

    QWidget main;
    main.move(180, 140);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QSize mainBorders = main.frameGeometry().size() - main.size();
    main.resize(frame + QSize(dw, dh) - mainBorders);
    QCOMPARE(main.frameGeometry().size(), frame + QSize(dw, dh));
    const QPoint mainAt = main.frameGeometry().topLeft();

    // First time: centred. The user then drags it elsewhere and closes it.
    QPoint first;
    const QPoint dragged = mainAt + QPoint(37, -21);
    WhenModal([&](QWidget* modal) {
        if (modal != form.get())
            return;
        first = form->frameGeometry().topLeft();
        form->move(dragged);
        form->OKButton()->click();
    });
    QCOMPARE(form->ShowModalOver(&main), int(QDialog::Accepted));
    QCOMPARE(first, mainAt + QPoint(dx, dy));

    // Second time, with the main window elsewhere: where it was left.
    main.move(mainAt + QPoint(90, 60));
    QPoint second;
    WhenModal([&](QWidget* modal) {
        if (modal != form.get())
            return;
        second = form->pos();
        form->OKButton()->click();
    });
    form->ShowModalOver(&main);
    QCOMPARE(second, dragged);
    QVERIFY(!form->isVisible());
}

void TestInfoDialogs::okButtonLeads_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("about") << "about";
    QTest::newRow("credits") << "credits";
}

void TestInfoDialogs::okButtonLeads()
{
    QFETCH(QString, which);
    FakeSeam seam;
    auto form = MakeForm(which, seam);
    QWidget main;
    main.resize(600, 400);
    main.show();

    // Focused on opening, also when something else had the focus the time before; Enter
    // presses it and the dialog closes with OK, hidden rather than destroyed.
    for (int round = 0; round < 2; ++round) {
        QWidget* focused = nullptr;
        bool isDefault = false;
        WhenModal([&](QWidget*) {
            focused = form->focusWidget();
            isDefault = form->OKButton()->isDefault();
            // Leave the focus elsewhere for the next round, as a click into the list would.
            if (round == 0)
                QTest::keyClick(form->focusWidget(), Qt::Key_Tab);
            QTest::keyClick(form->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(form->ShowModalOver(&main), int(QDialog::Accepted));
        QCOMPARE(focused, form->OKButton());
        QVERIFY(isDefault);
        QVERIFY(!form->isVisible());
    }
}

QTEST_MAIN(TestInfoDialogs)
#include "tst_infodialogs.moc"
