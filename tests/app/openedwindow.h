#pragma once
#include "../support/fixture.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// A test class whose every test function gets a fresh main window over a scripted seam and a
// folder of its own: its init() calls ShowWindow or OpenWindow, its cleanup() CloseWindow. The
// model's signals are checked against its rows for as long as the window lives.
class WindowTest : public QObject
{
protected:
    // The window, shown and active, with no document.
    void ShowWindow()
    {
        m_dir = new QTemporaryDir;
        m_seam = new ScriptedSeam;
        m_form = new TMainForm(*m_seam);
        m_tester = new QAbstractItemModelTester(
            m_form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_form->resize(800, 600);
        m_form->show();
        QApplication::setActiveWindow(m_form);
        QVERIFY(QTest::qWaitForWindowActive(m_form));
    }
    // The window with templ and translation opened through File > Open; phrases is how many
    // phrases the template must give.
    void OpenWindow(const QByteArray& templ, const QByteArray& translation, int phrases)
    {
        ShowWindow();
        if (QTest::currentTestFailed())
            return;
        m_seam->files.enqueue(WriteFixture(*m_dir, QStringLiteral("lang-english.php"), templ));
        m_seam->files.enqueue(WriteFixture(*m_dir, QStringLiteral("lang-french.php"), translation));
        m_form->FileOpenAction()->trigger();
        QCOMPARE(m_form->Document().PhraseCount(), phrases);
    }
    // Checks that the test met no chooser or question it did not script, and frees the window.
    void CloseWindow()
    {
        QCOMPARE(m_seam->unexpected, 0);
        delete m_tester;
        delete m_form;
        delete m_seam;
        delete m_dir;
        m_tester = nullptr;
        m_form = nullptr;
        m_seam = nullptr;
        m_dir = nullptr;
    }

    PhraseGrid* Grid() { return m_form->DrawGrid(); }
    PhraseTableModel* Model() { return m_form->Model(); }
    int CurrentPhrase() { return Model()->PhraseAt(Grid()->currentIndex().row()); }
    // The phrases of the rows shown, in row order.
    QList<int> Shown()
    {
        QList<int> shown;
        for (int row = 0; row < Model()->rowCount(); ++row)
            shown << Model()->PhraseAt(row);
        return shown;
    }
    // Makes the phrase's cell in column current; the phrase must be shown.
    void GoToPhrase(int phrase, int column = PhraseTableModel::ColumnTranslated)
    {
        const int row = Model()->RowOf(phrase);
        QVERIFY(row >= 0);
        Grid()->setCurrentIndex(Model()->index(row, column));
    }

    QTemporaryDir* m_dir = nullptr;
    ScriptedSeam* m_seam = nullptr;
    TMainForm* m_form = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
};
