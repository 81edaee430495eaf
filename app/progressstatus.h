#pragma once
#include <QWidget>

class PhraseDocument;
class QLabel;
class QLocale;
class QProgressBar;
struct PhraseStatistics;

/// The status line's field of progress: a mark while there are unsaved changes, a bar and
/// "812 of 1,000 translated (81 %)". It follows the document's signals and reads only its
/// counts, so a keystroke costs the same on any row. Hidden while no document is loaded.
class ProgressStatus : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressStatus(const PhraseDocument& document, QWidget* parent = nullptr);

    QLabel* ModifiedMark() const { return m_modified; }
    QProgressBar* Bar() const { return m_bar; }
    QLabel* Label() const { return m_label; }

    /// The label's text for the counts, numbers in the locale's form; the percentage is rounded
    /// down, so 100 % means every phrase is translated.
    static QString ProgressText(const PhraseStatistics& statistics, const QLocale& locale);

private:
    void Update();

    const PhraseDocument& m_doc;
    QLabel* m_modified;
    QProgressBar* m_bar;
    QLabel* m_label;
};
