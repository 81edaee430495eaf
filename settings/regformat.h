#pragma once
#include <QByteArray>
#include <QMetaType>
#include <QSettings>

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

/// The QSettings format that stores files through ReadRegFormat and WriteRegFormat, with the
/// extension ".reg"; registered on first use.
QSettings::Format RegFormat();
