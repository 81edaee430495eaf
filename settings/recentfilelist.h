#pragma once
#include "fileio.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

/// A template and the translation worked on with it; the translation is empty for a template
/// opened alone (File > New) until a translation is read or saved.
struct FilePair
{
    FilePath templ;
    FilePath translation;

    friend bool operator==(const FilePair&, const FilePair&) = default;
};

/// The pairs opened last, most recent first, at most MaxCount and none twice.
class RecentFileList
{
public:
    static constexpr qsizetype MaxCount = 10;

    const QList<FilePair>& Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.isEmpty(); }

    /// Puts pair first. An equal entry moves up; a pair with a translation also takes the place
    /// of its template's entry without one, which is the same work gone one step further.
    void Add(const FilePair& pair);
    void Clear() { m_entries.clear(); }

    /// The stored form: entries joined by ';', a translation after its template and '|', each
    /// name's bytes percent-encoded except letters, digits, "-._~/\: ", so any name survives
    /// the registry and the file store alike and the value stays readable.
    QByteArray ToStored() const;
    /// The list a stored value holds. Entries that are damaged (a bad escape, a control byte, a
    /// NUL, a name that is not absolute, an empty template) are left out, as are repeats and
    /// entries past MaxCount.
    static RecentFileList FromStored(QByteArrayView stored);

    friend bool operator==(const RecentFileList&, const RecentFileList&) = default;

private:
    QList<FilePair> m_entries;
};
