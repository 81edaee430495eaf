// The settings file reader, on any bytes. The input is the file. Whatever is read must be written
// so that reading the written file gives the same keys and values again, and writing those the
// same file.
#include "fuzzcheck.h"
#include "regformat.h"

#include <QBuffer>
#include <cstdint>
#include <cstdio>

namespace {

QSettings::SettingsMap Read(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer device(&copy);
    FUZZ_REQUIRE(device.open(QIODevice::ReadOnly));
    QSettings::SettingsMap map;
    FUZZ_REQUIRE(ReadRegFormat(device, map));
    return map;
}

QByteArray Write(const QSettings::SettingsMap& map)
{
    QByteArray bytes;
    QBuffer device(&bytes);
    FUZZ_REQUIRE(device.open(QIODevice::WriteOnly));
    FUZZ_REQUIRE(WriteRegFormat(device, map));
    return bytes;
}

// Every value read is a RegistryValue; compared as such, not through QVariant's own comparison.
bool SameSettings(const QSettings::SettingsMap& a, const QSettings::SettingsMap& b)
{
    if (a.keys() != b.keys())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const QVariant& other = b.value(it.key());
        if (it.value().metaType() != QMetaType::fromType<RegistryValue>() ||
            other.metaType() != QMetaType::fromType<RegistryValue>() ||
            it.value().value<RegistryValue>() != other.value<RegistryValue>())
            return false;
    }
    return true;
}

// The keys and values, one a line, for the report of a failed comparison.
void Print(const char* title, const QSettings::SettingsMap& map)
{
    std::fprintf(stderr, "%s:\n", title);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const RegistryValue value = it.value().value<RegistryValue>();
        std::fprintf(stderr, "  \"%s\" type %u data %s\n", it.key().toUtf8().toHex(' ').constData(),
                     value.type, value.data.toHex(' ').constData());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QSettings::SettingsMap first = Read(input);
    const QByteArray written = Write(first);
    const QSettings::SettingsMap second = Read(written);
    if (!SameSettings(first, second)) {
        Print("read (key bytes in UTF-8, hex)", first);
        std::fprintf(stderr, "written:\n%s\n", written.constData());
        Print("read back", second);
    }
    FUZZ_REQUIRE(SameSettings(first, second));
    FUZZ_REQUIRE(Write(second) == written);
    return 0;
}
