#include "edithistory.h"

#include "phrasedocument.h"

#include <QScopedValueRollback>
#include <QUndoStack>

#include <utility>

// One edit of one phrase: its translation as the edit found it and as the edit left it.
class EditHistory::EditCommand : public QUndoCommand
{
public:
    EditCommand(EditHistory& history, int phrase, QByteArray beforeText,
                TranslationState beforeState, QByteArray afterText, TranslationState afterState)
        : m_history(history), m_phrase(phrase), m_beforeText(std::move(beforeText)),
          m_afterText(std::move(afterText)), m_beforeState(beforeState), m_afterState(afterState)
    {
    }

    void undo() override { m_history.Restore(m_phrase, m_beforeText, m_beforeState); }
    void redo() override
    {
        // Pushed once the edit is done: the document holds its result already.
        if (std::exchange(m_done, false))
            return;
        m_history.Restore(m_phrase, m_afterText, m_afterState);
    }

private:
    EditHistory& m_history;
    int m_phrase;
    QByteArray m_beforeText;
    QByteArray m_afterText;
    TranslationState m_beforeState;
    TranslationState m_afterState;
    bool m_done = true;
};

// Taking the obsolete phrases out: they are held here while the step is done, for its undo.
class EditHistory::ObsoleteCommand : public QUndoCommand
{
public:
    ObsoleteCommand(EditHistory& history, std::vector<ObsoletePhrase> phrases)
        : m_history(history), m_phrases(std::move(phrases))
    {
    }

    void undo() override { m_history.PutBackObsolete(std::exchange(m_phrases, {})); }
    void redo() override
    {
        // Pushed once they are out: the document is as the step leaves it already.
        if (std::exchange(m_done, false))
            return;
        m_phrases = m_history.TakeObsolete();
    }

private:
    EditHistory& m_history;
    std::vector<ObsoletePhrase> m_phrases;
    bool m_done = true;
};

EditHistory::EditHistory(PhraseDocument& document, QObject* parent)
    : QObject(parent), m_doc(document), m_stack(new QUndoStack(this))
{
    connect(m_stack, &QUndoStack::cleanChanged, this, [this](bool clean) {
        if (!m_clearing)
            m_doc.SetModified(!clean);
    });
    connect(m_stack, &QUndoStack::canUndoChanged, this, &EditHistory::AvailabilityChanged);
    connect(m_stack, &QUndoStack::canRedoChanged, this, &EditHistory::AvailabilityChanged);
    // Steps name phrases by number and hold their texts: they mean nothing in another document,
    // nor after a merge has replaced the translations they were taken from.
    const auto clear = [this] {
        if (!m_changingObsolete)
            Clear();
    };
    connect(&m_doc, &PhraseDocument::AboutToReset, this, clear);
    connect(&m_doc, &PhraseDocument::TranslationsMerged, this, clear);
    connect(&m_doc, &PhraseDocument::TranslationChanged, this, &EditHistory::OnTranslationChanged);
}

EditHistory::~EditHistory() = default;

bool EditHistory::CanUndo() const
{
    return m_pending || m_stack->canUndo();
}

bool EditHistory::CanRedo() const
{
    return !m_pending && m_stack->canRedo();
}

void EditHistory::BeginEdit(int phrase)
{
    if (phrase == m_phrase)
        return;
    EndEdit();
    if (phrase < 0 || phrase >= m_doc.PhraseCount())
        return;
    Start(phrase);
    emit EditBegan(phrase);
}

void EditHistory::EndEdit()
{
    const int phrase = m_phrase;
    if (phrase < 0)
        return;
    Finish();
    emit EditEnded(phrase);
}

void EditHistory::Start(int phrase)
{
    m_phrase = phrase;
    m_startText = m_doc.PhraseTranslation(phrase);
    m_startState = m_doc.PhraseState(phrase);
    m_modifiedAtStart = m_doc.Modified();
}

bool EditHistory::Finish()
{
    const int phrase = std::exchange(m_phrase, -1);
    SetPending(false);
    const QByteArray text = m_doc.PhraseTranslation(phrase);
    const TranslationState state = m_doc.PhraseState(phrase);
    if (text == m_startText && state == m_startState) {
        // Typed and taken back (Esc, or the same text again): the document is as it was.
        m_doc.SetModified(m_modifiedAtStart);
        return false;
    }
    m_stack->push(
        new EditCommand(*this, phrase, std::exchange(m_startText, {}), m_startState, text, state));
    m_doc.SetModified(!m_stack->isClean());
    return true;
}

void EditHistory::Checkpoint()
{
    if (m_phrase < 0)
        return;
    const int phrase = m_phrase;
    Finish();
    Start(phrase);
}

void EditHistory::MarkSaved()
{
    m_stack->setClean();
    m_modifiedAtStart = false;
}

void EditHistory::Undo()
{
    EndEdit();
    m_stack->undo();
}

void EditHistory::Redo()
{
    EndEdit();
    m_stack->redo();
}

bool EditHistory::RemoveObsolete()
{
    EndEdit();
    std::vector<ObsoletePhrase> removed = TakeObsolete();
    if (removed.empty())
        return false;
    m_stack->push(new ObsoleteCommand(*this, std::move(removed)));
    m_doc.SetModified(!m_stack->isClean());
    return true;
}

std::vector<ObsoletePhrase> EditHistory::TakeObsolete()
{
    if (m_doc.Statistics().obsolete == 0)
        return {};
    emit AboutToChangeObsolete();
    std::vector<ObsoletePhrase> removed;
    {
        const QScopedValueRollback changing(m_changingObsolete, true);
        removed = m_doc.RemoveObsolete();
    }
    emit ObsoleteChanged(-1);
    return removed;
}

void EditHistory::PutBackObsolete(std::vector<ObsoletePhrase> phrases)
{
    emit AboutToChangeObsolete();
    {
        const QScopedValueRollback changing(m_changingObsolete, true);
        m_doc.PutBackObsolete(std::move(phrases));
    }
    emit ObsoleteChanged(m_doc.Store().TemplateCount());
}

void EditHistory::Restore(int phrase, const QByteArray& text, TranslationState state)
{
    emit AboutToRestore(phrase);
    m_doc.RestoreTranslation(phrase, text, state);
    emit Restored(phrase);
}

void EditHistory::Clear()
{
    m_phrase = -1;
    m_startText.clear();
    SetPending(false);
    m_clearing = true;
    m_stack->clear();
    m_clearing = false;
}

void EditHistory::OnTranslationChanged(int phrase)
{
    if (phrase == m_phrase)
        SetPending(m_doc.PhraseTranslation(phrase) != m_startText ||
                   m_doc.PhraseState(phrase) != m_startState);
}

void EditHistory::SetPending(bool pending)
{
    if (pending == m_pending)
        return;
    m_pending = pending;
    emit AvailabilityChanged();
}
