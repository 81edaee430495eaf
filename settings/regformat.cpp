#include "regformat.h"

#include <QIODevice>
#include <QMap>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace {

constexpr char Header[] = "Windows Registry Editor Version 5.00";
constexpr char UserRoot[] = "HKEY_CURRENT_USER";
constexpr quint32 rtMultiString = 7;
constexpr quint32 rtInteger64 = 11;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool StartsWithNoCase(const QByteArray& text, const char* prefix)
{
    return text.left(qstrlen(prefix)).compare(prefix, Qt::CaseInsensitive) == 0;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
std::optional<quint32> ParseHex(const QByteArray& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    quint32 value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    return value;
}

QByteArray LittleEndian(quint64 value, int bytes)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = char(value >> (8 * i) & 0xFF);
    return data;
}

// A quoted text starting at `pos` (on the opening quote). Only \\ and \" are escapes, as in the
// registry's export files; a backslash before any other byte keeps that byte. Leaves `pos` after
// the closing quote; nullopt when there is none.
std::optional<QByteArray> ParseQuoted(const QByteArray& line, qsizetype& pos)
{
    QByteArray text;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return text;
        }
        if (c == '\\' && i + 1 < line.size())
            ++i;
        text += line[i];
    }
    return std::nullopt;
}

// "aa,bb,..." with a trailing comma tolerated; an empty list is no bytes.
std::optional<QByteArray> ParseHexList(const QByteArray& text)
{
    QByteArray data;
    const QList<QByteArray> parts = text.split(',');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray part = parts[i].trimmed();
        if (part.isEmpty() && i == parts.size() - 1)
            break;
        const auto byte = ParseHex(part, 2);
        if (!byte)
            return std::nullopt;
        data += char(*byte);
    }
    return data;
}

// Key and value names as text. A leading byte order mark is kept as a character rather than
// dropped, so that the name is written back with the bytes it was read with.
QString DecodeName(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

// The section's key path relative to the user's root, with '/' between the parts as QSettings
// keys have them; nullopt for a section whose values are not to be read (a deletion, another root).
std::optional<QString> ParseSection(const QByteArray& line)
{
    if (line.size() < 2 || !line.endsWith(']'))
        return std::nullopt;
    QByteArray path = line.mid(1, line.size() - 2).trimmed();
    if (path.startsWith('-'))
        return std::nullopt;
    const qsizetype rootLength = qstrlen(UserRoot);
    if (StartsWithNoCase(path, UserRoot) && (path.size() == rootLength || path[rootLength] == '\\'))
        path = path.mid(rootLength);
    else if (StartsWithNoCase(path, "HKEY_"))
        return std::nullopt;
    // Parts are judged as the text they decode to, since that is what is written back: empty and
    // blank-only parts (a stray byte order mark included) are dropped, blanks around a part are
    // not kept, and a '/' would split the part in two, so such a key is not read at all.
    QStringList parts;
    for (const QByteArray& part : path.split('\\')) {
        const QString text = DecodeName(part).trimmed();
        if (text.isEmpty())
            continue;
        if (text.contains(u'/'))
            return std::nullopt;
        parts += text;
    }
    return parts.join(u'/');
}

struct ParsedValue
{
    QByteArray name;
    RegistryValue value;
};

// One `"name"=data` line; hex lists may go on over the following lines, each line but the last
// ending in a backslash, and `index` moves past the lines used.
std::optional<ParsedValue> ParseValue(const QList<QByteArray>& lines, qsizetype& index)
{
    const QByteArray& line = lines[index];
    qsizetype pos = 0;
    // `@` (the key's default value) has no place among QSettings keys and is not read.
    if (!line.startsWith('"'))
        return std::nullopt;
    auto name = ParseQuoted(line, pos);
    if (!name || name->isEmpty() || name->contains('/'))
        return std::nullopt;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return std::nullopt;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    QByteArray data = line.mid(pos);

    ParsedValue parsed{*name, {}};
    if (data.startsWith('"')) {
        qsizetype end = 0;
        auto text = ParseQuoted(data, end);
        if (!text || !data.mid(end).trimmed().isEmpty())
            return std::nullopt;
        parsed.value = {rtString, *text + '\0'};
        return parsed;
    }
    if (StartsWithNoCase(data, "dword:")) {
        const auto number = ParseHex(data.mid(6).trimmed(), 8);
        if (!number)
            return std::nullopt;
        parsed.value = {rtInteger, LittleEndian(*number, 4)};
        return parsed;
    }
    if (!StartsWithNoCase(data, "hex"))
        return std::nullopt;
    qsizetype colon = data.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    const QByteArray kind = data.left(colon).trimmed();
    if (kind.size() == 3) {
        parsed.value.type = rtBinary;
    } else {
        if (!StartsWithNoCase(kind, "hex(") || !kind.endsWith(')'))
            return std::nullopt;
        const auto type = ParseHex(kind.mid(4, kind.size() - 5), 8);
        if (!type)
            return std::nullopt;
        parsed.value.type = *type;
    }
    QByteArray list = data.mid(colon + 1).trimmed();
    while (list.endsWith('\\') && index + 1 < lines.size()) {
        list.chop(1);
        list += lines[++index].trimmed();
    }
    auto bytes = ParseHexList(list);
    if (!bytes)
        return std::nullopt;
    parsed.value.data = *bytes;
    return parsed;
}

QByteArray Escaped(const QByteArray& text)
{
    QByteArray escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

QByteArray HexList(const QByteArray& data)
{
    QByteArray list;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0)
            list += ',';
        list += QByteArray::number(uchar(data[i]), 16).rightJustified(2, '0');
    }
    return list;
}

// The data part of a value line, in the shortest form that reads back as the same value.
QByteArray DataText(const RegistryValue& value)
{
    const QByteArray& data = value.data;
    if (value.type == rtString && data.endsWith('\0') && data.count('\0') == 1 &&
        !data.contains('\n') && !data.contains('\r'))
        return '"' + Escaped(data.left(data.size() - 1)) + '"';
    if (value.type == rtInteger && data.size() == 4) {
        quint32 number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | uchar(data[i]);
        return "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
    }
    if (value.type == rtBinary)
        return "hex:" + HexList(data);
    return "hex(" + QByteArray::number(value.type, 16) + "):" + HexList(data);
}

} // namespace

bool ToRegistryValue(const QVariant& value, RegistryValue& stored)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
        stored = {rtInteger, LittleEndian(value.toUInt(), 4)};
        return true;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        stored = {rtInteger64, LittleEndian(value.toULongLong(), 8)};
        return true;
    case QMetaType::QString:
        stored = {rtString, value.toString().toLocal8Bit() + '\0'};
        return true;
    case QMetaType::QByteArray:
        stored = {rtBinary, value.toByteArray()};
        return true;
    case QMetaType::QStringList: {
        QByteArray data;
        for (const QString& item : value.toStringList())
            data += item.toLocal8Bit() + '\0';
        stored = {rtMultiString, data + '\0'};
        return true;
    }
    default:
        if (value.metaType() == QMetaType::fromType<RegistryValue>()) {
            stored = value.value<RegistryValue>();
            return true;
        }
        return false;
    }
}

namespace {

// The values ReadRegFormat keeps: full value paths, or none to keep every value.
QSet<QString>& KeptValues()
{
    static QSet<QString> kept;
    return kept;
}

} // namespace

void ReadOnlyRegValues(const QString& key, const QStringList& names)
{
    QString section = key;
    section.replace(u'\\', u'/');
    section = section.split(u'/', Qt::SkipEmptyParts).join(u'/');
    QSet<QString>& kept = KeptValues();
    kept.clear();
    for (const QString& name : names)
        kept.insert(section.isEmpty() ? name : section + u'/' + name);
}

bool ReadRegFormat(QIODevice& device, QSettings::SettingsMap& map)
{
    const QSet<QString>& kept = KeptValues();
    if (!device.isReadable())
        return false;
    QByteArray content = device.readAll();
    // The registry editor exports in UTF-16; its strings stand for 8-bit text here.
    if (content.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        content = QString(decoder(content.mid(2))).toLocal8Bit();
    } else if (content.startsWith("\xEF\xBB\xBF")) {
        content = content.mid(3);
    }
    // A zero byte would end the text anywhere else; here it only ends its line.
    content.replace('\0', '\n');
    content.replace("\r\n", "\n");
    content.replace('\r', '\n');
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray& line : lines)
        line = line.trimmed();

    std::optional<QString> section;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            // A damaged header must not hand its values to the key above it.
            section = ParseSection(line);
            continue;
        }
        auto parsed = ParseValue(lines, i);
        if (!parsed || !section)
            continue;
        const QString name = DecodeName(parsed->name);
        if (name.isEmpty())
            continue; // a name that was only a byte order mark
        const QString key = section->isEmpty() ? name : *section + u'/' + name;
        if (!kept.isEmpty() && !kept.contains(key))
            continue;
        map.insert(key, QVariant::fromValue(parsed->value));
    }
    return true;
}

bool WriteRegFormat(QIODevice& device, const QSettings::SettingsMap& map)
{
    // QSettings keeps its keys sorted as a whole, which would split a key's values around those
    // of its subkeys; gather them by key first.
    QMap<QString, QList<QByteArray>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        RegistryValue value;
        if (!ToRegistryValue(it.value(), value))
            continue;
        const qsizetype slash = it.key().lastIndexOf(u'/');
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        const QByteArray name = it.key().mid(slash + 1).toLocal8Bit();
        sections[section] += '"' + Escaped(name) + "\"=" + DataText(value) + '\n';
    }

    QByteArray text = QByteArray(Header) + "\n\n";
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        text += '[' + QByteArray(UserRoot);
        if (!it.key().isEmpty())
            text += '\\' + it.key().toLocal8Bit().replace('/', '\\');
        text += "]\n";
        for (const QByteArray& line : it.value())
            text += line;
        text += '\n';
    }
    return device.write(text) == text.size();
}

QSettings::Format RegFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("reg"), ReadRegFormat, WriteRegFormat);
    return format;
}
