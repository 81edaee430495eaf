#include "../support/fixture.h"
#include "errors.h"
#include "phrasedocument.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Lines(std::initializer_list<const char*> lines, const char* eol = "\r\n")
{
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + eol;
    return out;
}

// Checks the invariants every loaded document keeps.
void CheckInvariants(const PhraseDocument& doc)
{
    // Template phrases come in the order of their statements, several may share a line; the
    // obsolete ones follow them. No key is there twice.
    QSet<QByteArray> keys;
    const int templatePhrases = doc.PhraseCount() - doc.Statistics().obsolete;
    QSet<int> lines;
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        QVERIFY(!keys.contains(doc.PhraseKey(i)));
        keys.insert(doc.PhraseKey(i));
        QCOMPARE(doc.PhraseState(i) == TranslationState::tsObsolete, i >= templatePhrases);
        if (i >= templatePhrases)
            continue;
        const int first = doc.TemplateLineTag(doc.PhraseKeyTag(i));
        QVERIFY(first >= 0 && first <= i);
        QCOMPARE(doc.PhraseKeyTag(first), doc.PhraseKeyTag(i));
        if (i > 0)
            QVERIFY(doc.PhraseKeyTag(i) >= doc.PhraseKeyTag(i - 1));
        lines.insert(doc.PhraseKeyTag(i));
    }
    int tagged = 0;
    for (int l = 0; l < doc.TemplateLineCount(); ++l)
        tagged += doc.TemplateLineTag(l) >= 0;
    QCOMPARE(tagged, lines.size());
}

} // namespace

class TestPhraseDocument : public QObject
{
    Q_OBJECT
private slots:
    void loadTemplate();
    void loadEmptyAndPhraseless_data();
    void loadEmptyAndPhraseless();
    void displayMode_data();
    void displayMode();
    void loadMissingFileLeavesDocumentEmpty();
    void merge_data();
    void merge();
    void mergeFailureKeepsChosenName();
    void manyMergesAndEdits();
    void lineLongerThanSixteenMegabytes();
    void translationChangesPlace_data();
    void translationChangesPlace();
    void keptTextsOutliveTheDocument_data();
    void keptTextsOutliveTheDocument();
    void borrowedTextsMatchTheGetters();
    void write_data();
    void write();
    void keepLayout();
    void saveClearsModifiedAndTracksName();
    void commitAndRestore();
    void countsFollowEveryChange_data();
    void countsFollowEveryChange();
    void clearKeepsShowOriginal();
    void repeatedKeysAsPhpKeepsThem();
    void removedObsoleteLeaveEveryLayout();
};

void TestPhraseDocument::loadTemplate()
{
    PhraseDocument doc;
    QSignalSpy loaded(&doc, &PhraseDocument::TemplateLoaded);
    doc.LoadTemplateData(Lines({
        "<?php",                                     // 0
        "define(\"_A\",\"Alpha\");",                 // 1
        "case \"Save\": $tmp = \"Save\"; break;",    // 2
        "case \"save\": $tmp = \"save it\"; break;", // 3  differs only in case: own phrase
        "",                                          // 4
        "define(\"_A\",\"Again\");",                 // 5  duplicate: stays a plain line
        "case _X:",                                  // 6  a constant, not a text: code
        "case _Y:",                                  // 7
    }));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(doc.TemplateLineCount(), 8);
    QCOMPARE(doc.PhraseCount(), 3);
    QCOMPARE(doc.PhraseKey(0), QByteArray("_A"));
    QCOMPARE(doc.PhraseOriginal(0), QByteArray("Alpha"));
    QCOMPARE(doc.PhraseKeyTag(0), 1);
    QCOMPARE(doc.PhraseKey(2), QByteArray("save"));
    QCOMPARE(doc.TemplateLineTag(5), -1);
    QCOMPARE(doc.TemplateLineTag(6), -1);
    QCOMPARE(doc.TemplateLineTag(7), -1);
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        QCOMPARE(doc.PhraseState(i), TranslationState::tsMissing);
        QCOMPARE(doc.PhraseTranslation(i), doc.PhraseOriginal(i));
    }
    QCOMPARE(doc.FindKey("save"), std::optional<int>(2));
    QCOMPARE(doc.FindKey("SAVE"), std::nullopt);
    QVERIFY(doc.IsDocumentLoaded());
    QVERIFY(!doc.Modified());
    CheckInvariants(doc);
}

void TestPhraseDocument::loadEmptyAndPhraseless_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("written");
    const QByteArray nulFirst("\0define(\"A\",\"B\");", 17);
    const QByteArray noPhrase = Lines({"<?php", "// nothing", "?>"});
    QTest::newRow("empty file") << QByteArray() << false << 0 << QByteArray();
    // Bytes after a NUL are no text to read, but they are the template's: kept as they are.
    QTest::newRow("NUL first") << nulFirst << false << 0 << nulFirst;
    QTest::newRow("no phrase line") << noPhrase << true << 3 << noPhrase;
}

void TestPhraseDocument::loadEmptyAndPhraseless()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, loaded);
    QFETCH(int, lines);
    PhraseDocument doc;
    doc.SetShowOriginal(true);
    doc.LoadTemplateData(data);
    QCOMPARE(doc.IsDocumentLoaded(), loaded);
    QCOMPARE(doc.TemplateLineCount(), lines);
    QCOMPARE(doc.PhraseCount(), 0);
    QVERIFY(!doc.ShowOriginal());
    QFETCH(QByteArray, written);
    QCOMPARE(doc.BuildTranslationFile(), written);
}

void TestPhraseDocument::displayMode_data()
{
    QTest::addColumn<int>("cases");
    QTest::addColumn<int>("defines");
    QTest::addColumn<int>("brackets");
    QTest::addColumn<int>("strtolowers");
    QTest::addColumn<bool>("showOriginal");
    QTest::newRow("case wins tie with define") << 3 << 3 << 0 << 0 << false;
    QTest::newRow("define wins tie with bracket") << 2 << 3 << 3 << 0 << true;
    QTest::newRow("bracket beats define") << 0 << 1 << 2 << 0 << false;
    QTest::newRow("one bracket") << 0 << 0 << 1 << 0 << false;
    QTest::newRow("strtolower not counted") << 0 << 1 << 0 << 10 << true;
    QTest::newRow("duplicates count too") << 1 << 2 << 0 << 0 << true;
}

void TestPhraseDocument::displayMode()
{
    QFETCH(int, cases);
    QFETCH(int, defines);
    QFETCH(int, brackets);
    QFETCH(int, strtolowers);
    QFETCH(bool, showOriginal);
    QByteArray data;
    // Every define line uses the same key, so the counts include duplicates.
    for (int i = 0; i < cases; ++i)
        data += "case \"c" + QByteArray::number(i) + "\": $tmp = \"x\"; break;\n";
    for (int i = 0; i < defines; ++i)
        data += "define(\"_D\",\"x\");\n";
    for (int i = 0; i < brackets; ++i)
        data += "[[b" + QByteArray::number(i) + "]] = [[x]]\n";
    for (int i = 0; i < strtolowers; ++i)
        data += "case strtolower(\"s" + QByteArray::number(i) + "\"): $tmp = \"x\"; break;\n";
    PhraseDocument doc;
    doc.SetShowOriginal(!showOriginal);
    doc.LoadTemplateData(data);
    QCOMPARE(doc.ShowOriginal(), showOriginal);
}

void TestPhraseDocument::loadMissingFileLeavesDocumentEmpty()
{
    QTemporaryDir dir;
    PhraseDocument doc;
    const std::pair<QString, QString> cases[] = {
        {dir.filePath("missing.php"), "Cannot open file " + dir.filePath("missing.php")},
        {dir.path(), "Cannot open file " + dir.path() + ": it is a folder"}};
    for (const auto& [path, message] : cases) {
        try {
            doc.LoadTemplate(path);
            QFAIL("no error");
        } catch (const EFOpenError& e) {
            QCOMPARE(e.Message(), message);
        }
        QVERIFY(!doc.IsDocumentLoaded());
    }
}

void TestPhraseDocument::merge_data()
{
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QByteArray>("texts");  // translations joined by '|'
    QTest::addColumn<QByteArray>("states"); // one digit per phrase
    QTest::addColumn<QString>("status");

    const QByteArray all = Lines(
        {"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");", "define(\"_C\",\"Bye\");"});
    QTest::newRow("identical") << all << QByteArray("Hello|World|Bye") << QByteArray("111")
                               << "Phrases: 3, Untranslated: 3, Missing: 0";
    QTest::newRow("empty") << QByteArray() << QByteArray("Hello|World|Bye") << QByteArray("000")
                           << "Phrases: 3, Untranslated: 0, Missing: 3";
    QTest::newRow("case differs in text")
        << Lines({"define(\"_A\",\"hello\");"}) << QByteArray("hello|World|Bye")
        << QByteArray("200") << "Phrases: 3, Untranslated: 0, Missing: 2";
    // A key the template lacks is kept as an obsolete phrase, after the template's phrases.
    QTest::newRow("case differs in key")
        << Lines({"define(\"_a\",\"Salut\");"}) << QByteArray("Hello|World|Bye|Salut")
        << QByteArray("0003") << "Phrases: 3, Untranslated: 0, Missing: 3";
    QTest::newRow("unknown key kept as obsolete")
        << Lines({"define(\"_Z\",\"Zed\");"}) << QByteArray("Hello|World|Bye|Zed")
        << QByteArray("0003") << "Phrases: 3, Untranslated: 0, Missing: 3";
    // As in PHP, the first line that carries a key defines it; later copies are dead code.
    QTest::newRow("repeat equal") << Lines({"define(\"_A\",\"Bonjour\");",
                                            "define(\"_A\",\"Bonjour\");"})
                                  << QByteArray("Bonjour|World|Bye") << QByteArray("200")
                                  << "Phrases: 3, Untranslated: 0, Missing: 2";
    QTest::newRow("repeat different")
        << Lines({"define(\"_A\",\"Bonjour\");", "define(\"_A\",\"Salut\");"})
        << QByteArray("Bonjour|World|Bye") << QByteArray("200")
        << "Phrases: 3, Untranslated: 0, Missing: 2";
    QTest::newRow("dead English copy after the translation")
        << Lines({"define(\"_A\",\"Bonjour\");", "define(\"_A\",\"Hello\");"})
        << QByteArray("Bonjour|World|Bye") << QByteArray("200")
        << "Phrases: 3, Untranslated: 0, Missing: 2";
    QTest::newRow("other spellings")
        << Lines({"DEFINE('_A', 'Salut');", "if (!defined('_B')) define('_B','Monde');",
                  "define ( \"_C\" , 'Bye' ) ;"})
        << QByteArray("Salut|Monde|Bye") << QByteArray("221")
        << "Phrases: 3, Untranslated: 1, Missing: 0";
    // A value in any shape is the translation's: its code parts between their markers.
    QTest::newRow("an expression is taken")
        << Lines({"define(\"_A\", _X . \"y\");"}) << QByteArray("\x0e_X\x0fy|World|Bye")
        << QByteArray("200") << "Phrases: 3, Untranslated: 0, Missing: 2";
    QTest::newRow("other shapes") << Lines({"case \"_B\": $tmp = \"Monde\"; break;",
                                            "[[_C]] = [[Bye]]"})
                                  << QByteArray("Hello|Monde|Bye") << QByteArray("021")
                                  << "Phrases: 3, Untranslated: 1, Missing: 1";
    QTest::newRow("template of another application")
        << Lines({"[[Welcome]] = [[Welcome]]", "case \"Login\": $tmp = \"Login\"; break;"})
        << QByteArray("Hello|World|Bye|Welcome|Login") << QByteArray("00033")
        << "Phrases: 3, Untranslated: 0, Missing: 3";
    QTest::newRow("escaped quote")
        << Lines({"define(\"_A\",\"Say \\\"hi\\\"\");"}) << QByteArray("Say \"hi\"|World|Bye")
        << QByteArray("200") << "Phrases: 3, Untranslated: 0, Missing: 2";
    const QByteArray longText(70000, 'x'); // longer than a text referred to in place may be
    QTest::newRow("long text") << "define(\"_B\",\"" + longText + "\");\r\n"
                               << "Hello|" + longText + "|Bye" << QByteArray("020")
                               << "Phrases: 3, Untranslated: 0, Missing: 2";
    QTest::newRow("CR only endings")
        << QByteArray("define(\"_A\",\"X\");\rdefine(\"_B\",\"Y\");") << QByteArray("X|Y|Bye")
        << QByteArray("220") << "Phrases: 3, Untranslated: 0, Missing: 1";
}

void TestPhraseDocument::merge()
{
    QFETCH(QByteArray, translation);
    QFETCH(QByteArray, texts);
    QFETCH(QByteArray, states);
    QFETCH(QString, status);
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData(Lines(
        {"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");", "define(\"_C\",\"Bye\");"}));
    QSignalSpy merged(&doc, &PhraseDocument::TranslationsMerged);
    QSignalSpy statusSpy(&doc, &PhraseDocument::StatusTextChanged);
    doc.LoadTranslation(WriteFixture(dir, "t.php", translation));
    QCOMPARE(merged.count(), 1);
    const QList<QByteArray> want = texts.split('|');
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        QCOMPARE(doc.PhraseTranslation(i), want.at(i));
        QCOMPARE(int(doc.PhraseState(i)), states.at(i) - '0');
    }
    QCOMPARE(doc.StatusText(), status);
    QCOMPARE(statusSpy.count(), 1);
    QVERIFY(!doc.Modified());
    CheckInvariants(doc);
}

// Each merged file stays readable while a translation comes from it, however many were merged,
// and typed texts give way to later merges and back.
void TestPhraseDocument::manyMergesAndEdits()
{
    PhraseDocument doc;
    doc.LoadTemplateData(Lines(
        {"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");", "define(\"_C\",\"Bye\");"}));
    QVERIFY(doc.CommitTranslation(1, "typed"));
    for (int k = 0; k < 200; ++k) {
        QByteArray file = "define(\"_A\",\"a" + QByteArray::number(k) + "\");\n";
        if (k == 5)
            file += "define(\"_C\",\"c5\");\n";
        if (k == 150)
            file += "define(\"_B\",\"b150\");\n";
        doc.MergeTranslationData(file);
    }
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("a199"));
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("b150"));
    QCOMPARE(doc.PhraseTranslation(2), QByteArray("c5"));
    QVERIFY(doc.CommitTranslation(1, "typed again"));
    QVERIFY(doc.CommitTranslation(2, "c6"));
    QVERIFY(doc.CommitTranslation(2, "c7"));
    QCOMPARE(doc.BuildTranslationFile(),
             Lines({"define(\"_A\",\"a199\");", "define(\"_B\",\"typed again\");",
                    "define(\"_C\",\"c7\");"}));
    CheckInvariants(doc);
}

// A phrase line's length is kept beside its offset up to 16 MB; a longer one is measured again.
void TestPhraseDocument::lineLongerThanSixteenMegabytes()
{
    const QByteArray text(17 << 20, 'x');
    const QByteArray templ = Lines({"<?php"}) + "define(\"_L\",\"" + text + "\");\r\n" +
                             Lines({"define(\"_B\",\"b\");"});
    PhraseDocument doc;
    doc.LoadTemplateData(templ);
    QCOMPARE(doc.PhraseCount(), 2);
    QCOMPARE(doc.PhraseKey(0), QByteArray("_L"));
    QVERIFY(doc.PhraseOriginal(0) == text);
    QCOMPARE(doc.FindKey("_B"), std::optional<int>(1));
    QVERIFY(doc.BuildTranslationFile() == templ);
}

void TestPhraseDocument::translationChangesPlace_data()
{
    // One letter per step for phrase _A: s a short merged value, l one over 64 KB, e one with an
    // escaped quote, t a typed text.
    QTest::addColumn<QByteArray>("steps");
    QTest::newRow("long, then short") << QByteArray("ls");
    QTest::newRow("long twice, escaped, long") << QByteArray("llel");
    QTest::newRow("escaped, long, typed, escaped") << QByteArray("elte");
    QTest::newRow("typed, long, short, typed, long") << QByteArray("tlstl");
}

// A translation moves between where merged values are referred to, the owned texts and the views
// of long values, and back, without disturbing a neighbour kept in the same places.
void TestPhraseDocument::translationChangesPlace()
{
    QFETCH(QByteArray, steps);
    PhraseDocument doc;
    doc.LoadTemplateData(Lines({"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");"}));
    const QByteArray neighbour(66000, 'b');
    doc.MergeTranslationData("define(\"_B\",\"" + neighbour + "\");\n");
    QVERIFY(doc.CommitTranslation(1, "typed b"));
    doc.MergeTranslationData("define(\"_B\",\"Say \\\"b\\\"\");\n");
    doc.MergeTranslationData("define(\"_B\",\"" + neighbour + "\");\n");
    for (int k = 0; k < steps.size(); ++k) {
        const QByteArray n = QByteArray::number(k);
        QByteArray expected;
        switch (steps.at(k)) {
        case 's':
            expected = "s" + n;
            doc.MergeTranslationData("define(\"_A\",\"" + expected + "\");\n");
            break;
        case 'l':
            expected = QByteArray(70000 + k, char('a' + k));
            doc.MergeTranslationData("define(\"_A\",\"" + expected + "\");\n");
            break;
        case 'e':
            expected = "say \"" + n + "\"";
            doc.MergeTranslationData("define(\"_A\",\"say \\\"" + n + "\\\"\");\n");
            break;
        default:
            expected = "t" + n;
            QVERIFY(doc.CommitTranslation(0, expected));
        }
        QCOMPARE(doc.PhraseTranslation(0), expected);
        QCOMPARE(doc.PhraseState(0), TranslationState::tsTranslated);
        QVERIFY(doc.PhraseTranslation(1) == neighbour);
    }
}

void TestPhraseDocument::keptTextsOutliveTheDocument_data()
{
    QTest::addColumn<QByteArray>("which");
    QTest::addColumn<int>("phrase");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("reload"); // a new template, else a clear
    for (bool reload : {false, true}) {
        const char* change = reload ? "reload" : "clear";
        QTest::addRow("key, %s", change) << QByteArray("key") << 0 << QByteArray("_A") << reload;
        QTest::addRow("original, %s", change)
            << QByteArray("original") << 0 << QByteArray("Hello") << reload;
        QTest::addRow("template's translation, %s", change)
            << QByteArray("translation") << 0 << QByteArray("Hello") << reload;
        QTest::addRow("merged translation, %s", change)
            << QByteArray("translation") << 1 << QByteArray("Salut") << reload;
        QTest::addRow("merged translation over 64 KB, %s", change)
            << QByteArray("translation") << 2 << QByteArray(70000, 'x') << reload;
        QTest::addRow("typed translation, %s", change)
            << QByteArray("translation") << 3 << QByteArray("typed") << reload;
    }
}

// A text the document hands out is the caller's own: NUL-terminated where it ends, and intact
// once the document has let go of the file bytes it was read from.
void TestPhraseDocument::keptTextsOutliveTheDocument()
{
    QFETCH(QByteArray, which);
    QFETCH(int, phrase);
    QFETCH(QByteArray, expected);
    QFETCH(bool, reload);
    QByteArray templ = Lines({"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");",
                              "define(\"_C\",\"Bye\");", "define(\"_D\",\"Hi\");"});
    QByteArray translation =
        "define(\"_B\",\"Salut\");\r\ndefine(\"_C\",\"" + QByteArray(70000, 'x') + "\");\r\n";
    PhraseDocument doc;
    doc.LoadTemplateData(templ); // shares the bytes of templ and translation, copying nothing
    doc.MergeTranslationData(translation);
    QVERIFY(doc.CommitTranslation(3, "typed"));
    const QByteArray kept = which == "key"        ? doc.PhraseKey(phrase)
                            : which == "original" ? doc.PhraseOriginal(phrase)
                                                  : doc.PhraseTranslation(phrase);
    // Read up to its NUL, as a C string: not the rest of the line.
    QCOMPARE(QByteArray(kept.constData()), expected);

    if (reload)
        doc.LoadTemplateData(Lines({"define(\"_Z\",\"Other\");"}));
    else
        doc.ClearDocument();
    // The document has let go of the file bytes, so these are their only holders and are
    // overwritten in place: a text still referring into them would change.
    const char* const templAt = templ.constData();
    templ.fill('#');
    translation.fill('#');
    QCOMPARE(templ.constData(), templAt);
    QCOMPARE(kept, expected);
    QCOMPARE(QByteArray(kept.constData()), expected);
}

// The texts lent for a scan are the getters' texts, also where they had to be unescaped (held
// by the struct) and whichever place a translation is kept in; what is not asked for is empty.
void TestPhraseDocument::borrowedTextsMatchTheGetters()
{
    PhraseDocument doc;
    doc.LoadTemplateData(
        Lines({"define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");", "define(\"_C\",\"Bye\");",
               "define(\"_D\",\"Hi\");", "define(\"_E\\\"x\",\"Say \\\"hi\\\"\");"}));
    doc.MergeTranslationData("define(\"_B\",\"Salut\");\r\ndefine(\"_C\",\"" +
                             QByteArray(70000, 'x') + "\");\r\n");
    QVERIFY(doc.CommitTranslation(3, "typed"));
    QCOMPARE(doc.PhraseKey(4), QByteArray("_E\"x"));
    BorrowedPhraseTexts texts; // one for the whole scan, as a search has it
    for (bool showOriginal : {true, false}) {
        doc.SetShowOriginal(showOriginal);
        for (int i = 0; i < doc.PhraseCount(); ++i) {
            doc.BorrowPhraseTexts(i, texts, true, true);
            QCOMPARE(texts.key.toByteArray(), doc.PhraseKey(i));
            QCOMPARE(texts.original.toByteArray(), doc.PhraseOriginal(i));
            QCOMPARE(texts.column.toByteArray(), doc.PhraseColumnText(i));
            QCOMPARE(texts.translation.toByteArray(), doc.PhraseTranslation(i));
            doc.BorrowPhraseTexts(i, texts, false, true);
            QVERIFY(texts.key.isEmpty() && texts.original.isEmpty() && texts.column.isEmpty());
            QCOMPARE(texts.translation.toByteArray(), doc.PhraseTranslation(i));
            doc.BorrowPhraseTexts(i, texts, true, false);
            QCOMPARE(texts.column.toByteArray(), doc.PhraseColumnText(i));
            QVERIFY(texts.translation.isEmpty());
        }
    }
}

void TestPhraseDocument::mergeFailureKeepsChosenName()
{
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData(Lines({"define(\"_A\",\"Hello\");"}));
    const QString path = dir.filePath("nope.php");
    QVERIFY_THROWS_EXCEPTION(EFOpenError, doc.LoadTranslation(path));
    QCOMPARE(doc.TranslationFileName(), path);
    QCOMPARE(doc.PhraseState(0), TranslationState::tsMissing);
    QVERIFY(doc.StatusText().isEmpty());
    QVERIFY(doc.IsDocumentLoaded());
}

void TestPhraseDocument::write_data()
{
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QByteArray>("expected");

    // The fixed layout rewrites classic lines (indentation dropped) and keeps what follows the
    // statement on its line; every other byte, line ends included, is the template's.
    QTest::newRow("layouts rebuilt")
        << QByteArray("<?php\n  define(\"_A\", \"B\"); // greeting\n\tcase \"G\": $tmp = \"x\";"
                      " break;\n  case strtolower(\"S\"): $tmp = \"s\"; break;\n?>")
        << Lines({"define(\"_A\",\"Bonjour\");", "define(\"G\",\"Say \\\"hi\\\"\");"})
        << QByteArray(
               "<?php\ndefine(\"_A\",\"Bonjour\"); // greeting\n    case \"G\": $tmp = "
               "\"Say \\\"hi\\\"\"; break;\ncase strtolower(\"S\"): $tmp = \"s\"; break;\n?>");
    QTest::newRow("bracket lines rebuilt")
        << QByteArray(" [[Hello]]=[[Hi]] \n[[Bye]] = [[Bye]]\n")
        << QByteArray("[[Hello]] = [[Bon]]jour]]\n")
        << QByteArray("[[Hello]] = [[Bon]]\n[[Bye]] = [[Bye]]\n");
    QTest::newRow("backslashes as read")
        << QByteArray("define(\"P\",\"C:\\temp\");\ndefine(\"E\",\"x\");\n")
        << QByteArray("define(\"E\",\"x\\\\\");\n")
        << Lines({R"(define("P","C:\temp");)", R"(define("E","x\\");)"}, "\n");
    // Other spellings keep their line; only the value literal changes, in the quote it was
    // read in.
    QTest::newRow("own spelling kept")
        << QByteArray(
               "\tdefine('_A', 'Hello'); // greeting\nif (!defined('_B')) { define('_B','Bye'); }\n"
               "  CASE 'Hi': $t = 'Hi'; break;\n")
        << QByteArray("define(\"_A\",\"Bonjour\");\ndefine('_B','Au revoir');\ncase \"Hi\": $t = "
                      "\"Salut\"; break;\n")
        << Lines({"\tdefine('_A', \"Bonjour\"); // greeting",
                  "if (!defined('_B')) { define('_B','Au revoir'); }",
                  "  CASE 'Hi': $t = \"Salut\"; break;"},
                 "\n");
    QTest::newRow("single-quoted translation in the fixed layout")
        << QByteArray("define(\"_A\",\"Hello\");\n") << QByteArray(R"(define('_A','It\'s\n');)")
        << Lines({R"(define("_A",'It\'s\n');)"}, "\n");
    // Whatever shape a value has, the translation's text takes its place.
    QTest::newRow("values in any shape take the translation")
        << QByteArray("define(\"_A\", _B . \"c\"); // x\ndefine('T', "
                      "STORE_NAME);\ndefine(\"_M\",\"one\ntwo\");\n")
        << QByteArray("define(\"_A\",\"Bonjour\");\ndefine('T','Titre');\ndefine(\"_M\",\"un\");\n")
        << Lines({"define(\"_A\", \"Bonjour\"); // x", "define('T', 'Titre');",
                  "define(\"_M\",\"un\");"},
                 "\n");
    QTest::newRow("duplicate line copied as written")
        << QByteArray("define(\"_A\",\"A\");\n  define(\"_A\",\"Again\");\n")
        << QByteArray("define(\"_A\",\"Eh\");\n")
        << Lines({"define(\"_A\",\"Eh\");", "  define(\"_A\",\"Again\");"}, "\n");
    QTest::newRow("no key: kept as written")
        << QByteArray("define('x');\n") << QByteArray() << QByteArray("define('x');\n");
    QTest::newRow("percent and no final break")
        << QByteArray("[[100%]] = [[%s]]") << QByteArray() << QByteArray("[[100%]] = [[%s]]");
    QTest::newRow("8-bit and BOM kept")
        << QByteArray("\xEF\xBB\xBF<?php\ndefine(\"_A\",\"\xE9t\xE9\");\n") << QByteArray()
        << QByteArray("\xEF\xBB\xBF<?php\ndefine(\"_A\",\"\xE9t\xE9\");\n");
    // Line ends stay as each line of the template has them, inside texts too.
    QTest::newRow("line ends of each line kept")
        << QByteArray("<?php\r\ndefine(\"_A\",\"A\");\ndefine(\"_B\",\"one\r\ntwo\");\r"
                      "define(\"_C\",\"C\");\r\n")
        << QByteArray("<?php\ndefine(\"_A\",\"Un\");\ndefine(\"_C\",\"Trois\");\n")
        << QByteArray("<?php\r\ndefine(\"_A\",\"Un\");\ndefine(\"_B\",\"one\r\ntwo\");\r"
                      "define(\"_C\",\"Trois\");\r\n");
    // What follows a statement on its line stays: a second statement, or die(), a comment that
    // opens; a case keeps its own variable and writes no break it did not have.
    QTest::newRow("rest of the line kept")
        << QByteArray(
               "<?php\ndefine(\"_A\",\"A\"); define(\"_B\",\"B\");\n"
               "define(\"_C\",\"C\") or die();\ndefine(\"_D\",\"D\"); /*\n"
               "define(\"_OLD\",\"Old\");\n*/\nswitch ($k) {\ncase \"K\": $msg = \"V\";\n}\n")
        << QByteArray(
               "<?php\ndefine(\"_A\",\"Un\");define(\"_B\",\"Deux\");define(\"_C\",\"Trois\");"
               "define(\"_D\",\"Quatre\");\ncase \"K\": $msg = \"W\";\n")
        << QByteArray(
               "<?php\ndefine(\"_A\",\"Un\"); define(\"_B\",\"Deux\");\n"
               "define(\"_C\",\"Trois\") or die();\ndefine(\"_D\",\"Quatre\"); /*\n"
               "define(\"_OLD\",\"Old\");\n*/\nswitch ($k) {\n    case \"K\": $msg = \"W\";\n}\n");
}

void TestPhraseDocument::write()
{
    QFETCH(QByteArray, templ);
    QFETCH(QByteArray, translation);
    QFETCH(QByteArray, expected);
    PhraseDocument doc;
    doc.LoadTemplateData(templ);
    doc.MergeTranslationData(translation);
    QCOMPARE(doc.BuildTranslationFile(), expected);
}

void TestPhraseDocument::keepLayout()
{
    // Kept layout: each statement is the template's, only its translation replaced; comments,
    // indentation and spacing stay, so a diff shows only what was translated.
    const QByteArray templ = "<?php\n\tdefine(\"_A\", \"Hello\"); // greeting\n"
                             "  case \"G\":  $tmp = \"Hi\";  break;\n"
                             "case strtolower(\"S\"): $tmp = \"s\"; break; # x\n";
    PhraseDocument doc;
    doc.SetKeepLayout(true);
    doc.LoadTemplateData(templ);
    doc.MergeTranslationData("<?php\ndefine(\"_A\",'Bonjour');\ncase \"G\": $tmp = \"Salut\"; "
                             "break;\n");
    QCOMPARE(doc.BuildTranslationFile(), Lines({"<?php", "\tdefine(\"_A\", 'Bonjour'); // greeting",
                                                "  case \"G\":  $tmp = \"Salut\";  break;",
                                                "case strtolower(\"S\"): $tmp = \"s\"; break; # x"},
                                               "\n"));
    doc.SetKeepLayout(false);
    QVERIFY(doc.BuildTranslationFile().contains("\ndefine(\"_A\",'Bonjour'); // greeting\n"));

    // Bracket lines keep their spacing; a value that is not closed cannot be replaced where it
    // stands.
    PhraseDocument brackets;
    brackets.SetKeepLayout(true);
    brackets.LoadTemplateData("[[Hello]]  =  [[Hi]]  \n[[Open]] = [[Unclosed\n");
    brackets.MergeTranslationData("[[Hello]] = [[Coucou]]\n[[Open]] = [[Ouvert]]\n");
    QCOMPARE(brackets.BuildTranslationFile(),
             QByteArray("[[Hello]]  =  [[Coucou]]  \n[[Open]] = [[Ouvert]]\n"));
}

void TestPhraseDocument::saveClearsModifiedAndTracksName()
{
    QTemporaryDir dir;
    PhraseDocument doc;
    doc.LoadTemplateData("define(\"_A\",\"A\");\n");
    QVERIFY(doc.CommitTranslation(0, "B"));
    QVERIFY(doc.Modified());
    const QString path = dir.filePath("out.php");
    doc.SetTranslationFileName(path);
    doc.SaveTranslation();
    QVERIFY(!doc.Modified());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("define(\"_A\",\"B\");\n"));

    // A save that cannot create its file keeps Modified and the chosen name.
    QVERIFY(doc.CommitTranslation(0, "C"));
    const QString bad = dir.filePath("no/such/folder/out.php");
    doc.SetTranslationFileName(bad);
    try {
        doc.SaveTranslation();
        QFAIL("no error");
    } catch (const EFCreateError& e) {
        QCOMPARE(e.Message(), "Cannot create file " + bad);
    }
    QVERIFY(doc.Modified());
    QCOMPARE(doc.TranslationFileName(), bad);
}

void TestPhraseDocument::commitAndRestore()
{
    PhraseDocument doc;
    doc.LoadTemplateData("define(\"_A\",\"Hello\");\ndefine(\"_B\",\"World\");\n");
    QSignalSpy changed(&doc, &PhraseDocument::TranslationChanged);
    QVERIFY(!doc.CommitTranslation(0, "Hello")); // unchanged text stores nothing
    QVERIFY(!doc.Modified());
    QVERIFY(doc.CommitTranslation(0, "Hell"));
    QVERIFY(doc.CommitTranslation(0, "Hello")); // back to the template text: still translated
    QCOMPARE(doc.PhraseState(0), TranslationState::tsTranslated);
    QVERIFY(doc.CommitTranslation(1, ""));
    QCOMPARE(doc.PhraseTranslation(1), QByteArray());
    // Line breaks are part of a text; a NUL would end the file's text, so it ends the text.
    for (const auto& [typed, stored] : {std::pair{QByteArray("a\r\nb"), QByteArray("a\r\nb")},
                                        std::pair{QByteArray("a\nb"), QByteArray("a\nb")},
                                        std::pair{QByteArray("a\0b", 3), QByteArray("a")}}) {
        QVERIFY(doc.CommitTranslation(0, "x"));
        QVERIFY(doc.CommitTranslation(0, typed));
        QCOMPARE(doc.PhraseTranslation(0), stored);
    }
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    doc.RestoreTranslationText(1, "World");
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("World"));
    QCOMPARE(doc.PhraseState(1), TranslationState::tsTranslated);
    QVERIFY(doc.Modified());
    QCOMPARE(changed.count(), 10);
    QVERIFY(!doc.CommitTranslation(2, "out of range"));
    QVERIFY(!doc.CommitTranslation(-1, "out of range"));
}

void TestPhraseDocument::countsFollowEveryChange_data()
{
    // Operations separated by ';': load (the template below), merge KEY=TEXT..., commit I TEXT,
    // restore I TEXT, clear. Phrase 3 is a constant, no text: it takes no typed text.
    QTest::addColumn<QString>("operations");
    QTest::addColumn<QList<int>>("counts"); // missing, untranslated, translated at the end
    QTest::newRow("load") << "load" << QList<int>{5, 0, 0};
    QTest::newRow("merge sets each state")
        << "load; merge _A=Bonjour _B=World _D=z" << QList<int>{2, 1, 2};
    QTest::newRow("typing into every state") << "load; merge _A=Bonjour _B=World; commit 0 Hi; "
                                                "commit 1 Welt; commit 2 Adieu; commit 3 no"
                                             << QList<int>{2, 0, 3};
    QTest::newRow("unchanged text and restore change no state")
        << "load; commit 0 Hello; commit 1 x; restore 1 World; restore 2 y" << QList<int>{4, 0, 1};
    QTest::newRow("merge takes a typed text back to untranslated")
        << "load; commit 0 Salut; merge _A=Salut" << QList<int>{4, 1, 0};
    QTest::newRow("second merge over the first")
        << "load; merge _A=Bonjour _B=World; merge _A=Bonjour _B=Welt _C=Bye"
        << QList<int>{2, 2, 1};
    QTest::newRow("a repeated key counts once")
        << "load; merge _A=Bonjour _A=Hello" << QList<int>{4, 0, 1};
    QTest::newRow("clear") << "load; merge _A=Bonjour; commit 1 x; clear" << QList<int>{0, 0, 0};
    QTest::newRow("load after edits starts afresh")
        << "load; merge _A=Bonjour; commit 1 x; load" << QList<int>{5, 0, 0};
}

void TestPhraseDocument::countsFollowEveryChange()
{
    QFETCH(QString, operations);
    QFETCH(QList<int>, counts);
    const QByteArray templ =
        Lines({"<?php", "define(\"_A\",\"Hello\");", "define(\"_B\",\"World\");",
               "define(\"_C\",\"Bye\");", "define(\"_D\", _X);", "define(\"_E\",\"Five\");"});
    PhraseDocument doc;
    // The counts are kept as states change; after each step they must equal a count of them.
    const auto check = [&doc](const QString& step) {
        int counted[3] = {0, 0, 0};
        for (int i = 0; i < doc.PhraseCount(); ++i)
            ++counted[int(doc.PhraseState(i))];
        const PhraseStatistics st = doc.Statistics();
        QVERIFY2(st.phrases == doc.PhraseCount() && st.missing == counted[0] &&
                     st.untranslated == counted[1] && st.translated == counted[2],
                 qPrintable(step));
    };
    for (const QString& step : operations.split(u';')) {
        const QStringList words = step.split(u' ', Qt::SkipEmptyParts);
        const QString& op = words.at(0);
        if (op == u"load") {
            doc.LoadTemplateData(templ);
        } else if (op == u"merge") {
            QByteArray file;
            for (const QString& pair : words.mid(1)) {
                const QStringList kv = pair.split(u'=');
                file +=
                    "define(\"" + kv.at(0).toLatin1() + "\",\"" + kv.at(1).toLatin1() + "\");\n";
            }
            doc.MergeTranslationData(file);
        } else if (op == u"commit") {
            doc.CommitTranslation(words.at(1).toInt(), words.at(2).toLatin1());
        } else if (op == u"restore") {
            doc.RestoreTranslationText(words.at(1).toInt(), words.at(2).toLatin1());
        } else if (op == u"clear") {
            doc.ClearDocument();
        } else {
            QFAIL(qPrintable("unknown operation " + op));
        }
        check(step);
        if (QTest::currentTestFailed())
            return;
    }
    const PhraseStatistics st = doc.Statistics();
    QCOMPARE((QList<int>{st.missing, st.untranslated, st.translated}), counts);
}

void TestPhraseDocument::clearKeepsShowOriginal()
{
    PhraseDocument doc;
    doc.LoadTemplateData("define(\"_A\",\"Hello\");\n");
    doc.MergeTranslationData("define(\"_A\",\"Salut\");\n");
    doc.SetTranslationFileName("/tmp/x.php");
    doc.CommitTranslation(0, "Hi");
    QVERIFY(doc.ShowOriginal());
    QSignalSpy cleared(&doc, &PhraseDocument::Cleared);
    doc.ClearDocument();
    QCOMPARE(cleared.count(), 1);
    QVERIFY(!doc.IsDocumentLoaded());
    QCOMPARE(doc.PhraseCount(), 0);
    QVERIFY(!doc.Modified());
    QVERIFY(doc.TranslationFileName().isEmpty());
    QVERIFY(doc.StatusText().isEmpty());
    QVERIFY(doc.ShowOriginal());
    QCOMPARE(doc.FindKey("_A"), std::nullopt);
}

void TestPhraseDocument::repeatedKeysAsPhpKeepsThem()
{
    // The first define of a key counts, and the last assignment: one phrase each, where PHP
    // takes its value from.
    PhraseDocument doc;
    doc.LoadTemplateData("<?php\n$l['a'] = '1';\ndefine('D', 'x');\n$l['a'] = '2';\n"
                         "define('D', 'y');\n$l['a'] = '3';\n");
    QCOMPARE(doc.PhraseCount(), 2);
    QCOMPARE(doc.PhraseKey(0), QByteArray("D"));
    QCOMPARE(doc.PhraseOriginal(0), QByteArray("x"));
    QCOMPARE(doc.PhraseKey(1), QByteArray("$l['a']"));
    QCOMPARE(doc.PhraseOriginal(1), QByteArray("3"));
    QCOMPARE(doc.PhraseKeyTag(1), 5);
    CheckInvariants(doc);
    doc.MergeTranslationData("<?php\n$l['a'] = 'un';\n$l['a'] = 'trois';\ndefine('D', 'X');\n"
                             "define('D', 'Y');\n");
    QCOMPARE(doc.PhraseTranslation(0), QByteArray("X"));
    QCOMPARE(doc.PhraseTranslation(1), QByteArray("trois"));
}

void TestPhraseDocument::removedObsoleteLeaveEveryLayout()
{
    // Obsolete phrases are written back until removed; then no layout writes them, the
    // translation's own included, and undoing the removal brings them back.
    for (const SaveLayout layout :
         {SaveLayout::Template, SaveLayout::Lines, SaveLayout::Translation}) {
        PhraseDocument doc;
        doc.SetLayout(layout);
        doc.LoadTemplateData("<?php\ndefine('_A', 'a');\nreturn ['k' => 'v'];\n");
        doc.MergeTranslationData("<?php\ndefine('_A', 'x');\ndefine('_GONE', 'g'); // old\n"
                                 "return ['k' => 'w', 'gone' => 'h', ];\n");
        QCOMPARE(doc.Statistics().obsolete, 2);
        QVERIFY(doc.BuildTranslationFile().contains("define('_GONE', 'g');"));
        QVERIFY(doc.BuildTranslationFile().contains("'gone' => 'h'"));
        std::vector<ObsoletePhrase> removed = doc.RemoveObsolete();
        const QByteArray written = doc.BuildTranslationFile();
        QVERIFY2(!written.contains("_GONE") && !written.contains("gone"), written.constData());
        QVERIFY(written.contains("'x'") && written.contains("'w'"));
        doc.PutBackObsolete(std::move(removed));
        QVERIFY(doc.BuildTranslationFile().contains("define('_GONE', 'g');"));
    }
}

QTEST_GUILESS_MAIN(TestPhraseDocument)
#include "tst_phrasedocument.moc"
