// The checks of a translation against its original: what each one finds, what it must leave
// alone, and the phrases of a document it looks at.
#include "phpvalue.h"
#include "phrasechecks.h"
#include "phrasedocument.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// "placeholders whitespace": the checks that reported, in order.
QByteArray Names(const std::vector<PhraseProblem>& problems)
{
    QList<QByteArray> names;
    for (const PhraseProblem& p : problems)
        names << PhraseCheckName(p.check);
    return names.join(' ');
}

QString Messages(const std::vector<PhraseProblem>& problems)
{
    QStringList messages;
    for (const PhraseProblem& p : problems)
        messages << p.message;
    return messages.join(QStringLiteral(" | "));
}

// "all" or one check's name.
PhraseCheckSet Only(const QByteArray& name)
{
    if (name == "all")
        return PhraseCheckSet::All();
    PhraseCheckSet set;
    set.Insert(*PhraseCheckFromName(name));
    return set;
}

} // namespace

class TestPhraseChecks : public QObject
{
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void everyCheckCanBeTurnedOff();
    void names();
    void documentPhrases_data();
    void documentPhrases();
    void codeInExpressions_data();
    void codeInExpressions();
    void codeAsPhpRunsIt_data();
    void codeAsPhpRunsIt();
};

// Each row runs its group's check alone (or all of them), so a row shows one check's judgement.
void TestPhraseChecks::check_data()
{
    QTest::addColumn<QByteArray>("enabled");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<int>("quote");
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QByteArray>("found");    // the checks that report, in order; empty: silent
    QTest::addColumn<QString>("messagePart"); // a part of the messages, when it matters
    QByteArray group = "placeholders";
    QByteArray encoding = "UTF-8";
    int quote = '"';
    // Texts as the document holds them: what PHP would interpolate in a double-quoted
    // literal of the code and all groups is a code part, as the reader makes it.
    const auto asRead = [&](const QByteArray& text) {
        if (quote != '"' || (group != "code" && group != "all") || !text.contains('$'))
            return text;
        return ReadPhpValue("\"" + text + '"', {}).text;
    };
    const auto row = [&](const char* name, const QByteArray& original,
                         const QByteArray& translation, const QByteArray& found,
                         const char* messagePart = "") {
        QTest::addRow("%s: %s", group.constData(), name)
            << group << encoding << quote << asRead(original) << asRead(translation) << found
            << QString::fromUtf8(messagePart);
    };

    group = "placeholders";
    row("same placeholders", "Hello %s", "Bonjour %s", "");
    row("placeholder dropped", "%d files", "fichiers", "placeholders", "add the original's %d");
    row("placeholder added", "Files", "%d fichiers", "placeholders", "remove %d");
    row("other conversion", "%5.2f MB", "%d Mo", "placeholders", "add the original's %5.2f");
    row("width and precision may change", "%5.2f MB", "%.1f Mo", "");
    row("numbered to reorder", "%s of %d", "%2$d sur %1$s", "");
    row("numbered ones reordered", "%1$s by %2$s", "%2$s : %1$s", "");
    row("argument used twice", "%s, %s", "%1$s, %1$s", "placeholders", "add the original's %s");
    row("order swapped without numbers", "%s of %d", "%d sur %s", "placeholders",
        "other arguments than the original's %s, %d");
    row("one placeholder too many", "%s", "%s %s", "placeholders", "remove %s");
    row("literal percent kept", "100%% done", "fini à 100%%", "");
    row("literal percent lost", "%d%% done", "fini à %d%", "placeholders", "add the original's %%");
    row("percent before a blank is prose", "100% sure", "sûr à 100%", "");
    row("percent and a blank in the translation", "Sure", "100 % sûr", "");
    row("percent at the end", "Progress: 100%", "Progression : 100 %", "");
    row("padding flags", "%'*10s|", "%'*10s |", "");
    row("same {name}", "Hello {name}", "Bonjour {name}", "");
    row("{name} translated", "Hello {name}", "Bonjour {nom}", "placeholders",
        "add the original's {name}; remove {nom}, which the original does not have");
    row("numbered {0}", "{0} items", "{0} éléments", "");
    row("{$x} is a variable", "Hi", "Salut {$user}", "");
    row("braces around prose", "{ see below }", "{ voir plus bas }", "");
    row("{ as a second byte in UTF-8", "ab", "\x83{x}", "placeholders", "remove {x}");
    encoding = "Shift_JIS";
    // 0x83 0x7B is one Shift_JIS character: its second byte is no brace.
    row("{ as a second byte in Shift_JIS", "ab", "\x83{x}", "");
    encoding = "UTF-8";

    group = "variables";
    row("same variable", "Hello $name", "Bonjour $name", "");
    row("variable dropped", "Hello $name", "Bonjour", "variables", "add the original's $name");
    row("variable added in double quotes", "Price", "Prix $price", "variables", "remove $price");
    row("dollar amount", "Costs 5", "Coûte $5", "");
    row("lone dollar", "Total: $", "Total : $ ", "");
    row("escaped dollar", "Price", "Prix \\$price", "");
    row("escaped backslash before a variable", "Path", "Chemin \\\\$dir", "variables",
        "remove $dir");
    row("braced forms", "Hi {$user} and ${friend}", "Salut {$user} et ${friend}", "");
    row("braced form of the same variable", "Hi ${user}", "Salut $user", "");
    row("braced variable added", "Hi", "Salut {$user}", "variables", "remove $user");
    // PHP takes every byte above 0x7F as part of a name.
    row("8-bit bytes after a dollar", "Price in euros", "Prix en $€", "variables");
    quote = '\'';
    row("variable added in single quotes", "Price", "Prix $price", "");
    row("variable dropped in single quotes", "Hello $name", "Bonjour", "variables");
    quote = 0;
    row("variable added outside PHP", "Price", "Prix $price", "");
    quote = '"';

    group = "markup";
    row("same tags", "<b>Bold</b>", "<b>Gras</b>", "");
    row("tags dropped", "<b>Bold</b>", "Gras", "markup", "add the original's <b>, </b>");
    row("tags added", "Bold", "<i>Gras</i>", "markup", "remove <i>, </i>");
    row("tag case and self-closing", "<B>One</B><br />two", "<b>Un</b><br>deux", "");
    row("attributes may change", "<a href=\"x\">link</a>", "<a href=\"y\" title=\"lien\">lien</a>",
        "");
    row("less-than and a digit", "I <3 you", "Je t'aime", "");
    row("less-than in prose", "a < b", "a < c", "");
    row("unclosed tag is prose", "<b", "<b plus", "");
    row("same entities", "Tom &amp; Jerry", "Tom &amp; Jerry, le film", "");
    row("entity dropped", "Save&nbsp;all", "Tout enregistrer", "markup",
        "add the original's &nbsp;");
    row("unknown entity added", "Hello", "Bonjour &foo;", "markup", "remove &foo;");
    row("entity without its semicolon", "Tom &amp; Jerry", "Tom &amp Jerry", "markup",
        "end &amp with a semicolon: &amp;");
    row("common entity without semicolon", "Copyright", "&copy 2024", "markup", "end &copy");
    row("numeric entity without semicolon", "&#39;x&#39;", "&#39y&#39;", "markup", "end &#39");
    row("plain ampersand", "Tom & Jerry", "Tom & Jerry, le film", "");
    row("ampersand in a word", "R&D", "R&D interne", "");

    group = "whitespace";
    row("same blanks", " Name: ", " Nom : ", "");
    row("leading blank dropped", " Name", "Nom", "whitespace", "start with the blanks");
    row("leading blank added", "Name", " Nom", "whitespace", "remove the blanks at the start");
    row("other leading blank", " Name", "\tNom", "whitespace", "start with the same blanks");
    row("trailing blank dropped", "Name ", "Nom", "whitespace", "end with the blanks");
    row("trailing blank added", "Name", "Nom ", "whitespace", "remove the blanks at the end");
    row("written line break kept", "Line\\n", "Ligne\\n", "");
    row("written line break dropped", "Line\\n", "Ligne", "whitespace", "end with the blanks");
    row("doubled space", "Hello world", "Bonjour  monde", "whitespace", "doubled space");
    row("doubled space in both", "Hello  world", "Bonjour  monde", "");
    row("blanks only", "  ", " ", "whitespace");

    group = "punctuation";
    row("same mark", "Saved.", "Enregistré.", "");
    row("mark dropped", "Saved.", "Enregistré", "punctuation", "like the original's final \".\"");
    row("mark added", "Saved", "Enregistré !", "punctuation", "remove the final \"!\"");
    row("other mark", "Really?", "Vraiment !", "");
    row("blank before the mark", "Note:", "Remarque :", "");
    row("full-width question mark", "Sure?", "确定？", "");
    row("ideographic full stop", "Done.", "完了。", "");
    row("Arabic question mark", "Why?", "لماذا؟", "");
    row("Greek question mark", "Sure?", "Είστε σίγουροι;", "");
    row("ellipsis character and dots", "Wait…", "Attendez...", "");
    row("ellipsis entity", "Loading&hellip;", "Chargement…", "");
    row("mark behind a closing tag", "<b>Warning!</b>", "<b>Attention</b>", "punctuation",
        "final \"!\"");
    row("mark before a trailing blank", "Name: ", "Nom", "punctuation");
    row("no-break space after the mark", "Warning!&nbsp;", "Attention !", "");
    row("entity at the end is no mark", "Say &quot;hi&quot;", "Dites &quot;salut&quot;.",
        "punctuation", "remove the final \".\"");
    encoding = "windows-1252";
    row("ellipsis in windows-1252", "Wait.", "Attendez\x85", "");
    encoding = "Shift_JIS";
    row("ideographic full stop in Shift_JIS", "Done.", "\x8a\xae\x97\xb9\x81\x42", "");
    encoding = "UTF-8";

    group = "empty";
    row("empty translation", "Hello", "", "empty", "translation is empty");
    row("empty original", "", "Bonjour", "");

    group = "encoding";
    row("valid UTF-8", "Cafe", "Café", "");
    row("Latin-1 byte in UTF-8", "Cafe", "Caf\xe9", "encoding", "from byte 4 on");
    encoding = "windows-1252";
    row("the same byte in windows-1252", "Cafe", "Caf\xe9", "");
    encoding = "Shift_JIS";
    row("a lead byte alone", "x", "ab\x81", "encoding", "not valid Shift_JIS");
    row("a whole character", "x", "\x83\x7b", "");
    encoding = "UTF-8";

    group = "code";
    row("{$x} the original lacks", "Hello", "Salut {$x}", "code", "remove {$x}, which PHP runs");
    row("{$x} in both", "Hello {$x}", "Salut {$x}", "");
    row("${x}", "Hi", "Salut ${x}", "code", "remove ${x}");
    row("a command in ${...} in braces", "Hi", "{${system('id')}}", "code",
        "remove {${system('id')}}");
    row("a command in ${...}", "Hi", "${system('id')}", "code", "remove ${system('id')}");
    row("a method call in braces", "Hi", "Salut {$a->b()}", "code", "remove {$a->b()}");
    row("a property", "Hi", "Salut $a->b()", "code", "remove $a->b,");
    row("a nullsafe property", "Hi", "Salut $a?->b", "code", "remove $a?->b,");
    row("an array element", "Hi", "Salut $a[0] et $a[k]", "code", "remove $a[0], $a[k],");
    row("other code than the original's", "Hi {$user}", "Salut {$user->name}", "code",
        "remove {$user->name},");
    row("the same code twice, named once", "Hi", "{$x} {$x}", "code", "remove {$x}, which");
    row("a brace inside a quoted key", "Hi", "{$a['}']} x", "code", "remove {$a['}']},");
    row("never closed", "Hi", "Salut {$x", "code", "remove {$x,");
    row("escaped brace", "Hi", "Salut \\{$x}", "");
    row("escaped dollar", "Hi", "Salut \\${x}", "");
    row("escaped backslash before braces", "Hi", "Salut \\\\{$x}", "code", "remove {$x}");
    row("brace and a blank", "Hi", "Salut { $x}", "");
    row("a lone dollar", "Total", "Total : $", "");
    row("arrow without a name", "Hi", "$a->5 et $a- >b", "");
    quote = '\'';
    row("single quotes", "Hi", "{${system('id')}}", "");
    quote = 0;
    row("outside PHP", "Hi", "{${system('id')}}", "");
    quote = '"';

    // A bracket file's value has no escapes: what would end it early is an error of its own.
    group = "brackets";
    quote = 0;
    row("brackets inside", "Price", "Prix [x] total", "");
    row("closing brackets inside", "Price", "Prix]] total", "brackets", "]]");
    row("a final bracket", "Price", "Prix [x]", "brackets", "the final ]");
    quote = '"';
    row("PHP literals end at their quote", "Price", "Prix]] x]", "");

    group = "all";
    row("nothing special", "Open the file", "Ouvrir le fichier", "");
    row("translation equals its original", "100%  done <b> &amp Tom $x ",
        "100%  done <b> &amp Tom $x ", "");
    row("empty hides the rest", "%d files: <b>$n</b>.", "", "empty");
    row("problems in the checks' order", "%d files.", "%s fichiers", "placeholders punctuation");
    row("code, an error, before the warnings", "%d files.", "%s {$n} fichiers",
        "code placeholders variables punctuation");
}

void TestPhraseChecks::check()
{
    QFETCH(QByteArray, enabled);
    QFETCH(QByteArray, encoding);
    QFETCH(int, quote);
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, translation);
    QFETCH(QByteArray, found);
    QFETCH(QString, messagePart);
    PhraseChecker checker(encoding, Only(enabled));
    std::vector<PhraseProblem> problems;
    const int count = checker.Check(original, translation, char(quote), problems);
    QCOMPARE(Names(problems), found);
    QCOMPARE(count, int(problems.size()));
    QVERIFY2(Messages(problems).contains(messagePart), qPrintable(Messages(problems)));
    // Problems are appended: what the list held stays.
    const int again = checker.Check(original, translation, char(quote), problems);
    QCOMPARE(again, count);
    QCOMPARE(int(problems.size()), 2 * count);
}

void TestPhraseChecks::everyCheckCanBeTurnedOff()
{
    // A translation that trips every check but empty, and a UTF-8 error for encoding.
    const QByteArray original = "%d <b>$n</b> files.";
    // {$m} as the reader holds it: a code part.
    const QByteArray translation = ReadPhpValue("\" {x}  {$m} &foo; fichiers\xff\"", {}).text;
    PhraseChecker all("UTF-8");
    std::vector<PhraseProblem> problems;
    all.Check(original, translation, '"', problems);
    QCOMPARE(Names(problems), "code placeholders variables variables markup whitespace "
                              "whitespace punctuation encoding");
    for (int c = 0; c < PhraseCheckCount; ++c) {
        PhraseCheckSet set = PhraseCheckSet::All();
        set.Remove(PhraseCheck(c));
        PhraseChecker checker("UTF-8");
        checker.SetEnabled(set);
        problems.clear();
        checker.Check(original, translation, '"', problems);
        for (const PhraseProblem& p : problems)
            QVERIFY2(p.check != PhraseCheck(c), PhraseCheckName(p.check));
    }
    PhraseChecker none("UTF-8", PhraseCheckSet());
    problems.clear();
    QCOMPARE(none.Check(original, "", '"', problems), 0);
}

void TestPhraseChecks::names()
{
    for (int c = 0; c < PhraseCheckCount; ++c)
        QCOMPARE(PhraseCheckFromName(PhraseCheckName(PhraseCheck(c))), PhraseCheck(c));
    QCOMPARE(PhraseCheckFromName("Placeholders"), std::nullopt);
    QCOMPARE(PhraseCheckFromName(""), std::nullopt);
    // The listing order holds every check once, so none is left out of a menu or a summary.
    PhraseCheckSet listed;
    for (const PhraseCheck c : PhraseChecksInOrder) {
        QVERIFY2(!listed.Contains(c), PhraseCheckName(c));
        listed.Insert(c);
    }
    QCOMPARE(listed, PhraseCheckSet::All());
}

// Through the document: only translated phrases, and variables judged by the quote the
// translation file wrote each one in.
void TestPhraseChecks::documentPhrases_data()
{
    QTest::addColumn<QByteArray>("translationLine");
    QTest::addColumn<QByteArray>("found");
    QTest::newRow("double quotes")
        << QByteArray("define(\"_PRICE\",\"Prix $x\");") << QByteArray("variables");
    QTest::newRow("single quotes") << QByteArray("define('_PRICE','Prix $x');") << QByteArray();
    QTest::newRow("case line") << QByteArray("case \"_PRICE\": $tmp = \"Prix $x\"; break;")
                               << QByteArray("variables");
    QTest::newRow("bracket line") << QByteArray("[[_BRACKET]] = [[Prix $x]]") << QByteArray();
    QTest::newRow("untranslated") << QByteArray("define(\"_PRICE\",\"Price\");") << QByteArray();
    QTest::newRow("code in double quotes")
        << QByteArray("define(\"_PRICE\",\"Prix {$x}\");") << QByteArray("code variables");
    QTest::newRow("code in single quotes")
        << QByteArray("define('_PRICE','Prix {$x}');") << QByteArray();
    QTest::newRow("code on a bracket line")
        << QByteArray("[[_BRACKET]] = [[Prix {$x}]]") << QByteArray();
}

void TestPhraseChecks::documentPhrases()
{
    QFETCH(QByteArray, translationLine);
    QFETCH(QByteArray, found);
    PhraseDocument doc;
    doc.LoadTemplateData("<?php\n"
                         "define(\"_PRICE\",\"Price\");\n"
                         "[[_BRACKET]] = [[Price]]\n"
                         "define(\"_MISSING\",\"%d items\");\n");
    doc.MergeTranslationData(translationLine + '\n');
    PhraseChecker checker;
    std::vector<PhraseProblem> problems;
    for (int i = 0; i < doc.PhraseCount(); ++i)
        checker.CheckPhrase(doc, i, problems);
    QCOMPARE(Names(problems), found);
}

// Values that are PHP source rather than one literal: what in them runs when PHP reads them.
void TestPhraseChecks::codeInExpressions_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("code"); // the pieces found, joined by " | "
    QTest::newRow("a call") << QByteArray("'a' . system('id')") << QByteArray("system('id')");
    QTest::newRow("backticks") << QByteArray("'a' . `id`") << QByteArray("`id`");
    QTest::newRow("calls inside literals are text")
        << QByteArray("'system(1)' . \"`id`\"") << QByteArray();
    QTest::newRow("an escaped quote stays in its literal")
        << QByteArray("'it\\'s' . exec(\"ls\")") << QByteArray("exec(\"ls\")");
    QTest::newRow("a bracket inside a literal argument")
        << QByteArray("strtoupper( 'a)b' ) . 'c'") << QByteArray("strtoupper( 'a)b' )");
    QTest::newRow("namespaced and variable functions")
        << QByteArray("\\ns\\f($x) . $g('y')") << QByteArray("\\ns\\f($x) | $g('y')");
    QTest::newRow("a method") << QByteArray("$o->m(1)") << QByteArray("m(1)");
    QTest::newRow("interpolation in a double-quoted literal")
        << QByteArray("\"x{$a}\" . 'y{$b}'") << QByteArray("{$a}");
    QTest::newRow("array() builds a value") << QByteArray("ARRAY(1, 2)") << QByteArray();
    QTest::newRow("constants and operators") << QByteArray("PREFIX . \"x\" . 2") << QByteArray();
}

void TestPhraseChecks::codeInExpressions()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, code);
    std::vector<QByteArrayView> found;
    FindPhpCode(value, PhpValueForm::Expression, found);
    QList<QByteArray> pieces;
    for (const QByteArrayView piece : found)
        pieces << piece.toByteArray();
    QCOMPARE(pieces.join(" | "), code);
    found.clear();
    FindPhpCode(value, PhpValueForm::SingleQuoted, found);
    QVERIFY(found.empty());
}

// PHP judges: each translation is saved as the editor saves it and included by PHP with an
// object in scope whose property, method and element reads run a marker command. The check
// must flag exactly the values for which the marker runs. The object's conversion to text runs
// nothing: a plain variable is the variables check's, not code.
void TestPhraseChecks::codeAsPhpRunsIt_data()
{
    QTest::addColumn<QByteArray>("line"); // the translation file's line for _V
    QTest::addColumn<bool>("runs");
    // RUN stands for a command that prints the marker, which its own text does not hold.
    const auto define = [](const char* quote, const char* v) {
        return "define(" + QByteArray(quote) + "_V" + quote + ',' + quote +
               QByteArray(v).replace("RUN", "system('echo pwned | tr a-z A-Z')") + quote + ");";
    };
    const auto value = [&](const char* v) { return define("\"", v); };
    QTest::newRow("{${...}}") << value("a {${RUN}} b") << true;
    QTest::newRow("${...}") << value("${RUN}") << true;
    QTest::newRow("{ ${...}}: the blank guards only the brace") << value("{ ${RUN}}") << true;
    QTest::newRow("backslash before the brace") << value("\\{${RUN}}") << true;
    QTest::newRow("escaped backslash before the brace") << value("\\\\{${RUN}}") << true;
    QTest::newRow("backslash before the $") << value("\\${RUN}") << false;
    QTest::newRow("backslash inside the brace") << value("{\\${RUN}}") << false;
    QTest::newRow("property") << value("Salut $a->b()") << true;
    QTest::newRow("nullsafe property") << value("Salut $a?->b") << true;
    QTest::newRow("element") << value("Salut $a[0]") << true;
    QTest::newRow("method in braces") << value("Salut {$a->b()}") << true;
    QTest::newRow("escaped property") << value("Salut \\$a->b") << false;
    QTest::newRow("plain variable") << value("Salut $a ->b") << false;
    QByteArray single = define("'", "{${RUN}}");
    single.replace("('echo pwned | tr a-z A-Z')", "(\\'echo pwned | tr a-z A-Z\\')");
    QTest::newRow("single quotes") << single << false;
}

void TestPhraseChecks::codeAsPhpRunsIt()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, runs);
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        QSKIP("php is not installed (Debian's php-cli): PHP cannot judge the values");
    PhraseDocument doc;
    doc.LoadTemplateData("<?php\ndefine(\"_V\",\"Hello\");\n");
    doc.MergeTranslationData("<?php\n" + line + '\n');
    QCOMPARE(doc.PhraseState(0), TranslationState::tsTranslated);
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("fr.php"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(doc.BuildTranslationFile());
    file.close();

    const QString script =
        QStringLiteral("$a = new class implements ArrayAccess {"
                       "  function __get($n) { system('echo PWNED'); return 'p'; }"
                       "  function __call($n, $args) { system('echo PWNED'); return 'm'; }"
                       "  function offsetGet($o): mixed { system('echo PWNED'); return 'e'; }"
                       "  function offsetExists($o): bool { return true; }"
                       "  function offsetSet($o, $v): void {}"
                       "  function offsetUnset($o): void {}"
                       "  function __toString(): string { return 'A'; }"
                       "};"
                       "include $argv[1]; echo '[', _V, ']';");
    QProcess p;
    p.start(php, {QStringLiteral("-n"), QStringLiteral("-r"), script, QStringLiteral("--"), saved});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray out = p.readAllStandardOutput();
    QVERIFY2(p.exitCode() == 0 && out.contains('['), (out + p.readAllStandardError()).constData());
    QCOMPARE(out.contains("PWNED"), runs);

    PhraseChecker checker;
    std::vector<PhraseProblem> problems;
    checker.CheckPhrase(doc, 0, problems);
    const bool flagged = std::any_of(problems.begin(), problems.end(), [](const PhraseProblem& x) {
        return x.check == PhraseCheck::Code;
    });
    QVERIFY2(flagged == runs, qPrintable(Messages(problems)));
}

QTEST_GUILESS_MAIN(TestPhraseChecks)
#include "tst_phrasechecks.moc"
