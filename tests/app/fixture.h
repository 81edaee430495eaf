#pragma once
#include <QFile>
#include <QTemporaryDir>

// Writes a language file for a test into its temporary folder and returns its path.
inline QString WriteFixture(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}
