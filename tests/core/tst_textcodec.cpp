#include "encodingdetect.h"
#include "textcodec.h"

#include <QTest>

class TestTextCodec : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void unrepresentable();
    void nextTextStartsAfresh_data();
    void nextTextStartsAfresh();
    void upperCase_data();
    void upperCase();
    void leadBytes();
    void detect_data();
    void detect();
    void utf8Validity_data();
    void utf8Validity();
};

void TestTextCodec::roundTrip_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray("UTF-8") << QByteArray("\xD0\x9F\xD1\x80\xD0\xB8")
                           << QString::fromUtf8("При");
    QTest::newRow("windows-1251") << QByteArray("windows-1251") << QByteArray("\xCF\xF0\xE8")
                                  << QString::fromUtf8("При");
    QTest::newRow("windows-1252") << QByteArray("windows-1252") << QByteArray("caf\xE9 \x80")
                                  << QString::fromUtf8("café €");
    QTest::newRow("shift_jis") << QByteArray("Shift_JIS") << QByteArray("\x93\xFA\x96\x7B")
                               << QString::fromUtf8("日本");
}

void TestTextCodec::roundTrip()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const TextCodec codec(encoding);
    QVERIFY(codec.Valid());
    QCOMPARE(codec.ToUnicode(bytes), text);
    QCOMPARE(codec.FromUnicode(text), std::optional<QByteArray>(bytes));
}

void TestTextCodec::unrepresentable()
{
    const TextCodec codec("windows-1251");
    QString bad;
    QCOMPARE(codec.FromUnicode(QString::fromUtf8("Да ж€ é"), &bad), std::nullopt);
    QCOMPARE(bad, QString::fromUtf8("é"));
    QVERIFY(!TextCodec("no-such-encoding").Valid());
}

void TestTextCodec::nextTextStartsAfresh_data()
{
    // A codec converts one grid cell after another: a text cut inside a character must not
    // lend its loose bytes to the next text.
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("cut");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<QString>("nextText");
    QTest::newRow("shift_jis half a character")
        << QByteArray("Shift_JIS") << QByteArray("ab\x93") << QByteArray("\x96\x7B")
        << QString::fromUtf8("本");
    // Joined, 81 30 81 30 would be U+0080.
    QTest::newRow("gb18030 three bytes of four")
        << QByteArray("GB18030") << QByteArray("x\x81\x30\x81") << QByteArray("0a")
        << QString("0a");
    QTest::newRow("euc-jp lead of three") << QByteArray("EUC-JP") << QByteArray("\x8F")
                                          << QByteArray("\xC6\xFC") << QString::fromUtf8("日");
}

void TestTextCodec::nextTextStartsAfresh()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, cut);
    QFETCH(QByteArray, next);
    QFETCH(QString, nextText);
    const QString cutAlone = TextCodec(encoding).ToUnicode(cut);
    const TextCodec codec(encoding);
    QCOMPARE(codec.ToUnicode(cut), cutAlone);
    QCOMPARE(codec.ToUnicode(next), nextText);
    // Half a surrogate pair at the end of one text is not completed by the next one.
    QCOMPARE(codec.FromUnicode(QString(QChar(0xD83D))), std::nullopt);
    QCOMPARE(codec.FromUnicode(nextText), std::optional<QByteArray>(next));

    // Copies convert on their own, also when assigned over a codec that has converted before.
    const TextCodec copy = codec;
    QCOMPARE(copy.ToUnicode(cut), cutAlone);
    QCOMPARE(copy.ToUnicode(next), nextText);
    TextCodec assigned("windows-1251");
    QCOMPARE(assigned.ToUnicode("\xCF"), QString::fromUtf8("П"));
    assigned = codec;
    QCOMPARE(assigned.ToUnicode(next), nextText);
    QCOMPARE(assigned.FromUnicode(nextText), std::optional<QByteArray>(next));
}

void TestTextCodec::upperCase_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("upper");
    QTest::newRow("cyrillic 1251") << QByteArray("windows-1251") << QByteArray("\xEF\xF0\xE8 abc")
                                   << QByteArray("\xCF\xD0\xC8 ABC");
    QTest::newRow("latin 1252") << QByteArray("windows-1252") << QByteArray("\xE9t\xE9")
                                << QByteArray("\xC9T\xC9");
    // The German sharp s has no one-letter capital; it stays rather than growing the text.
    QTest::newRow("sharp s stays")
        << QByteArray("windows-1252") << QByteArray("\xDF") << QByteArray("\xDF");
    QTest::newRow("utf-8") << QByteArray("UTF-8") << QByteArray("\xD0\xBF\xD1\x80 a")
                           << QByteArray("\xD0\x9F\xD0\xA0 A");
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
    QCOMPARE(sjis.LeadBytes().scheme, LeadByteTable::Scheme::DoubleByte);
    QVERIFY(sjis.LeadBytes().IsLead(0x81));
    QVERIFY(sjis.LeadBytes().IsLead(0xE0));
    QVERIFY(!sjis.LeadBytes().IsLead(0xA1)); // half-width katakana is one byte
    QVERIFY(!sjis.LeadBytes().IsLead('A'));
    QCOMPARE(TextCodec("windows-1251").LeadBytes().scheme, LeadByteTable::Scheme::SingleByte);
    QCOMPARE(TextCodec("GBK").LeadBytes().scheme, LeadByteTable::Scheme::DoubleByte);
    QCOMPARE(TextCodec("utf8").LeadBytes().scheme, LeadByteTable::Scheme::Utf8);
}

void TestTextCodec::detect_data()
{
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("encoding");
    const QByteArray english = "define(\"_HI\",\"Hello\");\n";
    QTest::newRow("utf-8 pair") << english
                                << QByteArray("define(\"_HI\",\"\xD0\x9F\xD1\x80\xD0\xB8\");")
                                << "ru_RU" << QByteArray("UTF-8");
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF") + english << QByteArray() << "de_DE" << QByteArray("UTF-8");
    QTest::newRow("windows-1251 russian")
        << english << QByteArray("define(\"_HI\",\"\xCF\xF0\xE8\");") << "ru_RU"
        << QByteArray("windows-1251");
    QTest::newRow("windows-1252 german") << english << QByteArray("define(\"_HI\",\"Gr\xFC\xDF\");")
                                         << "de_DE" << QByteArray("windows-1252");
    QTest::newRow("shift_jis japanese")
        << english << QByteArray("define(\"_HI\",\"\x93\xFA\x96\x7B\");") << "ja_JP"
        << QByteArray("Shift_JIS");
    QTest::newRow("polish") << english << QByteArray("\xB9") << "pl_PL"
                            << QByteArray("windows-1250");
    QTest::newRow("traditional chinese")
        << english << QByteArray("\xA4\xA4") << "zh_TW" << QByteArray("Big5");
    QTest::newRow("ascii only") << english << english << "ru_RU" << QByteArray("UTF-8");
}

void TestTextCodec::detect()
{
    QFETCH(QByteArray, templ);
    QFETCH(QByteArray, translation);
    QFETCH(QString, locale);
    QFETCH(QByteArray, encoding);
    const QByteArray got = DetectDocumentEncoding(templ, {translation}, QLocale(locale)).name;
    QCOMPARE(got, encoding);
    QVERIFY(TextCodec(got).Valid()); // every detected name is one Qt can convert
}

void TestTextCodec::utf8Validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("abc") << true;
    QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("truncated at end") << QByteArray("ok\xD0") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("latin-1 e acute") << QByteArray("caf\xE9") << false;
    // Runs of eight ASCII bytes are skipped at once; what follows them is still checked.
    QTest::newRow("latin-1 ahead of a long ascii run")
        << QByteArray("caf\xE9 and a long tail of text") << false;
    QTest::newRow("truncated after a long ascii run")
        << QByteArray("0123456789abcdef\xE2\x82") << false;
    QTest::newRow("utf-8 between long ascii runs") << QByteArray("0123456789\xE2\x82\xAC"
                                                                 "0123456789")
                                                   << true;
}

void TestTextCodec::utf8Validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUtf8(bytes), valid);
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
