#pragma once
// The user of a timed run: the files to open, in order, and the answers that let a run go on.
#include "dialogseam.h"

#include <QStringList>
#include <cstdio>

class Answers : public DialogSeam
{
public:
    QStringList files;
    std::optional<QString> ChooseFile(FileChooserOptions&) override
    {
        if (files.isEmpty())
            return std::nullopt;
        return files.takeFirst();
    }
    Answer Confirm(const QString&) override { return Answer::No; }
    bool Ask(const QString&) override { return true; }
    void ShowError(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void ShowNotice(const QString&) override {}
    std::optional<std::pair<QFont, QColor>> ChooseFont(const QFont&, const QColor&) override
    {
        return std::nullopt;
    }
    void OpenUrl(const QUrl&) override {}
};
