#include "errors.h"
#include "phrasesearch.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

// The search folds case while it scans where it can; these cases pin it to what upper-casing
// both texts and searching the copies gives.
class TestPhraseSearch : public QObject
{
    Q_OBJECT
private slots:
    void caseInsensitive_data();
    void caseInsensitive();
    void foldsByCharacters_data();
    void foldsByCharacters();
    void invalidMaskInEncoding();
    void agreesWithFoldedCopies();
};

void TestPhraseSearch::caseInsensitive_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("found");
    QTest::newRow("ascii") << QByteArray("UTF-8") << QByteArray("Welcome home")
                           << QByteArray("COME H") << true;
    QTest::newRow("long s folds to S in UTF-8")
        << QByteArray("UTF-8") << QByteArray("\xC5\xBF") << QByteArray("s") << true;
    QTest::newRow("cyrillic in UTF-8")
        << QByteArray("UTF-8") << QByteArray("\xD0\xBF\xD1\x80\xD0\xB8")
        << QByteArray("\xD0\x9F\xD0\xA0") << true;
    QTest::newRow("ascii pattern after high bytes")
        << QByteArray("UTF-8") << QByteArray("\xC3\xA9t\xC3\xA9 abc") << QByteArray("ABC") << true;
    QTest::newRow("cyrillic in 1251") << QByteArray("windows-1251") << QByteArray("\xEF\xF0\xE8")
                                      << QByteArray("\xCF\xD0") << true;
    QTest::newRow("no match") << QByteArray("windows-1252") << QByteArray("abc")
                              << QByteArray("ABD") << false;
    QTest::newRow("pattern longer than text")
        << QByteArray("windows-1252") << QByteArray("ab") << QByteArray("ABC") << false;
}

void TestPhraseSearch::caseInsensitive()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QFETCH(bool, found);
    PhraseDocument doc;
    doc.LoadTemplateData("[[k]] = [[" + text + "]]\n");
    SearchRequest request;
    request.pattern = pattern;
    request.inOriginal = false;
    QCOMPARE(FindPhrase(doc, 0, request, TextCodec(encoding)).has_value(), found);
}

void TestPhraseSearch::foldsByCharacters_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("found");

    const auto row = [](const char* encoding, const char* text, const char* pattern, bool found) {
        const QByteArray name = QByteArray(encoding) + " " + pattern + " in " + text;
        QTest::newRow(name.constData()) << QByteArray(encoding) << QString::fromUtf8(text)
                                        << QString::fromUtf8(pattern) << found;
    };
    row("UTF-8", "Élan vital", "éLAN", true);
    row("UTF-8", "Привет, мир", "пРИВЕТ, МИР", true);
    row("UTF-8", "Привет, мир", "*МИР", true);
    row("UTF-8", "Привет, мир", "*[м]ир", true);
    row("UTF-8", "Привет, мир", "*[а-я]", true);
    row("UTF-8", "Привет, мир", "*[!а-я]", false);
    row("UTF-8", "Привет, мир", "прЕвет", false);
    row("windows-1251", "Привет, мир", "пРИВЕТ, МИР", true);
    row("windows-1251", "Привет, мир", "*[м]ИР", true);
    row("windows-1252", "Élan vital", "éLAN", true);
    row("windows-1252", "Élan vital", "[é]*", true);
    row("Shift_JIS", "Привет, мир", "пРИВЕТ, МИР", true);
    row("Shift_JIS", "ＡＢＣ", "ａｂｃ", true);
    row("Shift_JIS", "日本語のＡＢＣ", "*[ｂ]?", true);
    row("EUC-JP", "Müller", "MÜLLER", true); // three-byte letters
    row("EUC-JP", "Привет", "*[в]ЕТ", true);
    row("EUC-KR", "Привет", "пРИВЕТ", true);
    row("windows-949", "Привет", "пРИВЕТ", true);
    row("GB18030", "Äpfel", "äPFEL", true); // four-byte letters
    row("GB18030", "crème", "CRÈME", true); // è has two bytes, È four
    row("Big5", "ａｂｃ", "ＡＢＣ", true);
    // GBK holds ü but not its capital: the other letters still fold.
    row("GBK", "ü мир", "МИР", true);
    row("GBK", "ü мир", "ü", true);
}

void TestPhraseSearch::foldsByCharacters()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, found);
    QStringEncoder encoder(encoding.constData(), QStringConverter::Flag::Stateless);
    const QByteArray textBytes = encoder.encode(text);
    const QByteArray patternBytes = encoder.encode(pattern);
    QVERIFY2(!encoder.hasError(), "the encoding holds the text and the pattern");
    PhraseDocument doc;
    doc.LoadTemplateData("[[k]] = [[" + textBytes + "]]\n");
    SearchRequest request;
    request.pattern = patternBytes;
    request.inOriginal = false;
    try {
        QCOMPARE(FindPhrase(doc, 0, request, TextCodec(encoding)).has_value(), found);
    } catch (const Exception& e) {
        QFAIL(qPrintable(e.Message()));
    }
}

void TestPhraseSearch::invalidMaskInEncoding()
{
    // The message shows the mask as the user reads it, upper-cased as it was tested.
    const TextCodec codec("Shift_JIS");
    PhraseDocument doc;
    doc.LoadTemplateData("[[k]] = [[x]]\n");
    SearchRequest request;
    request.pattern = *codec.FromUnicode(u"*[ж");
    try {
        FindPhrase(doc, 0, request, codec);
        QFAIL("the mask compiled");
    } catch (const Exception& e) {
        QCOMPARE(e.Message(), QString::fromUtf8("'*[Ж' is an invalid mask at (5)"));
    }
}

void TestPhraseSearch::agreesWithFoldedCopies()
{
    QRandomGenerator rng(4711);
    const QByteArray alphabet = "aAbBzZ \xC3\xA9\xC3\x89\xD0\xBF\xD0\x9F";
    for (const QByteArray& encoding :
         {QByteArray("UTF-8"), QByteArray("windows-1252"), QByteArray("windows-1251")}) {
        const TextCodec codec(encoding);
        QByteArray templ;
        QList<QByteArray> texts;
        for (int i = 0; i < 300; ++i) {
            QByteArray t;
            for (int k = int(rng.bounded(8)); k > 0; --k)
                t += alphabet.at(int(rng.bounded(int(alphabet.size()))));
            texts << t;
            templ += "[[k" + QByteArray::number(i) + "]] = [[x" + t + "]]\n";
        }
        PhraseDocument doc;
        doc.LoadTemplateData(templ);
        for (int trial = 0; trial < 200; ++trial) {
            QByteArray pattern;
            for (int k = 1 + int(rng.bounded(3)); k > 0; --k)
                pattern += alphabet.at(int(rng.bounded(int(alphabet.size()))));
            SearchRequest request;
            request.pattern = pattern;
            request.inOriginal = false;
            const QByteArray upper = codec.UpperCase(pattern);
            std::optional<int> expected;
            for (int i = 0; i < doc.PhraseCount() && !expected; ++i)
                if (codec.UpperCase(doc.PhraseTranslation(i)).contains(upper))
                    expected = i;
            QCOMPARE(FindPhrase(doc, 0, request, codec), expected);
        }
    }
}

QTEST_GUILESS_MAIN(TestPhraseSearch)
#include "tst_phrasesearch.moc"
