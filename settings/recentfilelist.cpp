#include "recentfilelist.h"

#include <QDir>
#include <QFile>

#include <optional>

namespace {

constexpr char EntrySeparator = ';';
constexpr char PairSeparator = '|';
// Left as they are besides letters and digits: the separators between a name's parts, and the
// blank, which keep a stored name readable. Neither separator of the stored form is among them.
const QByteArray KeptAsIs = QByteArrayLiteral("-._~/\\: ");

QByteArray Encode(const FilePath& path)
{
    return path.Native().toPercentEncoding(KeptAsIs);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A stored name back as the system's bytes; nothing for a damaged one. Other bytes than the
// escapes are taken as they are, so a name typed into the store by hand is read too.
std::optional<FilePath> Decode(QByteArrayView text)
{
    QByteArray native;
    native.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (uchar(c) < 0x20 || c == 0x7F || c == PairSeparator)
            return std::nullopt;
        if (c != '%') {
            native += c;
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        native += char(high << 4 | low);
        i += 2;
    }
    // A file name holds no NUL, and a name relative to wherever the program starts names
    // nothing in particular.
    if (native.isEmpty() || native.contains('\0') ||
        !QDir::isAbsolutePath(QFile::decodeName(native)))
        return std::nullopt;
    return FilePath::FromNative(native);
}

} // namespace

void RecentFileList::Add(const FilePair& pair)
{
    m_entries.removeIf([&pair](const FilePair& e) {
        return e == pair || (e.templ == pair.templ && e.translation.IsEmpty());
    });
    m_entries.prepend(pair);
    if (m_entries.size() > MaxCount)
        m_entries.resize(MaxCount);
}

QByteArray RecentFileList::ToStored() const
{
    QByteArray stored;
    for (const FilePair& pair : m_entries) {
        if (!stored.isEmpty())
            stored += EntrySeparator;
        stored += Encode(pair.templ);
        if (!pair.translation.IsEmpty())
            stored += PairSeparator + Encode(pair.translation);
    }
    return stored;
}

RecentFileList RecentFileList::FromStored(QByteArrayView stored)
{
    RecentFileList list;
    for (const QByteArray& entry : stored.toByteArray().split(EntrySeparator)) {
        if (list.m_entries.size() == MaxCount)
            break;
        const qsizetype bar = entry.indexOf(PairSeparator);
        const auto templ = Decode(bar < 0 ? entry : entry.first(bar));
        std::optional<FilePath> translation = FilePath();
        if (bar >= 0)
            translation = Decode(entry.sliced(bar + 1));
        if (!templ || !translation)
            continue;
        const FilePair pair{*templ, *translation};
        if (!list.m_entries.contains(pair))
            list.m_entries.append(pair);
    }
    return list;
}
