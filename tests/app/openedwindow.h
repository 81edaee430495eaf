#pragma once
#include "../support/fixture.h"
#include "mainform.h"
#include "phrasemodel.h"
#include "scriptedseam.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Shows the window as the user meets it, active, and opens a template and a translation written
// into dir through File > Open with its two choosers.
inline void ShowAndOpen(TMainForm& form, ScriptedSeam& seam, const QTemporaryDir& dir,
                        const QByteArray& templ, const QByteArray& translation)
{
    form.resize(800, 600);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    seam.files.enqueue(WriteFixture(dir, QStringLiteral("lang-english.php"), templ));
    seam.files.enqueue(WriteFixture(dir, QStringLiteral("lang-french.php"), translation));
    form.FileOpenAction()->trigger();
}

// The phrases of the rows the model shows, in row order.
inline QList<int> ShownPhrases(const PhraseTableModel& model)
{
    QList<int> shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.PhraseAt(row);
    return shown;
}
