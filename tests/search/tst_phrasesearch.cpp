#include "phrasesearch.h"

#include <QRandomGenerator>
#include <QTest>

// The search folds case while it scans where it can; these cases pin it to what upper-casing
// both texts and searching the copies gives.
class TestPhraseSearch : public QObject
{
    Q_OBJECT
private slots:
    void caseInsensitive_data();
    void caseInsensitive();
    void agreesWithFoldedCopies();
};

void TestPhraseSearch::caseInsensitive_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("found");
    QTest::newRow("ascii") << QByteArray("UTF-8") << QByteArray("Welcome home") << QByteArray("COME H") << true;
    QTest::newRow("long s folds to S in UTF-8") << QByteArray("UTF-8") << QByteArray("\xC5\xBF") << QByteArray("s") << true;
    QTest::newRow("cyrillic in UTF-8") << QByteArray("UTF-8") << QByteArray("\xD0\xBF\xD1\x80\xD0\xB8") << QByteArray("\xD0\x9F\xD0\xA0") << true;
    QTest::newRow("ascii pattern after high bytes") << QByteArray("UTF-8") << QByteArray("\xC3\xA9t\xC3\xA9 abc") << QByteArray("ABC") << true;
    QTest::newRow("cyrillic in 1251") << QByteArray("windows-1251") << QByteArray("\xEF\xF0\xE8") << QByteArray("\xCF\xD0") << true;
    QTest::newRow("no match") << QByteArray("windows-1252") << QByteArray("abc") << QByteArray("ABD") << false;
    QTest::newRow("pattern longer than text") << QByteArray("windows-1252") << QByteArray("ab") << QByteArray("ABC") << false;
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

void TestPhraseSearch::agreesWithFoldedCopies()
{
    QRandomGenerator rng(4711);
    const QByteArray alphabet = "aAbBzZ \xC3\xA9\xC3\x89\xD0\xBF\xD0\x9F";
    for (const QByteArray& encoding : {QByteArray("UTF-8"), QByteArray("windows-1252"), QByteArray("windows-1251")}) {
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
