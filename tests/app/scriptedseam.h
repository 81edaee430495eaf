#pragma once
#include "dialogseam.h"

#include <QQueue>
#include <QStringList>
#include <QUrl>

/// Plays the user: answers every question from a script queued by the test and records what
/// the program showed. A question the script did not expect fails the test loudly.
class ScriptedSeam : public DialogSeam
{
public:
    QQueue<std::optional<QString>> files; // answers to file choosers, in order
    QQueue<Answer> confirms;              // answers to the unsaved-changes question
    QQueue<bool> asks;                    // answers to the warnings that ask Yes or No
    QQueue<std::optional<std::pair<QFont, QColor>>> fonts;

    QList<FileChooserOptions> choosersShown; // each chooser as it was shown
    QStringList confirmTexts;
    QStringList askTexts;
    QStringList errors;
    QStringList notices;
    QList<QUrl> urls;
    int unexpected = 0;

    std::optional<QString> ChooseFile(FileChooserOptions& options) override
    {
        choosersShown.append(options);
        if (files.isEmpty()) {
            ++unexpected;
            return std::nullopt;
        }
        return files.dequeue();
    }
    Answer Confirm(const QString& text) override
    {
        confirmTexts << text;
        if (confirms.isEmpty()) {
            ++unexpected;
            return Answer::Cancel;
        }
        return confirms.dequeue();
    }
    bool Ask(const QString& text) override
    {
        askTexts << text;
        if (asks.isEmpty()) {
            ++unexpected;
            return false;
        }
        return asks.dequeue();
    }
    void ShowError(const QString& text) override { errors << text; }
    void ShowNotice(const QString& text) override { notices << text; }
    std::optional<std::pair<QFont, QColor>> ChooseFont(const QFont&, const QColor&) override
    {
        if (fonts.isEmpty()) {
            ++unexpected;
            return std::nullopt;
        }
        return fonts.dequeue();
    }
    void OpenUrl(const QUrl& url) override { urls << url; }
};
