#pragma once
#include "quillmar_version.h"

#include <QIcon>
#include <QString>

// The program's own icon, for its windows and the task bar: the one the desktop has installed
// under the program's id when there is one, else the copies built into the program, so that a
// program run from its build folder is recognisable too. Every size is named, as window managers
// pick the one nearest their use from those the window offers.
inline QIcon ApplicationIcon()
{
    QIcon bundled;
    for (int size : {16, 32, 48, 64, 128, 256})
        bundled.addFile(QStringLiteral(":/appicon/%1.png").arg(size));
    return QIcon::fromTheme(QStringLiteral(QUILLMAR_APP_ID), bundled);
}
