#include "regformat.h"
#include "registry.h"
#include "temporarystore.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QTest>

#include <memory>

namespace {

const QString Key = QStringLiteral("Software\\Pellovant\\Quillmar");

// "key type data-in-hex" per value, in key order.
QStringList Describe(const QSettings::SettingsMap& map)
{
    QStringList lines;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const auto value = it.value().value<RegistryValue>();
        lines += QStringLiteral("%1 %2 %3")
                     .arg(it.key())
                     .arg(value.type)
                     .arg(QString::fromLatin1(value.data.toHex()));
    }
    return lines;
}

QSettings::SettingsMap Parse(QByteArray content)
{
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    QSettings::SettingsMap map;
    ReadRegFormat(buffer, map);
    return map;
}

QByteArray Write(const QSettings::SettingsMap& map)
{
    QByteArray content;
    QBuffer buffer(&content);
    buffer.open(QIODevice::WriteOnly);
    WriteRegFormat(buffer, map);
    return content;
}

QByteArray Utf16File(const QString& text)
{
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return "\xFF\xFE" + QByteArray(encoder(text));
}

// A literal with its zero bytes.
template <qsizetype N> QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

const QByteArray Section = "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\n";
const QString P = QStringLiteral("Software/Pellovant/Quillmar/");

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void readFormat_data();
    void readFormat();
    void writeFormat();
    void writeReadRoundTrip_data();
    void writeReadRoundTrip();

    void readInteger_data();
    void readInteger();
    void readString_data();
    void readString();
    void openKey();
    void noKeyOpenForWriting();
    void writeKeepsOtherValues();
    void writeFailure();

private:
    std::unique_ptr<TemporaryStore> m_store;
};

void TestSettingsStore::init()
{
    m_store = std::make_unique<TemporaryStore>();
    QVERIFY(m_store->isTemporary());
}

void TestSettingsStore::readFormat_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("values");

    const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
    QTest::newRow("integer and string")
        << header + Section + "\"Top\"=dword:00000064\n\"FontName\"=\"Arial\"\n"
        << QStringList{P + "FontName 1 417269616c00", P + "Top 4 64000000"};
    QTest::newRow("escapes in names and strings")
        << Section + R"("a\"b"="say \"hi\" in C:\\dir")" + "\n"
        << QStringList{P + "a\"b 1 " + QByteArray("say \"hi\" in C:\\dir\0", 19).toHex()};
    QTest::newRow("hex types")
        << Section + "\"B\"=hex:01,ff\n\"E\"=hex(2):25,41,00\n\"N\"=hex(0):\n\"Q\"=HEX(B):01\n"
        << QStringList{P + "B 3 01ff", P + "E 2 254100", P + "N 0 ", P + "Q 11 01"};
    QTest::newRow("hex list over several lines")
        << Section + "\"B\"=hex:01,02,\\\n  03,\\\n  04\n\"C\"=dword:00000001\n"
        << QStringList{P + "B 3 01020304", P + "C 4 01000000"};
    QTest::newRow("blanks and letter case")
        << QByteArray("  [HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]  \n"
                      "  \"A\" = DWORD:0000000A \n")
        << QStringList{P + "A 4 0a000000"};
    QTest::newRow("section without the root, CR LF and CR line ends")
        << QByteArray("[Software\\Pellovant\\Quillmar]\r\n\"A\"=dword:1\r\"B\"=\"x\"\r\n")
        << QStringList{P + "A 4 01000000", P + "B 1 7800"};
    QTest::newRow("later value wins") << Section + "\"A\"=dword:1\n\"A\"=\"x\"\n"
                                      << QStringList{P + "A 1 7800"};
    QTest::newRow("values of other roots, deletions and the default value are not read")
        << "[HKEY_LOCAL_MACHINE\\Software\\X]\n\"A\"=dword:1\n"
           "[-HKEY_CURRENT_USER\\Software\\Y]\n\"B\"=dword:1\n" +
               Section + "@=\"default\"\n\"C\"=-\n\"D\"=dword:2\n"
        << QStringList{P + "D 4 02000000"};
    QTest::newRow("values before any section or under a damaged one are not read")
        << "\"A\"=dword:1\n[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar\n\"B\"=dword:1\n" +
               Section + "\"C\"=dword:3\n"
        << QStringList{P + "C 4 03000000"};
    QTest::newRow("damaged lines are skipped")
        << Section +
               "garbage\nTop=dword:1\n\"Top\"=dword:xyz\n\"Top\"=dword:123456789\n"
               "\"Left\"=\"unterminated\n\"Width\"=\"x\" trailing\n\"Height\"=hex:1g\n"
               "\"W\"=hex(zz):01\n\"a/b\"=dword:1\n\"\"=dword:1\n\"X\"\n\"Y\"=dword:\n" +
               Bytes("\x01\xff\x80\x7f\n\xfe\x00\"Z\"=dword:5\n") + "\"GridLine\"=dword:00000001\n"
        << QStringList{P + "GridLine 4 01000000", P + "Z 4 05000000"};
    QTest::newRow("exported in UTF-16")
        << Utf16File(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\r\n"
                                    "\"FontName\"=\"Arial\"\r\n\"Top\"=dword:00000064\r\n"))
        << QStringList{P + "FontName 1 417269616c00", P + "Top 4 64000000"};
    // Keys are read as they will be written back, so a file read, saved and read again holds
    // the same values.
    QTest::newRow("blanks around key parts and empty parts are dropped")
        << QByteArray("[HKEY_CURRENT_USER\\Software\\Pellovant \\\\Quillmar\\]\n\"A\"=dword:1\n")
        << QStringList{P + "A 4 01000000"};
    QTest::newRow("a slash in a key part keeps the key from being read")
        << QByteArray("[Software\\Pellovant/x\\Quillmar]\n\"A\"=dword:1\n") << QStringList();
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void TestSettingsStore::readFormat()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, values);
    QCOMPARE(Describe(Parse(content)), values);
}

void TestSettingsStore::writeFormat()
{
    QSettings::SettingsMap map;
    map[P + "Top"] = QVariant::fromValue(RegistryValue{rtInteger, QByteArray("\x64\0\0\0", 4)});
    map[P + "FontName"] = QVariant::fromValue(RegistryValue{rtString, QByteArray("A\"\\b\0", 5)});
    map[P + "Sub/Inner"] = QVariant::fromValue(RegistryValue{rtBinary, "\x01\xab"});
    map[P + "Width"] = QVariant::fromValue(RegistryValue{rtInteger, QByteArray("\x08\0\0\x80", 4)});
    QCOMPARE(Write(map), QByteArray("Windows Registry Editor Version 5.00\n"
                                    "\n"
                                    "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar]\n"
                                    "\"FontName\"=\"A\\\"\\\\b\"\n"
                                    "\"Top\"=dword:00000064\n"
                                    "\"Width\"=dword:80000008\n"
                                    "\n"
                                    "[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar\\Sub]\n"
                                    "\"Inner\"=hex:01,ab\n"
                                    "\n"));
}

void TestSettingsStore::writeReadRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<RegistryValue>("value");

    QTest::newRow("string") << P + "S" << RegistryValue{rtString, QByteArray("text\0", 5)};
    QTest::newRow("empty string") << P + "S" << RegistryValue{rtString, QByteArray(1, '\0')};
    QTest::newRow("string with line breaks")
        << P + "S" << RegistryValue{rtString, QByteArray("a\r\nb\0", 5)};
    QTest::newRow("string with a zero inside")
        << P + "S" << RegistryValue{rtString, QByteArray("a\0b\0", 4)};
    QTest::newRow("string without its zero") << P + "S" << RegistryValue{rtString, "ab"};
    QTest::newRow("8-bit string") << P + "S"
                                  << RegistryValue{rtString, QByteArray("\xe9\xff\0", 3)};
    QTest::newRow("short integer") << P + "I" << RegistryValue{rtInteger, "\x01\x02"};
    QTest::newRow("empty binary") << P + "B" << RegistryValue{rtBinary, ""};
    QTest::newRow("other type") << P + "T" << RegistryValue{0x12345678, Bytes("\x00\xff")};
    QTest::newRow("quotes and backslashes in the name")
        << P + "a\\\"b" << RegistryValue{rtInteger, QByteArray(4, '\0')};
    QTest::newRow("value of the root")
        << QStringLiteral("R") << RegistryValue{rtInteger, QByteArray(4, '\x7f')};
}

void TestSettingsStore::writeReadRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(RegistryValue, value);
    QSettings::SettingsMap map;
    map[key] = QVariant::fromValue(value);
    map[P + "After"] = QVariant::fromValue(RegistryValue{rtInteger, QByteArray(4, '\1')});
    QCOMPARE(Describe(Parse(Write(map))), Describe(map));
}

void TestSettingsStore::readInteger_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("error");

    const QString getFailed = QStringLiteral("Failed to get data for 'V'");
    const QString invalidType = QStringLiteral("Invalid data type for 'V'");
    QTest::newRow("integer") << QByteArray("\"V\"=dword:00000064") << 100 << QString();
    QTest::newRow("top bit set") << QByteArray("\"V\"=dword:80000008") << int(0x80000008)
                                 << QString();
    QTest::newRow("integer of two bytes")
        << QByteArray("\"V\"=hex(4):01,02") << 0x0201 << QString();
    QTest::newRow("missing") << QByteArray() << 0 << getFailed;
    // A string's size counts its zero byte: up to three characters fit in 4 bytes.
    QTest::newRow("empty string") << QByteArray("\"V\"=\"\"") << 0 << invalidType;
    QTest::newRow("string of 3") << QByteArray("\"V\"=\"100\"") << 0 << invalidType;
    QTest::newRow("string of 4") << QByteArray("\"V\"=\"1000\"") << 0 << getFailed;
    QTest::newRow("binary of 4") << QByteArray("\"V\"=hex:01,00,00,00") << 0 << invalidType;
    QTest::newRow("binary of 5") << QByteArray("\"V\"=hex:01,00,00,00,00") << 0 << getFailed;
    QTest::newRow("integer of 8 bytes")
        << QByteArray("\"V\"=hex(4):01,00,00,00,00,00,00,00") << 0 << getFailed;
    QTest::newRow("big-endian integer")
        << QByteArray("\"V\"=hex(5):00,00,00,01") << 0 << invalidType;
}

void TestSettingsStore::readInteger()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    QFETCH(QString, error);
    m_store->writeValues("\"Other\"=dword:00000001\n" + line + '\n');

    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key));
    try {
        QCOMPARE(registry.ReadInteger(QStringLiteral("V")), expected);
        QVERIFY2(error.isEmpty(), "no error");
        QCOMPARE(registry.ReadBool(QStringLiteral("V")), expected != 0);
    } catch (const ERegistryException& e) {
        QCOMPARE(e.Message(), error);
    }
}

void TestSettingsStore::readString_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("error");

    const QString invalidType = QStringLiteral("Invalid data type for 'V'");
    QTest::newRow("string") << QByteArray("\"V\"=\"Arial\"") << QByteArray("Arial") << QString();
    QTest::newRow("empty string") << QByteArray("\"V\"=\"\"") << QByteArray() << QString();
    QTest::newRow("missing") << QByteArray() << QByteArray() << QString();
    QTest::newRow("integer") << QByteArray("\"V\"=dword:00000001") << QByteArray() << invalidType;
    QTest::newRow("binary") << QByteArray("\"V\"=hex:41,00") << QByteArray() << invalidType;
    QTest::newRow("no data of any type") << QByteArray("\"V\"=hex:") << QByteArray() << QString();
    QTest::newRow("expandable, unexpanded")
        << QByteArray("\"V\"=hex(2):25,48,4f,4d,45,25,00") << QByteArray("%HOME%") << QString();
    QTest::newRow("ends at the first zero")
        << QByteArray("\"V\"=hex(1):41,00,42,00") << QByteArray("A") << QString();
    QTest::newRow("without its zero")
        << QByteArray("\"V\"=hex(1):41,42") << QByteArray("AB") << QString();
    QTest::newRow("8-bit text") << QByteArray("\"V\"=\"\xcf\xf0\xe8\"")
                                << QByteArray("\xcf\xf0\xe8") << QString();
}

void TestSettingsStore::readString()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    QFETCH(QString, error);
    m_store->writeValues("\"Other\"=dword:00000001\n" + line + '\n');

    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key));
    try {
        QCOMPARE(registry.ReadString(QStringLiteral("V")), expected);
        QVERIFY2(error.isEmpty(), "no error");
    } catch (const ERegistryException& e) {
        QCOMPARE(e.Message(), error);
    }
}

void TestSettingsStore::openKey()
{
    TRegistry registry;
    // No store yet: nothing opens, and looking does not create the file.
    QVERIFY(!registry.OpenKeyReadOnly(Key));
    QVERIFY(!registry.OpenKey(Key, false));
    QVERIFY(!QFileInfo::exists(m_store->fileName()));
    QVERIFY(!QFileInfo::exists(QFileInfo(m_store->fileName()).path()));

    m_store->writeFile("[HKEY_CURRENT_USER\\Software\\Pellovant\\Quillmar\\Sub]\n\"A\"=dword:1\n"
                       "[HKEY_CURRENT_USER\\Software\\Other]\n\"B\"=dword:2\n");
    // A key exists by the values under it, its subkeys' too; paths need not be spelt one way.
    QVERIFY(registry.OpenKeyReadOnly(Key));
    QVERIFY(registry.OpenKeyReadOnly(QStringLiteral("\\Software\\\\Pellovant\\Quillmar\\")));
    QVERIFY(registry.OpenKey(QStringLiteral("Software/Other"), false));
    QCOMPARE(registry.ReadInteger(QStringLiteral("B")), 2);
    QVERIFY(!registry.OpenKeyReadOnly(QStringLiteral("Software\\Pellovant\\Quill")));
    // A failed open leaves no key open.
    QVERIFY_THROWS_EXCEPTION(ERegistryException, registry.ReadInteger(QStringLiteral("B")));

    // The store file cannot be read: no key opens, not even to be created.
    QFile::remove(m_store->fileName());
    QVERIFY(QDir().mkpath(m_store->fileName()));
    QVERIFY(!registry.OpenKeyReadOnly(Key));
    QVERIFY(!registry.OpenKey(Key, true));
}

void TestSettingsStore::noKeyOpenForWriting()
{
    m_store->writeValues("\"A\"=dword:00000001\n");
    const QByteArray before = m_store->readFile();
    TRegistry registry;
    auto expectSetFailed = [&](auto write) {
        try {
            write();
            QFAIL("the write did not fail");
        } catch (const ERegistryException& e) {
            QCOMPARE(e.Message(), QStringLiteral("Failed to set data for 'A'"));
        }
    };
    expectSetFailed([&] { registry.WriteInteger(QStringLiteral("A"), 2); });
    QCOMPARE(registry.ReadString(QStringLiteral("A")), QByteArray());

    QVERIFY(registry.OpenKeyReadOnly(Key));
    expectSetFailed([&] { registry.WriteInteger(QStringLiteral("A"), 2); });
    expectSetFailed([&] { registry.WriteString(QStringLiteral("A"), "x"); });
    registry.CloseKey();
    QVERIFY_THROWS_EXCEPTION(ERegistryException, registry.ReadInteger(QStringLiteral("A")));
    QCOMPARE(m_store->readFile(), before);
}

void TestSettingsStore::writeKeepsOtherValues()
{
    m_store->writeFile("[HKEY_CURRENT_USER\\Software\\Other]\n\"B\"=\"kept\"\n" + Section +
                       "\"Top\"=\"old\"\n\"Old\"=dword:00000007\n");
    {
        TRegistry registry;
        QVERIFY(registry.OpenKey(Key, true));
        registry.WriteInteger(QStringLiteral("Top"), 100);
        registry.WriteString(QStringLiteral("FontName"), "Arial");
        registry.WriteBool(QStringLiteral("ToolBar"), true);
        // Written values are read back at once, in their new type.
        QCOMPARE(registry.ReadInteger(QStringLiteral("Top")), 100);
    }
    const QByteArray file = m_store->readFile();
    QVERIFY(file.startsWith("Windows Registry Editor Version 5.00\n"));
    QVERIFY(file.contains(Section + "\"FontName\"=\"Arial\"\n\"Old\"=dword:00000007\n"
                                    "\"ToolBar\"=dword:00000001\n\"Top\"=dword:00000064\n"));
    QVERIFY(file.contains("[HKEY_CURRENT_USER\\Software\\Other]\n\"B\"=\"kept\"\n"));
}

void TestSettingsStore::writeFailure()
{
    // A file where the store's directory belongs: the key opens, its first value cannot be stored.
    QFile blocker(QFileInfo(m_store->fileName()).path());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    TRegistry registry;
    QVERIFY(registry.OpenKey(Key, true));
    try {
        registry.WriteString(QStringLiteral("FontName"), "Arial");
        QFAIL("the write did not fail");
    } catch (const ERegistryException& e) {
        QCOMPARE(e.Message(), QStringLiteral("Failed to set data for 'FontName'"));
    }
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
