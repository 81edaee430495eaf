#pragma once
#include "dialogseam.h"

#include <QStringList>
#include <QUrl>

/// Records what the dialogs hand to the desktop and to the error box; asks nobody anything.
class FakeSeam : public DialogSeam
{
public:
    QList<QUrl> openedUrls;
    QStringList errors;

    std::optional<QString> ChooseFile(FileChooserOptions&) override { return std::nullopt; }
    Answer Confirm(const QString&) override { return Answer::Cancel; }
    bool Ask(const QString&) override { return false; }
    void ShowError(const QString& text) override { errors << text; }
    void ShowNotice(const QString&) override {}
    std::optional<std::pair<QFont, QColor>> ChooseFont(const QFont&, const QColor&) override
    {
        return std::nullopt;
    }
    void OpenUrl(const QUrl& url) override { openedUrls << url; }
};
