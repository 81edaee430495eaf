#include "textcodec.h"

#include <QTest>

class TestTextCodec : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void unrepresentable();
    void upperCase_data();
    void upperCase();
    void leadBytes();
};

void TestTextCodec::roundTrip_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray("UTF-8") << QByteArray("\xD0\x9F\xD1\x80\xD0\xB8") << QString::fromUtf8("При");
    QTest::newRow("windows-1251") << QByteArray("windows-1251") << QByteArray("\xCF\xF0\xE8") << QString::fromUtf8("При");
    QTest::newRow("windows-1252") << QByteArray("windows-1252") << QByteArray("caf\xE9 \x80") << QString::fromUtf8("café €");
    QTest::newRow("shift_jis") << QByteArray("Shift_JIS") << QByteArray("\x93\xFA\x96\x7B") << QString::fromUtf8("日本");
}

void TestTextCodec::roundTrip()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const TextCodec codec(encoding);
    QVERIFY(codec.valid());
    QCOMPARE(codec.ToUnicode(bytes), text);
    QCOMPARE(codec.FromUnicode(text), std::optional<QByteArray>(bytes));
}

void TestTextCodec::unrepresentable()
{
    const TextCodec codec("windows-1251");
    QString bad;
    QCOMPARE(codec.FromUnicode(QString::fromUtf8("Да ж€ é"), &bad), std::nullopt);
    QCOMPARE(bad, QString::fromUtf8("é"));
    QVERIFY(!TextCodec("no-such-encoding").valid());
}

void TestTextCodec::upperCase_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("upper");
    QTest::newRow("cyrillic 1251") << QByteArray("windows-1251") << QByteArray("\xEF\xF0\xE8 abc") << QByteArray("\xCF\xD0\xC8 ABC");
    QTest::newRow("latin 1252") << QByteArray("windows-1252") << QByteArray("\xE9t\xE9") << QByteArray("\xC9T\xC9");
    // The German sharp s has no one-letter capital; it stays rather than growing the text.
    QTest::newRow("sharp s stays") << QByteArray("windows-1252") << QByteArray("\xDF") << QByteArray("\xDF");
    QTest::newRow("utf-8") << QByteArray("UTF-8") << QByteArray("\xD0\xBF\xD1\x80 a") << QByteArray("\xD0\x9F\xD0\xA0 A");
}

void TestTextCodec::upperCase()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, upper);
    QCOMPARE(TextCodec(encoding).UpperCase(bytes), upper);
}

void TestTextCodec::leadBytes()
{
    const TextCodec sjis("Shift_JIS");
    QCOMPARE(sjis.leadBytes().scheme, LeadByteTable::Scheme::DoubleByte);
    QVERIFY(sjis.leadBytes().IsLead(0x81));
    QVERIFY(sjis.leadBytes().IsLead(0xE0));
    QVERIFY(!sjis.leadBytes().IsLead(0xA1)); // half-width katakana is one byte
    QVERIFY(!sjis.leadBytes().IsLead('A'));
    QCOMPARE(TextCodec("windows-1251").leadBytes().scheme, LeadByteTable::Scheme::SingleByte);
    QCOMPARE(TextCodec("GBK").leadBytes().scheme, LeadByteTable::Scheme::DoubleByte);
    QCOMPARE(TextCodec("utf8").leadBytes().scheme, LeadByteTable::Scheme::Utf8);
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
