#pragma once
#include "regformat.h"
#include "registry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

// The settings store moved into a fresh temporary directory, so that no test reads or writes the
// user's own settings and no test sees another's file.
class TemporaryStore
{
public:
    TemporaryStore() { QSettings::setPath(RegFormat(), QSettings::UserScope, m_dir.path()); }

    bool isTemporary() const
    {
        return m_dir.isValid() && fileName() == m_dir.filePath("Pellovant/Quillmar.reg");
    }
    QString directory() const { return m_dir.path(); }
    QString fileName() const { return TRegistry::StoreFileName(); }

    // The file exactly as given.
    void writeFile(const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(fileName()).path());
        QFile file(fileName());
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    // Value lines under the settings key, as an exported file has them.
    void writeValues(const QByteArray& lines) const
    {
        writeFile("Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\n" +
                  lines);
    }

    QByteArray readFile() const
    {
        QFile file(fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // What the file holds, as the store reads it.
    QSettings::SettingsMap readValues() const
    {
        QByteArray content = readFile();
        QBuffer buffer(&content);
        buffer.open(QIODevice::ReadOnly);
        QSettings::SettingsMap map;
        ReadRegFormat(buffer, map);
        return map;
    }

private:
    QTemporaryDir m_dir;
};
