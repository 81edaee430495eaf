#pragma once
#include "phrasegrid.h"

#include <QCoreApplication>
#include <QTest>

// Keys go where the user's keys would: to the open editor while a cell is being edited,
// otherwise to the grid (tests run without a window system that moves the focus).
inline QWidget* KeyTarget(PhraseGrid* grid)
{
    QWidget* editor = grid->indexWidget(grid->currentIndex());
    return editor ? editor : grid;
}

inline void TypeKeys(PhraseGrid* grid, const QString& text)
{
    for (QChar c : text) {
        QTest::keyClick(KeyTarget(grid), c.toLatin1() ? c.toLatin1() : ' ');
        QCoreApplication::processEvents();
    }
}

inline void PressKey(PhraseGrid* grid, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(KeyTarget(grid), key, mods);
    // The editor closes on Enter through a queued call, as it does for the user.
    QCoreApplication::processEvents();
}
