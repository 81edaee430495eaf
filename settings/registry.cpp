#include "registry.h"
#include "regformat.h"
#include "stringtable.h"

#include <QFile>
#include <QSettings>
#include <QStringList>

#include <cstring>

namespace {

[[noreturn]] void Fail(const char* text, const QString& name)
{
    throw ERegistryException(QString::fromLatin1(text).arg(name));
}

// QSettings separates the parts of a key with '/' and has no use for empty parts.
QString SettingsPath(const QString& path)
{
    QString normal = path;
    normal.replace(u'\\', u'/');
    return normal.split(u'/', Qt::SkipEmptyParts).join(u'/');
}

// A value name QSettings would take for a key path, or for the key itself, never names a value.
bool IsValueName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\');
}

std::unique_ptr<QSettings> OpenStore()
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER"),
                                       QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(TRegistry::StoreFileName(), RegFormat());
#endif
}

// What QSettings is given to store a value.
QVariant StoreVariant(const RegistryValue& value)
{
#ifdef Q_OS_WIN
    // The registry keeps the type of what QSettings writes: an int as REG_DWORD, text as REG_SZ.
    if (value.type == rtInteger) {
        qint32 number = 0;
        memcpy(&number, value.data.constData(), qMin<qsizetype>(4, value.data.size()));
        return number;
    }
    return QString::fromLocal8Bit(value.data.constData());
#else
    return QVariant::fromValue(value);
#endif
}

// Whether the store's values were read. An access error alone does not tell: QSettings keeps the
// values of a save that failed pending in its cache of the file, shared by every later QSettings
// of that file, and tries to write them again on opening. That store was read; the writes
// through it fail (and say so) themselves, at every save until one goes through.
bool StoreReadable(const QSettings& store)
{
    switch (store.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::FormatError:
        return false;
    case QSettings::AccessError:
        break;
    }
#ifdef Q_OS_WIN
    return false; // the registry itself refused
#else
    QFile file(store.fileName());
    return !file.exists() || file.open(QIODevice::ReadOnly);
#endif
}

} // namespace

TRegistry::TRegistry() = default;

TRegistry::~TRegistry()
{
    CloseKey();
}

QString TRegistry::StoreFileName()
{
#ifdef Q_OS_WIN
    return QString();
#else
    // Where QSettings keeps this organisation's and application's file for the format, so that
    // QSettings::setPath moves it (as the tests do).
    return QSettings(RegFormat(), QSettings::UserScope, QStringLiteral("Pellovant"),
                     QStringLiteral("Quillmar"))
        .fileName();
#endif
}

bool TRegistry::OpenKeyReadOnly(const QString& path)
{
    return Open(path, false, false);
}

bool TRegistry::OpenKey(const QString& path, bool canCreate)
{
    return Open(path, true, canCreate);
}

bool TRegistry::Open(const QString& path, bool writable, bool canCreate)
{
    CloseKey();
    auto store = OpenStore();
    // A file that exists but cannot be read must not be replaced by the values of one save.
    if (!StoreReadable(*store))
        return false;
    const QString settingsPath = SettingsPath(path);
    if (!canCreate && !settingsPath.isEmpty()) {
        // A key exists in the file by the values stored under it.
        store->beginGroup(settingsPath);
        const bool exists = !store->childKeys().isEmpty() || !store->childGroups().isEmpty();
        store->endGroup();
        if (!exists)
            return false;
    }
    m_store = std::move(store);
    m_path = settingsPath;
    m_writable = writable;
    return true;
}

void TRegistry::CloseKey()
{
    // Every write was synced when it was made; there is nothing left to flush.
    m_store.reset();
    m_path.clear();
    m_writable = false;
}

bool TRegistry::Query(const QString& name, RegistryValue& value) const
{
    if (!m_store || !IsValueName(name))
        return false;
    const QVariant stored = m_store->value(m_path.isEmpty() ? name : m_path + u'/' + name);
    return stored.isValid() && ToRegistryValue(stored, value);
}

int TRegistry::ReadInteger(const QString& name)
{
    RegistryValue value;
    // The registry hands over at most the 4 bytes asked for: a longer value fails to be read
    // before its type is looked at.
    if (!Query(name, value) || value.data.size() > 4)
        Fail(strings::RegistryGetFailed, name);
    if (value.type != rtInteger)
        Fail(strings::RegistryInvalidType, name);
    quint32 number = 0;
    for (qsizetype i = value.data.size() - 1; i >= 0; --i)
        number = number << 8 | uchar(value.data[i]);
    return int(number);
}

bool TRegistry::ReadBool(const QString& name)
{
    return ReadInteger(name) != 0;
}

bool TRegistry::ValueExists(const QString& name) const
{
    RegistryValue value;
    return Query(name, value);
}

QByteArray TRegistry::ReadString(const QString& name)
{
    RegistryValue value;
    if (!Query(name, value) || value.data.isEmpty())
        return QByteArray();
    if (value.type != rtString && value.type != rtExpandString)
        Fail(strings::RegistryInvalidType, name);
    const qsizetype end = value.data.indexOf('\0');
    return end < 0 ? value.data : value.data.left(end);
}

void TRegistry::Put(const QString& name, const RegistryValue& value)
{
    if (!m_store || !m_writable || !IsValueName(name))
        Fail(strings::RegistrySetFailed, name);
    m_store->setValue(m_path.isEmpty() ? name : m_path + u'/' + name, StoreVariant(value));
    // QSettings writes the whole file at sync. Syncing after every value is what tells which
    // value failed, and leaves the ones before it stored. A value that failed stays pending in
    // QSettings' cache of the file until a later sync succeeds; a save writes every value anew.
    m_store->sync();
    if (m_store->status() != QSettings::NoError)
        Fail(strings::RegistrySetFailed, name);
}

void TRegistry::WriteInteger(const QString& name, int value)
{
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = char(quint32(value) >> (8 * i) & 0xFF);
    Put(name, {rtInteger, data});
}

void TRegistry::WriteBool(const QString& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteString(const QString& name, const QByteArray& value)
{
    Put(name, {rtString, value + '\0'});
}
