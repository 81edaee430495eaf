#pragma once
#include "phrasechecks.h"

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <map>
#include <optional>
#include <vector>

class PhraseDocument;

/// What the checks found in each translated phrase of a document, kept beside the grid's model.
/// Only phrases with problems take room, so a large document with few problems costs little.
/// All phrases are checked when a document is read or its encoding changes; after that a phrase
/// is checked again only when its own translation changes.
class PhraseProblems
{
public:
    explicit PhraseProblems(const PhraseDocument& document);

    /// Checks every phrase anew for texts in the named encoding.
    void CheckAll(const QByteArray& encoding);
    /// The checks the next CheckAll runs.
    void SetEnabled(PhraseCheckSet enabled) { m_enabled = enabled; }
    PhraseCheckSet Enabled() const { return m_enabled; }
    /// Checks one phrase again; true when what it has changed.
    bool CheckPhrase(int phrase);
    /// Forgets every phrase's problems (the document was emptied).
    void Clear() { m_problems.clear(); }

    bool HasProblems(int phrase) const { return m_problems.count(phrase) != 0; }
    /// The problems of phrase, errors first, then in the checks' order; empty when it has none.
    const std::vector<PhraseProblem>& Problems(int phrase) const;
    /// The gravest severity among phrase's problems; nothing when it has none.
    std::optional<PhraseSeverity> Severity(int phrase) const;
    /// The mark a phrase's translation shows for its gravest problem: the error sign for code
    /// that runs, the warning sign otherwise; a null icon when it has none.
    QIcon Mark(int phrase) const;
    /// One line per problem, "[name] message", an error's line marked "Error: [name] message".
    QString Text(int phrase) const;
    /// The first phrase from phrase on that has problems.
    std::optional<int> NextFrom(int phrase) const
    {
        const auto it = m_problems.lower_bound(phrase);
        return it == m_problems.end() ? std::nullopt : std::optional<int>(it->first);
    }
    /// How many phrases have problems.
    int Count() const { return int(m_problems.size()); }

private:
    const PhraseDocument& m_doc;
    QByteArray m_encoding = "UTF-8";
    PhraseCheckSet m_enabled = PhraseCheckSet::All();
    // Made anew for each encoding; set once CheckAll ran.
    std::optional<PhraseChecker> m_checker;
    std::map<int, std::vector<PhraseProblem>> m_problems;
    std::vector<PhraseProblem> m_scratch;
};
