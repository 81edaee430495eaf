#include "phraseproblems.h"

#include "phrasedocument.h"

#include <QApplication>
#include <QStringList>
#include <QStyle>
#include <algorithm>

PhraseProblems::PhraseProblems(const PhraseDocument& document) : m_doc(document) {}

void PhraseProblems::CheckAll(const QByteArray& encoding)
{
    m_encoding = encoding;
    m_checker.emplace(m_encoding, m_enabled);
    m_problems.clear();
    const int count = m_doc.PhraseCount();
    // Phrases come in ascending order, so each insertion goes at the end of the map.
    for (int p = 0; p < count; ++p) {
        m_scratch.clear();
        if (m_checker->CheckPhrase(m_doc, p, m_scratch) > 0)
            m_problems.emplace_hint(m_problems.end(), p, m_scratch);
    }
}

bool PhraseProblems::CheckPhrase(int phrase)
{
    if (!m_checker || phrase < 0 || phrase >= m_doc.PhraseCount())
        return false;
    m_scratch.clear();
    m_checker->CheckPhrase(m_doc, phrase, m_scratch);
    const auto it = m_problems.find(phrase);
    if (m_scratch.empty()) {
        if (it == m_problems.end())
            return false;
        m_problems.erase(it);
        return true;
    }
    if (it != m_problems.end()) {
        if (it->second == m_scratch)
            return false;
        it->second = m_scratch;
        return true;
    }
    m_problems.emplace(phrase, m_scratch);
    return true;
}

const std::vector<PhraseProblem>& PhraseProblems::Problems(int phrase) const
{
    static const std::vector<PhraseProblem> none;
    const auto it = m_problems.find(phrase);
    return it == m_problems.end() ? none : it->second;
}

std::optional<PhraseSeverity> PhraseProblems::Severity(int phrase) const
{
    const std::vector<PhraseProblem>& problems = Problems(phrase);
    if (problems.empty())
        return std::nullopt;
    return std::max_element(problems.begin(), problems.end(),
                            [](const PhraseProblem& a, const PhraseProblem& b) {
                                return a.Severity() < b.Severity();
                            })
        ->Severity();
}

QIcon PhraseProblems::Mark(int phrase) const
{
    const std::optional<PhraseSeverity> severity = Severity(phrase);
    if (!severity)
        return {};
    return QApplication::style()->standardIcon(*severity == PhraseSeverity::Error
                                                   ? QStyle::SP_MessageBoxCritical
                                                   : QStyle::SP_MessageBoxWarning);
}

QString PhraseProblems::Text(int phrase) const
{
    QStringList lines;
    for (const PhraseProblem& problem : Problems(phrase)) {
        const QString line = QStringLiteral("[%1] %2").arg(
            QLatin1String(PhraseCheckName(problem.check)), problem.message);
        // Code that runs is told apart from texts that read wrong, as the command line does.
        lines << (problem.Severity() == PhraseSeverity::Error ? QStringLiteral("Error: ") + line
                                                              : line);
    }
    return lines.join(QLatin1Char('\n'));
}
