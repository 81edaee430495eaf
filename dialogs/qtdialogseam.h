#pragma once
#include "dialogseam.h"

#include <QPointer>

/// Turns one filter of the choosers' own form, a label and patterns separated by ';', into a
/// name filter of Qt's file dialog: "label (pattern pattern)". Away from Windows "*.*" becomes
/// "*", because there a file name without a dot would not match it.
QString QtNameFilter(const QString& label, const QString& patterns);

/// The dialog seam on Qt's own dialogs, for the running program.
///
/// File choosers: Qt's widget-based QFileDialog, so that every setting below holds on every
/// desktop: open choosers accept a name that does not exist (the load that follows reports it),
/// the save chooser does not ask before overwriting, the choosers are resizable, and the filter
/// combo shows the labels alone (Qt shows a run of blanks in a label as one). After a choice,
/// options.selectedFilter and options.fileName hold the filter and the full path chosen, as the
/// choosers kept them between uses; a cancelled chooser changes nothing.
///
/// Font chooser: QFontDialog with its effects, to which a "Color" list of the sixteen basic
/// colours is added (plus the given colour when it is none of them), as QFontDialog has none of
/// its own. Should that list not fit into the dialog, the given colour is returned unchanged.
///
/// Message boxes show their text as plain text, never as markup, and are centred on the
/// screen. The confirmation box keeps its buttons in the order Yes, No, Cancel on every
/// desktop; the error and notice boxes have one plain "OK" button.
class QtDialogSeam : public DialogSeam
{
public:
    /// parent: the window over which the choosers open; it may be set later.
    explicit QtDialogSeam(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    std::optional<QString> ChooseFile(FileChooserOptions& options) override;
    Answer Confirm(const QString& text) override;
    bool Ask(const QString& text) override;
    void ShowError(const QString& text) override;
    void ShowNotice(const QString& text) override;
    std::optional<std::pair<QFont, QColor>> ChooseFont(const QFont& font,
                                                       const QColor& color) override;
    void OpenUrl(const QUrl& url) override;

private:
    QPointer<QWidget> m_parent;
};
