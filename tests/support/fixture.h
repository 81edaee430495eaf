#pragma once
// Files for tests: writing fixtures, reading back what the program wrote, listing a folder.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <algorithm>
#include <dirent.h>

// Writes a language file for a test into its temporary folder and returns its path.
inline QString WriteFixture(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

// A file's bytes, or a text no test writes when it cannot be read.
inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The names in a folder exactly as the system keeps them, sorted: QDir cannot list a name that
// is not valid UTF-8.
inline QList<QByteArray> RawEntries(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A text of size bytes of words, beginning with first: no quote, backslash or line break in it,
// for values of any length.
inline QByteArray Words(qsizetype size, char first)
{
    static const char* const words[] = {"lorem ", "ipsum ", "dolor, ", "sit ", "amet. "};
    QByteArray text(1, first);
    text.reserve(size + 8);
    for (unsigned i = 0; text.size() < size; ++i)
        text += words[i % std::size(words)];
    text.truncate(size);
    return text;
}
