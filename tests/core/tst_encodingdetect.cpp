#include "encodingdetect.h"

#include <QStringEncoder>
#include <QTest>
#include <algorithm>

Q_DECLARE_METATYPE(EncodingSource)

namespace {

// A few phrases of a real translation in each language: enough letters for a guess.
const QString Russian = QString::fromUtf8("define(\"_HELLO\",\"Привет, мир\");\n"
                                          "define(\"_YES\",\"Да\");\n"
                                          "define(\"_SAVE\",\"Сохранить изменения\");\n"
                                          "define(\"_LOGIN\",\"Войти на сайт\");\n"
                                          "define(\"_SEARCH\",\"Поиск по сайту\");\n");
const QString Czech = QString::fromUtf8(
    "define(\"_HELLO\",\"Dobrý den, světe\");\n"
    "define(\"_SAVE\",\"Uložit změny\");\n"
    "define(\"_CANCEL\",\"Zrušit\");\n"
    "define(\"_LOGIN\",\"Přihlásit se\");\n"
    "define(\"_SEARCH\",\"Hledat na stránkách\");\n"
    "define(\"_ERROR\",\"Při ukládání došlo k chybě, zkuste to prosím znovu\");\n");
const QString Polish = QString::fromUtf8(
    "define(\"_HELLO\",\"Witaj, świecie\");\n"
    "define(\"_LOGIN\",\"Zaloguj się\");\n"
    "define(\"_PASSWORD\",\"Hasło\");\n"
    "define(\"_SEARCH\",\"Szukaj w serwisie, żółć źdźbło\");\n"
    "define(\"_ERROR\",\"Wystąpił błąd podczas zapisywania, spróbuj ponownie\");\n"
    "define(\"_DONE\",\"Zmiany zostały zapisane. Dziękujemy\");\n");
const QString Greek = QString::fromUtf8("define(\"_HELLO\",\"Γειά σου κόσμε\");\n"
                                        "define(\"_SAVE\",\"Αποθήκευση αλλαγών\");\n"
                                        "define(\"_CANCEL\",\"Ακύρωση\");\n"
                                        "define(\"_PASSWORD\",\"Κωδικός πρόσβασης\");\n");
const QString Chinese = QString::fromUtf8("define(\"_HELLO\",\"你好，世界\");\n"
                                          "define(\"_SAVE\",\"保存更改\");\n"
                                          "define(\"_LOGIN\",\"登录网站\");\n"
                                          "define(\"_PASSWORD\",\"密码\");\n"
                                          "define(\"_SEARCH\",\"搜索本站\");\n");

QByteArray In(const char* encoding, const QString& text)
{
    QStringEncoder e(encoding);
    return e.encode(text);
}

QByteArray Php(const QByteArray& declaration, const QByteArray& body)
{
    return "<?php\n" + declaration + body;
}

} // namespace

class TestEncodingDetect : public QObject
{
    Q_OBJECT
private slots:
    void declared_data();
    void declared();
    void file_data();
    void file();
    void largeFile_data();
    void largeFile();
    void document_data();
    void document();
};

void TestEncodingDetect::declared_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("define _CHARSET")
        << QByteArray("define(\"_CHARSET\",\"windows-1251\");") << QByteArray("windows-1251");
    QTest::newRow("single quotes, an alias")
        << QByteArray("define('_CHARSET', 'cp1251');") << QByteArray("windows-1251");
    QTest::newRow("_ISO, blanks, capitals")
        << QByteArray("DEFINE ( \"_ISO\" , \"ISO-8859-2\" );") << QByteArray("ISO-8859-2");
    QTest::newRow("_ISO holding charset=")
        << QByteArray("define('_ISO','charset=iso-8859-2');") << QByteArray("ISO-8859-2");
    QTest::newRow("$lang_charset")
        << QByteArray("$lang_charset = \"koi8-r\";") << QByteArray("KOI8-R");
    QTest::newRow("array key") << QByteArray("$lang['charset'] = 'gb2312';") << QByteArray("GBK");
    QTest::newRow("array entry") << QByteArray("'charset' => 'UTF-8',") << QByteArray("UTF-8");
    QTest::newRow("meta text") << QByteArray(
                                      "define(\"_META\",\"<meta http-equiv=\\\"Content-Type\\\" "
                                      "content=\\\"text/html; charset=iso-8859-7\\\">\");")
                               << QByteArray("ISO-8859-7");
    QTest::newRow("a later declaration after prose")
        << QByteArray("// the charset is set below\ndefine(\"_CHARSET\",\"windows-1250\");")
        << QByteArray("windows-1250");
    QTest::newRow("prose names nothing")
        << QByteArray("define(\"_HELP\",\"Pick the charset windows-1251 or UTF-8\");")
        << QByteArray();
    QTest::newRow("unknown name") << QByteArray("define(\"_CHARSET\",\"bogus-charset\");")
                                  << QByteArray();
    QTest::newRow("at the very end") << QByteArray("charset") << QByteArray();
}

void TestEncodingDetect::declared()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, encoding);
    QCOMPARE(DeclaredEncoding(text), encoding);
}

void TestEncodingDetect::file_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<EncodingSource>("source");
    using S = EncodingSource;
    const QString C = QStringLiteral("C");
    QTest::newRow("windows-1251 declared")
        << Php("define(\"_CHARSET\",\"windows-1251\");\n", In("windows-1251", Russian)) << C
        << QByteArray("windows-1251") << S::Declared;
    QTest::newRow("windows-1251 guessed")
        << Php("", In("windows-1251", Russian)) << C << QByteArray("windows-1251") << S::Guessed;
    QTest::newRow("windows-1250 declared")
        << Php("define('_ISO','charset=windows-1250');\n", In("windows-1250", Czech)) << C
        << QByteArray("windows-1250") << S::Declared;
    QTest::newRow("windows-1250 guessed")
        << Php("", In("windows-1250", Czech)) << C << QByteArray("windows-1250") << S::Guessed;
    QTest::newRow("ISO-8859-2 declared")
        << Php("$lang_charset = \"iso-8859-2\";\n", In("ISO-8859-2", Polish)) << C
        << QByteArray("ISO-8859-2") << S::Declared;
    QTest::newRow("ISO-8859-2 guessed")
        << Php("", In("ISO-8859-2", Polish)) << C << QByteArray("ISO-8859-2") << S::Guessed;
    QTest::newRow("ISO-8859-7 declared")
        << Php("define(\"_META\",\"<meta content=\\\"text/html; charset=iso-8859-7\\\">\");\n",
               In("ISO-8859-7", Greek))
        << C << QByteArray("ISO-8859-7") << S::Declared;
    QTest::newRow("ISO-8859-7 guessed")
        << Php("", In("ISO-8859-7", Greek)) << C << QByteArray("ISO-8859-7") << S::Guessed;
    QTest::newRow("KOI8-R declared")
        << Php("define(\"_CHARSET\",\"koi8-r\");\n", In("KOI8-R", Russian)) << C
        << QByteArray("KOI8-R") << S::Declared;
    QTest::newRow("KOI8-R guessed")
        << Php("", In("KOI8-R", Russian)) << C << QByteArray("KOI8-R") << S::Guessed;
    QTest::newRow("GBK declared") << Php("define(\"_CHARSET\",\"gb2312\");\n", In("GBK", Chinese))
                                  << C << QByteArray("GBK") << S::Declared;
    QTest::newRow("GBK guessed") << Php("", In("GBK", Chinese)) << C << QByteArray("GBK")
                                 << S::Guessed;
    QTest::newRow("UTF-8") << Php("", Russian.toUtf8()) << C << QByteArray("UTF-8") << S::Utf8;
    QTest::newRow("UTF-8 declaring an old charset")
        << Php("define(\"_CHARSET\",\"windows-1251\");\n", Russian.toUtf8()) << C
        << QByteArray("UTF-8") << S::Utf8;
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF<?php\n") << C << QByteArray("UTF-8") << S::ByteOrderMark;
    // A copied header that the bytes contradict is not the file's encoding.
    QTest::newRow("declared UTF-8 over windows-1251")
        << Php("define(\"_CHARSET\",\"utf-8\");\n", In("windows-1251", Russian)) << C
        << QByteArray("windows-1251") << S::Guessed;
    QTest::newRow("ASCII declaring a charset")
        << Php("define(\"_CHARSET\",\"koi8-r\");\n", "define(\"_A\",\"a\");\n") << C
        << QByteArray("KOI8-R") << S::Declared;
    QTest::newRow("ASCII") << Php("", "define(\"_A\",\"a\");\n") << C << QByteArray("UTF-8")
                           << S::Ascii;
    // A word or two is no ground for a guess: the user's language decides.
    QTest::newRow("a few letters, Russian user")
        << QByteArray("define(\"_HI\",\"\xCF\xF0\xE8\xE2\xE5\xF2\");") << QStringLiteral("ru_RU")
        << QByteArray("windows-1251") << S::Locale;
    QTest::newRow("a few letters, C locale") << QByteArray("define(\"_HI\",\"Gr\xFC\xDF\");") << C
                                             << QByteArray("windows-1252") << S::Locale;
}

void TestEncodingDetect::file()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, locale);
    QFETCH(QByteArray, encoding);
    QFETCH(EncodingSource, source);
    const FileEncoding got = DetectFileEncoding(bytes, QLocale(locale));
    QCOMPARE(got.name, encoding);
    QCOMPARE(got.source, source);
    QCOMPARE(got.eightBit,
             std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; }));
    QVERIFY(!CanonicalEncodingName(got.name).isEmpty()); // every name is one Qt converts
}

// Files of many megabytes are read by samples: what decides must be found all the same.
void TestEncodingDetect::largeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<EncodingSource>("source");
    const QByteArray ascii =
        QByteArray("define(\"_A\",\"Plain English text\");\n").repeated(200000);
    const QByteArray middle = ascii.left(ascii.size() / 2 + 37 * 7); // between two samples
    QTest::newRow("one 8-bit line between the samples")
        << middle + In("windows-1251", Russian) + ascii << QByteArray("windows-1251")
        << EncodingSource::Guessed;
    // One line of 6 MB: samples cut it anywhere, also inside a character.
    QTest::newRow("UTF-8 without line breaks")
        << QString::fromUtf8("Сохранить изменения ").toUtf8().repeated(160000)
        << QByteArray("UTF-8") << EncodingSource::Utf8;
    QTest::newRow("declared at the top")
        << Php("define(\"_CHARSET\",\"koi8-r\");\n", In("KOI8-R", Russian).repeated(40000))
        << QByteArray("KOI8-R") << EncodingSource::Declared;
}

void TestEncodingDetect::largeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, encoding);
    QFETCH(EncodingSource, source);
    QVERIFY(bytes.size() > 5 * 1024 * 1024);
    const FileEncoding got = DetectFileEncoding(bytes, QLocale::c());
    QCOMPARE(got.name, encoding);
    QCOMPARE(got.source, source);
}

void TestEncodingDetect::document_data()
{
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QByteArrayList>("translations");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<bool>("mismatch");
    const QByteArray english =
        Php("define(\"_CHARSET\",\"iso-8859-1\");\n", "define(\"_HELLO\",\"Hello\");\n");
    const QByteArray utf8English =
        Php("", QString::fromUtf8("define(\"_COPY\",\"© Example\");\n").toUtf8());
    const QByteArray french =
        Php("define(\"_CHARSET\",\"iso-8859-1\");\n", "define(\"_HELLO\",\"All\xF4\");\n");
    const QByteArray russian =
        Php("define(\"_CHARSET\",\"windows-1251\");\n", In("windows-1251", Russian));
    QTest::newRow("the translation's encoding over an English template's charset")
        << english << QByteArrayList{russian} << QByteArray("windows-1251") << false;
    QTest::newRow("a template alone: its charset phrase is translated")
        << english << QByteArrayList{} << QByteArray("UTF-8") << false;
    QTest::newRow("the template's letters when the translation has none")
        << utf8English << QByteArrayList{"define(\"_COPY\",\"(c)\");\n"} << QByteArray("UTF-8")
        << false;
    QTest::newRow("ISO-8859-1 translation of a UTF-8 template")
        << utf8English << QByteArrayList{french} << QByteArray("ISO-8859-1") << true;
    QTest::newRow("windows-1251 template and translation")
        << russian << QByteArrayList{In("windows-1251", Russian)} << QByteArray("windows-1251")
        << false;
    QTest::newRow("an encoding that extends the template's")
        << Php("", "define(\"_HELLO\",\"All\xF4 caf\xE9 \xE0 ma fa\xE7on, tr\xE8s \xE9l\xE9gant, "
                   "d\xE9j\xE0 vu, na\xEFve\");\n")
        << QByteArrayList{Php("define(\"_CHARSET\",\"windows-1252\");\n", "")}
        << QByteArray("windows-1252") << false;
    QTest::newRow("the last merged file counts")
        << english << QByteArrayList{russian, utf8English} << QByteArray("UTF-8") << false;
}

void TestEncodingDetect::document()
{
    QFETCH(QByteArray, templ);
    QFETCH(QByteArrayList, translations);
    QFETCH(QByteArray, encoding);
    QFETCH(bool, mismatch);
    const DocumentEncoding got = DetectDocumentEncoding(templ, translations, QLocale::c());
    QCOMPARE(got.name, encoding);
    QCOMPARE(got.mismatch, mismatch);
    QCOMPARE(got.translation.has_value(), !translations.isEmpty());
    if (mismatch) {
        const QString text = EncodingMismatchText(got, "en.php", "fr.php");
        QVERIFY2(text.contains("fr.php") && text.contains("ISO-8859-1") && text.contains("UTF-8"),
                 qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestEncodingDetect)
#include "tst_encodingdetect.moc"
