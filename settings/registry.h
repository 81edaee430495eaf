#pragma once
#include "errors.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSettings;
struct RegistryValue;

/// A settings value could not be read or written: "Failed to get data for '%s'",
/// "Failed to set data for '%s'" or "Invalid data type for '%s'".
class ERegistryException : public Exception
{
public:
    using Exception::Exception;
};

/// The per-user settings store, one key open at a time. Key paths are relative to the user's root
/// and use `\` between their parts ("Software\Pellovant\Quillmar").
///
/// Each value keeps its type (a 32-bit integer or a string) and its size as the registry counts
/// it: an integer has 4 bytes, a string its length + 1. Reads apply the registry's rules to that
/// size and type, so a value of the wrong kind fails the same way everywhere.
///
/// On Windows this is the registry under HKEY_CURRENT_USER. Elsewhere it is one file in the
/// registry's export format, `Pellovant/Quillmar.reg` in the user's configuration directory
/// ($XDG_CONFIG_HOME, else ~/.config), which QSettings reads, locks and replaces atomically.
class TRegistry
{
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    /// Opens an existing key for reading only; false, with no key open, when it does not exist or
    /// the store cannot be read. Never creates anything.
    bool OpenKeyReadOnly(const QString& path);
    /// Opens a key for reading and writing; false when it does not exist and `canCreate` is not
    /// set, or when the store cannot be read. A key created here is stored with its first value.
    bool OpenKey(const QString& path, bool canCreate);
    /// Closes the open key, if any.
    void CloseKey();

    /// Reads at most 4 bytes: "Failed to get data" when the value is missing or longer,
    /// "Invalid data type" when it fits but is not a 32-bit integer.
    int ReadInteger(const QString& name);
    /// ReadInteger, true when non-zero.
    bool ReadBool(const QString& name);
    /// Whether the open key holds a value of that name, for values later versions added.
    bool ValueExists(const QString& name) const;
    /// The text up to its first zero byte; empty, without failing, when the value is missing or
    /// has no data; "Invalid data type" when it is not a string (an expandable string is read
    /// unexpanded).
    QByteArray ReadString(const QString& name);

    /// Each throws "Failed to set data" when no key is open for writing or the store rejects the
    /// value. Every write is stored at once, so the values written before a failing one stay.
    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value);
    void WriteString(const QString& name, const QByteArray& value);

    /// The file that holds the store where it is not the registry (empty on Windows).
    static QString StoreFileName();

private:
    bool Open(const QString& path, bool writable, bool canCreate);
    bool Query(const QString& name, RegistryValue& value) const;
    void Put(const QString& name, const RegistryValue& value);

    std::unique_ptr<QSettings> m_store;
    QString m_path; // as QSettings spells it, '/' between the parts
    bool m_writable = false;
};
