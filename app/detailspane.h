#pragma once
#include <QKeySequence>
#include <QList>
#include <QWidget>

class EditHistory;
class PhraseDocument;
class PhraseTableModel;
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class TextCodec;

/// The pane below the grid that shows the current phrase whole: its key, its template line, its
/// original text wrapped, and its translation in an editor of several lines' room.
///
/// The translation editor stores like the grid's cell editor: every change goes to the document
/// at once through the model, so the grid and the progress field follow; a change the encoding
/// cannot write is taken back. Line breaks show as breaks: Shift+Enter makes one (Enter none), a
/// pasted text keeps its lines where the original has lines, else they are joined with blanks.
/// Code parts show as tokens, which go or move whole and take no typing. What the pane types
/// between its first change to a phrase and leaving that phrase is one step of the edit history;
/// Esc puts back the text the phrase had before it. While hidden the pane reads nothing and takes
/// no focus.
///
/// It edits what the grid's cells do not (PhraseTableModel::PaneEditRole): values with line
/// breaks or code parts, and long values.
///
/// A long value (LongValueSize) with no break of its own is laid out in blocks of a few thousand
/// characters, so that a keystroke costs one block's layout, not the whole text's. Those breaks
/// are the pane's own: the text shown and the caret's place are those of the value as one line.
class DetailsPane : public QWidget
{
    Q_OBJECT
public:
    DetailsPane(const PhraseDocument& document, PhraseTableModel& model, const TextCodec& codec,
                EditHistory& history, QWidget* parent = nullptr);

    /// Shows phrase (-1 for none). An edit the pane has open on another phrase ends first.
    void ShowPhrase(int phrase);
    int Phrase() const { return m_phrase; }
    /// Reads the shown phrase's texts again (another encoding, a merge).
    void Reload();
    /// Ends the pane's open edit, if any; the focus stays where it is.
    void EndEdit();
    /// Gives the translation editor the keyboard focus.
    void FocusEditor();
    /// Types key into the translation editor, as into the cell the grid would have opened.
    void TypeKey(const QKeyEvent& key);
    /// Makes a line break in the translation, as Shift+Enter does: in place of the editor's
    /// selection, or at caret (a place in the translation as stored) when one is given.
    void InsertLineBreak(int caret = -1);
    /// The translation editor's text as the value it stores: code parts between CodeOpen and
    /// CodeClose, line breaks as the value spells them.
    QString EditorText() const;
    /// The original's text as the pane shows it, as a value likewise.
    QString OriginalText() const;
    bool EditorHasFocus() const;
    /// Key sequences that reach the window's actions even from the translation editor; Copy stays
    /// the editor's own, for the text selected in it.
    void SetWindowShortcuts(const QList<QKeySequence>& shortcuts);
    /// The grid's font, for the texts shown.
    void SetTextFont(const QFont& font);
    void setVisible(bool visible) override;

    QLabel* KeyLabel() const { return m_key; }
    QLabel* LineLabel() const { return m_line; }
    /// What the checks find in the phrase's translation, one line per problem.
    QLabel* ProblemsLabel() const { return m_problems; }
    QPlainTextEdit* OriginalView() const { return m_original; }
    QPlainTextEdit* TranslationEditor() const { return m_translation; }

signals:
    /// The translation editor took the focus: an edit in the grid's cell editor ends.
    void EditorFocused();
    /// Esc in the translation editor, after its text was put back: the grid takes the focus.
    void LeaveRequested();
    /// A typed or pasted character cannot be written in the document's encoding.
    void CharacterRefused(QWidget* editor, const QString& character);
    /// A pasted text's lines were joined with blanks to go into a translation of one line.
    void LinesJoined(QWidget* editor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextChanged();
    void OnTranslationChanged(int phrase);
    /// Puts text into the translation editor without storing it, the caret at caret.
    void SetEditorText(const QString& text, int caret);
    /// Stores the editor's text as the phrase's translation, as the cell editor stores it.
    void Store(const QString& text);
    void PutBackStartText();
    bool Editing() const;

    const PhraseDocument& m_doc;
    PhraseTableModel& m_model;
    const TextCodec& m_codec; // the window's; a new encoding is assigned into it
    EditHistory& m_history;
    QLabel* m_key;
    QLabel* m_line;
    QPlainTextEdit* m_original;
    QPlainTextEdit* m_translation;
    QLabel* m_problems;
    QList<QKeySequence> m_windowShortcuts;
    int m_phrase = -1;
    // The editor's text as last stored: a change the encoding refuses goes back to it.
    QString m_lastGood;
    // Set while the pane puts text into the editor itself: that is no typing to store.
    bool m_loading = false;
    // Set while the pane stores its text: the change it causes is the editor's text already.
    bool m_storing = false;
    // Whether the history's open edit is the pane's (it began with the pane's first change).
    bool m_editing = false;
};
