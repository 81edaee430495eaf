#pragma once
#include <QByteArray>
#include <QMetaType>
#include <QSettings>
#include <QStringList>

class QIODevice;

/// Type codes of a stored value, as the registry numbers them.
enum RegistryValueType : quint32 {
    rtNone = 0,
    rtString = 1,       // REG_SZ: 8-bit text with its terminating zero byte
    rtExpandString = 2, // REG_EXPAND_SZ
    rtBinary = 3,       // REG_BINARY
    rtInteger = 4,      // REG_DWORD: 4 bytes, little-endian
};

/// One stored value: its type code and its raw data, exactly as the store holds them. Keeping the
/// raw bytes lets a read apply the store's size and type rules to a hand-edited value.
struct RegistryValue
{
    quint32 type = rtNone;
    QByteArray data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};
Q_DECLARE_METATYPE(RegistryValue)

/// The stored form of a value handed over by QSettings: a RegistryValue as it is, a 32-bit
/// integer as an integer value, text as a string; false for anything the store cannot hold.
bool ToRegistryValue(const QVariant& value, RegistryValue& stored);

/// Reads a file in the registry's export format into `map`: keys are the value paths with `/`
/// between the parts ("Software/Pellovant/Quillmar/Top"), values are RegistryValue. Lines that
/// cannot be parsed are skipped, so a damaged file gives what can still be read; returns false
/// only when the device cannot be read.
bool ReadRegFormat(QIODevice& device, QSettings::SettingsMap& map);

/// Writes `map` in the registry's export format: one section per key, a `dword:` or quoted line
/// per value where that reads back identically, a `hex(n):` line otherwise.
bool WriteRegFormat(QIODevice& device, const QSettings::SettingsMap& map);

/// Limits what ReadRegFormat keeps to the values under key (a path with / or \\ between its parts)
/// whose names are in names; every other value of the file is skipped as it is read, so a file
/// grown to hundreds of thousands of values costs no memory and no time at each save, and is
/// written back with the values kept only. Without a call everything is read.
void ReadOnlyRegValues(const QString& key, const QStringList& names);

/// The QSettings format that stores files through ReadRegFormat and WriteRegFormat, with the
/// extension ".reg"; registered on first use.
QSettings::Format RegFormat();
