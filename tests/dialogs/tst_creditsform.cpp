#include "credits.h"
#include "fakeseam.h"
#include "formscale.h"

#include <QListWidget>
#include <QTest>
#include <QWindow>

class TestCreditsForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void doubleClick_data();
    void doubleClick();
    void linesShownWhole();

private:
    FakeSeam m_seam;
    TCreditsForm* m_form = nullptr;
};

void TestCreditsForm::init()
{
    m_seam.openedUrls.clear();
    m_seam.errors.clear();
    m_form = new TCreditsForm(m_seam);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestCreditsForm::cleanup()
{
    delete m_form;
    m_form = nullptr;
}

void TestCreditsForm::doubleClick_data()
{
    // row: the line double-clicked, or -1 for the empty space below the lines with nothing
    // selected. path: what follows "mailto:" in the address handed over.
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");

    QTest::newRow("first contributor") << 0 << "Quillmar translators <translators@example.org>"
                                       << "";
    QTest::newRow("second contributor") << 1 << "Quillmar developers <developers@example.org>"
                                        << "";
    QTest::newRow("empty last line") << 2 << ""
                                     << "";
    QTest::newRow("nothing selected") << -1 << ""
                                      << "List index out of bounds (-1)";
}

void TestCreditsForm::doubleClick()
{
    QFETCH(int, row);
    QFETCH(QString, path);
    QFETCH(QString, error);

    QListWidget* list = m_form->ListBox();
    QCOMPARE(list->count(), 3);
    QPoint at;
    if (row >= 0) {
        at = list->visualItemRect(list->item(row)).center();
    } else {
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        at = QPoint(last.center().x(), last.bottom() + 10);
        QVERIFY(at.y() < list->viewport()->height());
    }
    // A real double-click through the window: press and release select the line first.
    QWindow* window = m_form->windowHandle();
    QTest::mouseDClick(window, Qt::LeftButton, {}, list->viewport()->mapTo(m_form, at));

    if (error.isEmpty()) {
        QCOMPARE(m_seam.errors, QStringList());
        QCOMPARE(m_seam.openedUrls.size(), 1);
        const QUrl url = m_seam.openedUrls.first();
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(), path);
        if (path.isEmpty())
            QCOMPARE(url.toString(), QStringLiteral("mailto:"));
    } else {
        QCOMPARE(m_seam.openedUrls, QList<QUrl>());
        QCOMPARE(m_seam.errors, QStringList{error});
    }
}

void TestCreditsForm::linesShownWhole()
{
    // 16 pixels high at the design resolution, whatever the list's font would ask for, and
    // wide enough for the whole line.
    QListWidget* list = m_form->ListBox();
    const int height = FormScale(m_form)(16);
    for (int i = 0; i < list->count(); ++i) {
        const QRect r = list->visualItemRect(list->item(i));
        QCOMPARE(r.height(), height);
        QVERIFY(list->fontMetrics().horizontalAdvance(list->item(i)->text()) < r.width());
        QVERIFY(r.right() < list->viewport()->width());
    }
    QVERIFY(m_form->rect().contains(list->geometry()));
}

QTEST_MAIN(TestCreditsForm)
#include "tst_creditsform.moc"
