#pragma once
#include <QByteArray>
#include <QObject>
#include <vector>

class PhraseDocument;
class QUndoStack;
struct ObsoletePhrase;
enum class TranslationState : quint8;

/// The document's undo history: one step per edit of one phrase's translation, from the moment
/// an editor starts on the phrase to the moment it leaves it, however many keystrokes it stored
/// on the way (each keystroke is in the document at once; the step records only where the edit
/// began and where it ended, state included).
///
/// Taking out the obsolete phrases is a step too: the phrases of the template keep their numbers
/// through it, so the edits' steps stay good on either side of it.
///
/// It also keeps the document's unsaved-changes flag: a step taken away from the state last
/// saved sets it, an undo or redo back onto that state clears it. Loads, merges and clears start
/// the history anew.
class EditHistory : public QObject
{
    Q_OBJECT
public:
    explicit EditHistory(PhraseDocument& document, QObject* parent = nullptr);
    ~EditHistory() override;

    QUndoStack* Stack() const { return m_stack; }

    /// Starts an edit of phrase: what it holds now is what its step goes back to. An edit still
    /// open on another phrase ends first.
    void BeginEdit(int phrase);
    /// Ends the open edit, if any: a step when the phrase's text or state differs from where the
    /// edit began; otherwise the unsaved-changes flag goes back to what it was then.
    void EndEdit();
    /// The phrase of the open edit, or -1.
    int EditedPhrase() const { return m_phrase; }
    /// The translation's bytes when the open edit began.
    const QByteArray& EditStartText() const { return m_startText; }
    /// Whether the open edit has changed its phrase so far (an undo would take something back).
    bool EditPending() const { return m_pending; }
    bool CanUndo() const;
    /// False while an edit is pending: ending it drops what could be redone.
    bool CanRedo() const;

    /// The document is about to be written: the open edit becomes a step and goes on as a new
    /// one from here, so that what is saved is a step's end.
    void Checkpoint();
    /// The document as it is now is on disk: the unsaved-changes flag clears, and comes back when
    /// an undo or redo leaves this state.
    void MarkSaved();

    /// Ends the open edit and takes back the last step, or does it again.
    void Undo();
    void Redo();

    /// Ends the open edit and takes the obsolete phrases out of the document, as one step;
    /// false when there are none.
    bool RemoveObsolete();

signals:
    /// An undo or redo is about to put back phrase's translation, or has put it back.
    void AboutToRestore(int phrase);
    void Restored(int phrase);
    /// An edit began on phrase, or ended.
    void EditBegan(int phrase);
    void EditEnded(int phrase);
    /// What Undo or Redo can do changed.
    void AvailabilityChanged();
    /// The obsolete phrases are about to be taken out or put back (the rows are made anew), or
    /// were: putBack is then the first phrase put back, or -1 when they were taken out.
    void AboutToChangeObsolete();
    void ObsoleteChanged(int putBack);

private:
    class EditCommand;
    class ObsoleteCommand;
    /// Takes the obsolete phrases out, or puts phrases back, without starting the history anew.
    std::vector<ObsoletePhrase> TakeObsolete();
    void PutBackObsolete(std::vector<ObsoletePhrase> phrases);
    void Start(int phrase);
    /// Ends the open edit; false when it left no step.
    bool Finish();
    void Restore(int phrase, const QByteArray& text, TranslationState state);
    void Clear();
    void OnTranslationChanged(int phrase);
    void SetPending(bool pending);

    PhraseDocument& m_doc;
    QUndoStack* m_stack;
    // The open edit: its phrase (-1 for none) and what it began from.
    int m_phrase = -1;
    QByteArray m_startText;
    TranslationState m_startState{};
    bool m_modifiedAtStart = false;
    bool m_pending = false;
    // Set while the history starts anew: the document keeps the flag its load or clear gave it.
    bool m_clearing = false;
    // Set while a step of its own changes the obsolete phrases: the document resets its rows,
    // which starts no new history.
    bool m_changingObsolete = false;
};
