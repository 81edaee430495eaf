#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <optional>
#include <utility>

class QWidget;

/// How one file chooser is set up. Filters keep the program's own form: a label and patterns
/// separated by ';' ("lang-*.php*"), turned into the toolkit's form by the real seam.
struct FileChooserOptions
{
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QVector<std::pair<QString, QString>> filters; // (label, "pattern;pattern")
    QString defaultSuffix;                        // appended to a typed name without one
    QString fileName;                             // preset name or full path
    int selectedFilter = 0;                       // index into filters; updated after a choice
};

/// Every place where the program asks the user something or tells them something goes through
/// this seam, so tests can script the answers without a display.
class DialogSeam
{
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~DialogSeam() = default;

    /// Shows a file chooser; the chosen path, or nothing when the user cancels. A save chooser
    /// asks before it gives back a file that exists, so that name may be replaced.
    virtual std::optional<QString> ChooseFile(FileChooserOptions& options) = 0;
    /// The "Confirm" box with a question icon and Yes, No, Cancel (Yes the default, Esc Cancel).
    virtual Answer Confirm(const QString& text) = 0;
    /// A warning that asks before something is lost: application title as caption, warning icon,
    /// Yes and No. No is the default and the answer of Esc, so a hurried Enter loses nothing.
    virtual bool Ask(const QString& text) = 0;
    /// The error box: application title as caption, error icon, OK; text shown as given.
    virtual void ShowError(const QString& text) = 0;
    /// A plain notice: application title as caption, no icon, OK, centred on the screen.
    virtual void ShowNotice(const QString& text) = 0;
    /// The font chooser with effects; colour is offered alongside. Nothing when cancelled.
    virtual std::optional<std::pair<QFont, QColor>> ChooseFont(const QFont& font,
                                                               const QColor& color) = 0;
    /// Hands an address to the desktop (browser, mail client); the outcome is not examined.
    virtual void OpenUrl(const QUrl& url) = 0;
};
