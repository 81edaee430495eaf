#include "find.h"
#include "formscale.h"
#include "modal.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestFindForm : public QObject
{
    Q_OBJECT
private slots:
    void firstOpening();
    void enableRule_data();
    void enableRule();
    void modalResult_data();
    void modalResult();
    void keepsContentsBetweenUses();
};

void TestFindForm::firstOpening()
{
    TFindForm form;
    QWidget* focused = nullptr;
    bool isDefault = false;
    QPoint at;
    QList<QWidget*> tabOrder;
    WhenModal([&](QWidget*) {
        focused = form.focusWidget();
        isDefault = form.FindButton()->isDefault();
        at = form.pos();
        // The tab order: every widget that Tab stops at, from the text box on.
        QWidget* w = form.FindEdit();
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                tabOrder << w;
            w = w->nextInFocusChain();
        } while (w != form.FindEdit());
        form.reject();
    });
    form.exec();

    QCOMPARE(focused, form.FindEdit());
    const FormScale px(&form);
    QCOMPARE(at, px(QPoint(320, 157)));
    const QList<QWidget*> expected{form.FindEdit(),    form.FindButton(),    form.CloseButton(),
                                   form.OriginalBox(), form.TranslatedBox(), form.RegistryBox(),
                                   form.MaskOrdBox()};
    QCOMPARE(tabOrder, expected);
    QVERIFY(isDefault);
    QCOMPARE(form.FindButton()->text(), QStringLiteral("Find"));
    QVERIFY(form.FindInOriginal());
    QVERIFY(form.FindInTranslated());
    QVERIFY(!form.CaseSensitive());
    QVERIFY(!form.MasksAsOrdinary());
    QVERIFY(!form.HasSearchText());
    QVERIFY(!form.FindNextAction()->isEnabled());
}

void TestFindForm::enableRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("tab, control character, blank") << "\t\x01 " << false;
    QTest::newRow("word between blanks") << " the " << true;
    QTest::newRow("one character") << "x" << true;
    QTest::newRow("lone star") << "*" << true;
    // Above U+0020, so it is text to search for, although Qt would call it white space.
    QTest::newRow("no-break space") << QStringLiteral("\u00a0") << true;
}

void TestFindForm::enableRule()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    TFindForm form;
    form.FindEdit()->setText(QStringLiteral("something"));
    QVERIFY(form.FindButton()->isEnabled());
    form.FindEdit()->setText(text);
    QCOMPARE(form.FindNextAction()->isEnabled(), enabled);
    QCOMPARE(form.FindButton()->isEnabled(), enabled);
    QCOMPARE(form.HasSearchText(), enabled);
    QCOMPARE(form.FindText(), text);
}

void TestFindForm::modalResult_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");

    QTest::newRow("Find button") << "abc"
                                 << "find" << int(QDialog::Accepted);
    QTest::newRow("Enter") << "abc"
                           << "enter" << int(QDialog::Accepted);
    QTest::newRow("Close button") << "abc"
                                  << "close" << int(QDialog::Rejected);
    QTest::newRow("close box") << "abc"
                               << "close box" << int(QDialog::Rejected);
    QTest::newRow("Esc") << "abc"
                         << "esc" << int(QDialog::Rejected);
    // Enter with nothing to search for does nothing; the step then closes with "Close".
    QTest::newRow("Enter on blanks") << "  "
                                     << "enter" << int(QDialog::Rejected);
}

void TestFindForm::modalResult()
{
    QFETCH(QString, text);
    QFETCH(QString, how);
    QFETCH(int, result);

    TFindForm form;
    bool openAfterStep = false;
    WhenModal([&](QWidget*) {
        QTest::keyClicks(form.FindEdit(), text);
        if (how == QLatin1String("find"))
            QTest::mouseClick(form.FindButton(), Qt::LeftButton);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(form.FindEdit(), Qt::Key_Return);
        else if (how == QLatin1String("close"))
            QTest::mouseClick(form.CloseButton(), Qt::LeftButton);
        else if (how == QLatin1String("close box"))
            form.close();
        else if (how == QLatin1String("esc"))
            QTest::keyClick(form.FindEdit(), Qt::Key_Escape);
        openAfterStep = form.isVisible();
        if (openAfterStep)
            QTest::mouseClick(form.CloseButton(), Qt::LeftButton);
    });
    QCOMPARE(form.exec(), result);
    QCOMPARE(openAfterStep, !form.HasSearchText());
    QVERIFY(!form.isVisible());
}

void TestFindForm::keepsContentsBetweenUses()
{
    TFindForm form;
    WhenModal([&](QWidget*) {
        QTest::keyClicks(form.FindEdit(), QStringLiteral(" The *"));
        // On the box itself: the rest of a check box's width does not react.
        for (QCheckBox* box : {form.OriginalBox(), form.RegistryBox(), form.MaskOrdBox()})
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        form.CloseButton()->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(form.CloseButton(), Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));

    // What the next "Find again" reads, although no search ran.
    QCOMPARE(form.FindText(), QStringLiteral(" The *"));
    QVERIFY(!form.FindInOriginal());
    QVERIFY(form.FindInTranslated());
    QVERIFY(form.CaseSensitive());
    QVERIFY(form.MasksAsOrdinary());
    QVERIFY(form.HasSearchText());

    // And the dialog opens again as it was left.
    // The focus goes back to the text, selected, although "Close" had it last.
    QString shownText, selectedText;
    bool findEnabled = false;
    QWidget* focused = nullptr;
    WhenModal([&](QWidget*) {
        shownText = form.FindEdit()->text();
        selectedText = form.FindEdit()->selectedText();
        findEnabled = form.FindButton()->isEnabled();
        focused = form.focusWidget();
        QTest::keyClick(focused, Qt::Key_Return);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(shownText, QStringLiteral(" The *"));
    QCOMPARE(selectedText, shownText);
    QCOMPARE(focused, form.FindEdit());
    QVERIFY(findEnabled);
    QVERIFY(!form.FindInOriginal());
}

QTEST_MAIN(TestFindForm)
#include "tst_findform.moc"
