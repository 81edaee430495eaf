#include "cli.h"

#include "encodingdetect.h"
#include "errors.h"
#include "fileio.h"
#include "masks.h"
#include "phpreader.h"
#include "phpvalue.h"
#include "phrasechecks.h"
#include "phrasedocument.h"
#include "phrasesearch.h"
#include "quillmar_version.h"
#include "stringtable.h"
#include "textcodec.h"
#include "textlines.h"

#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <langinfo.h>
#include <new>
#include <optional>

namespace {

constexpr char Usage[] =
    "usage: quillmar-cli parse FILE\n"
    "       quillmar-cli stats TEMPLATE [TRANSLATION] [--format text|json]\n"
    "       quillmar-cli list TEMPLATE [TRANSLATION] [--state "
    "missing|untranslated|translated|obsolete]\n"
    "       quillmar-cli merge TEMPLATE [TRANSLATION] -o OUTPUT\n"
    "                         [--layout template|lines|translation] [--keep-layout] [--force]\n"
    "       quillmar-cli find TEMPLATE [TRANSLATION] PATTERN [--in original|translated|both]\n"
    "                         [--case-sensitive] [--literal] [--encoding NAME]\n"
    "       quillmar-cli check TEMPLATE TRANSLATION... [--skip NAME[,NAME...]]...\n"
    "                          [--format text|json]\n"
    "       quillmar-cli --help\n"
    "       quillmar-cli --version\n";

constexpr char Help[] =
    "quillmar-cli: read, check and update the language files of PHP web applications.\n"
    "\n"
    "  parse FILE          every line of FILE: number (from 0), TAB, kind (0 none, 1 case,\n"
    "                      2 define, 3 bracket, 4 case strtolower, 5 const, 6 array element,\n"
    "                      7 variable, 8 array entry, 9 append), then TAB key TAB value for\n"
    "                      each phrase whose statement begins on it\n"
    "  stats TEMPLATE [TRANSLATION] [--format text|json]\n"
    "                      the phrase statistics of the template merged with the translation;\n"
    "                      as JSON: {\"phrases\", \"translated\", \"untranslated\", \"missing\"}\n"
    "  list TEMPLATE [TRANSLATION] [--state missing|untranslated|translated|obsolete]\n"
    "                      every phrase: template line, TAB, state, TAB, key, TAB, original,\n"
    "                      TAB, translation\n"
    "  merge TEMPLATE [TRANSLATION] -o OUTPUT [--layout template|lines|translation] [--force]\n"
    "                      writes the translation rebuilt on the template, as the editor saves:\n"
    "                      --layout template (the default) writes classic define and case lines\n"
    "                      in their fixed spelling, lines keeps every statement's own spelling\n"
    "                      (--keep-layout says the same), translation updates the translation\n"
    "                      file where it stands, only changed values replaced and missing\n"
    "                      phrases inserted after their neighbour. Obsolete phrases (keys only\n"
    "                      the translation has) are kept.\n"
    "                      OUTPUT - or /dev/stdout writes to the standard output, /dev/stderr\n"
    "                      to the standard error. Asking nothing, merge refuses to write over\n"
    "                      the template, over a translation a NUL byte cut short (the bytes\n"
    "                      after it would be lost) or over a read-only file, unless --force.\n"
    "                      Each phrase whose translation holds PHP code its original lacks is\n"
    "                      named on stderr; the file is written all the same\n"
    "  find TEMPLATE [TRANSLATION] PATTERN [--in original|translated|both] [--case-sensitive]\n"
    "       [--literal] [--encoding NAME]\n"
    "                      every phrase the editor's Find would stop at, in list's format; a\n"
    "                      pattern with '*' or '?' is a whole-text mask unless --literal.\n"
    "                      The files' encoding is detected as the editor does (--encoding\n"
    "                      names it instead); the pattern, text in the terminal's encoding,\n"
    "                      is converted to it\n"
    "  check TEMPLATE TRANSLATION... [--skip NAME[,NAME...]]... [--format text|json]\n"
    "                      checks every translated phrase of each translation against its\n"
    "                      original: code (PHP code such as {$x}, ${x} or $a->b in double\n"
    "                      quotes, which runs when the file is read: an error), brackets\n"
    "                      (]] or a final ] in a bracket file's value, read back cut: an\n"
    "                      error), placeholders\n"
    "                      (%s, %1$d, %%, {name}), variables ($name in double quotes), markup\n"
    "                      (tags, entities), whitespace (blanks at the ends, doubled spaces),\n"
    "                      punctuation (the final mark), empty, encoding (bytes the files'\n"
    "                      encoding cannot read, detected as the editor does). --skip turns\n"
    "                      checks off. Each problem is a line on stdout,\n"
    "                      FILE:LINE: SEVERITY: [NAME] message, where SEVERITY is error for\n"
    "                      code and brackets, warning for the others, and LINE is the phrase's\n"
    "                      line in the translation (counted from 1); a summary per file goes\n"
    "                      to stderr.\n"
    "                      --format json writes one JSON document instead: per file its problems\n"
    "                      (line, key, check, severity, message) and summary. Exit status: 0\n"
    "                      no problem, 1 problems found, 2 wrong usage or a file that cannot be\n"
    "                      read (the other files are still checked)\n"
    "  --help              this text\n"
    "  --version           the program's name and version\n"
    "\n"
    "Options may stand anywhere after the command; -- ends them, so that a file name or a\n"
    "pattern after it may begin with a dash.\n"
    "Texts are written as bytes; backslash, TAB, LF, CR and other control bytes are escaped\n"
    "as \\\\, \\t, \\n, \\r and \\xHH. Exit status (check's is above): 0 done, 1 file error,\n"
    "2 wrong usage.\n";

const char* StateName(TranslationState s)
{
    switch (s) {
    case TranslationState::tsMissing:
        return "missing";
    case TranslationState::tsUntranslated:
        return "untranslated";
    case TranslationState::tsTranslated:
        return "translated";
    case TranslationState::tsObsolete:
        return "obsolete";
    }
    return "?";
}

// A command line the program cannot run: the message says why, or the usage is shown when the
// message is empty.
struct UsageError
{
    QByteArray message;
};

// Splits arguments into positional ones and "--name value" options; after "--" every argument
// is positional, so that a pattern or a name may begin with a dash.
struct Arguments
{
    QList<QByteArray> positional;
    QList<std::pair<QByteArray, QByteArray>> options;

    Arguments(const QList<QByteArray>& args, const QList<QByteArray>& valued,
              const QList<QByteArray>& flags)
    {
        bool optionsEnded = false;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QByteArray& a = args[i];
            if (optionsEnded) {
                positional.append(a);
            } else if (a == "--") {
                optionsEnded = true;
            } else if (valued.contains(a)) {
                if (i + 1 >= args.size())
                    throw UsageError{};
                options.append({a, args[++i]});
            } else if (flags.contains(a)) {
                options.append({a, QByteArray()});
            } else if (a.startsWith("--") || (a.startsWith('-') && a.size() > 1)) {
                throw UsageError{};
            } else {
                positional.append(a);
            }
        }
    }
    std::optional<QByteArray> option(const QByteArray& name) const
    {
        std::optional<QByteArray> v;
        for (const auto& [n, value] : options)
            if (n == name)
                v = value;
        return v;
    }
    qsizetype count(const QByteArray& name) const
    {
        return std::count_if(options.begin(), options.end(),
                             [&name](const auto& o) { return o.first == name; });
    }
};

// Every write to the output is checked: a full disk or a closed pipe must not end in success.
void Write(QIODevice& out, QByteArrayView bytes)
{
    if (out.write(bytes.data(), bytes.size()) != bytes.size())
        throw Exception(QStringLiteral("Cannot write the output: %1").arg(out.errorString()));
}

// Output goes out in pieces of about a megabyte: a million records are never held at once.
void FlushWhenFull(QByteArray& buf, QIODevice& out)
{
    if (buf.size() > (1 << 20)) {
        Write(out, buf);
        buf.clear();
    }
}

// Names are used as the bytes they were given, valid UTF-8 or not.
FilePath Path(const QByteArray& arg)
{
    return FilePath::FromNative(arg);
}

// A command line may read from a pipe or a FIFO, as in stats <(git show HEAD:lang.php).
constexpr ReadOptions Input{.allowStreams = true};

// The encoding the window would show the document in, detected from the files as it does.
DocumentEncoding DetectEncoding(const PhraseDocument& doc)
{
    return doc.DetectEncoding(QLocale::system());
}

// A translation in another encoding than its template gets the window's warning on err.
void WarnOfMixedEncodings(const DocumentEncoding& encoding, const QByteArray& templateArg,
                          const QByteArray& translationArg, QIODevice& err)
{
    if (encoding.mismatch)
        err.write("quillmar-cli: warning: " +
                  EncodingMismatchText(encoding, Path(templateArg).Display(),
                                       Path(translationArg).Display())
                      .toLocal8Bit() +
                  '\n');
}

// Loads the template and the translation; a translation in another encoding than its template
// gets the window's warning on err, since a merge of the two writes a file mixing both.
void LoadDocument(PhraseDocument& doc, const QList<QByteArray>& files, QIODevice& err)
{
    doc.LoadTemplate(Path(files.at(0)), Input);
    if (files.size() < 2)
        return;
    doc.LoadTranslation(Path(files.at(1)), Input);
    WarnOfMixedEncodings(DetectEncoding(doc), files.at(0), files.at(1), err);
}

// The encoding of the terminal the arguments were typed in: the locale's, where the C locale's
// ASCII stands for UTF-8, which holds it and which terminals send.
TextCodec TerminalCodec()
{
    const QByteArray codeset = nl_langinfo(CODESET);
    const QByteArray name = CanonicalEncodingName(codeset);
    const QByteArray lower = codeset.toLower();
    if (name.isEmpty() || lower == "ansi_x3.4-1968" || lower == "ascii" || lower == "us-ascii")
        return TextCodec("UTF-8");
    return TextCodec(name);
}

// The pattern's bytes in the document's encoding, so that "мир" typed in a UTF-8 terminal finds
// the windows-1251 bytes of the same word. Bytes that are not text in the terminal's encoding
// were given as raw bytes and are matched as they are. Nothing when a character of the pattern
// cannot be written in the document's encoding: no text there can hold it.
std::optional<QByteArray> PatternFor(const QByteArray& pattern, const TextCodec& terminal,
                                     const TextCodec& document, QString* badChar)
{
    if (terminal.Name() == document.Name() ||
        std::all_of(pattern.begin(), pattern.end(), [](char c) { return uchar(c) < 0x80; }))
        return pattern;
    const QString text = terminal.ToUnicode(pattern);
    if (terminal.FromUnicode(text) != pattern)
        return pattern;
    return document.FromUnicode(text, badChar);
}

int Parse(const Arguments& a, QIODevice& out)
{
    if (a.positional.size() != 1 || !a.options.isEmpty())
        throw UsageError{};
    const FilePath path = Path(a.positional[0]);
    const QByteArray data = ReadFileBytes(path, Input);
    RefuseWideEncoding(path, data);
    // The phrases by the line their statement begins on; lines without one are listed alone.
    const QByteArrayView text = TextBeforeNul(data);
    QByteArray buf;
    int line = 0;
    const auto listUpTo = [&](int upTo) {
        for (; line < upTo; ++line) {
            buf += QByteArray::number(line) + "\t0\n";
            FlushWhenFull(buf, out);
        }
    };
    ReadPhpPhrases(text, {}, [&](const PhpStatement& s) {
        listUpTo(s.line);
        line = std::max(line, s.line + 1);
        const QByteArrayView code = text.sliced(s.valueBegin, s.valueEnd - s.valueBegin);
        const QByteArray value =
            s.kind == PhraseLineKind::lkBracket ? code.toByteArray() : ReadPhpValue(code, {}).text;
        buf += QByteArray::number(s.line) + '\t' + QByteArray::number(int(s.kind)) + '\t' +
               EscapeField(s.key.toByteArray()) + '\t' + EscapeField(value) + '\n';
        FlushWhenFull(buf, out);
    });
    int lines = 0;
    ForEachLine(text, [&lines](qsizetype, qsizetype) { ++lines; });
    listUpTo(lines);
    Write(out, buf);
    return 0;
}

// Whether --format asks for JSON; text is the default.
bool JsonFormat(const Arguments& a)
{
    const auto format = a.option("--format");
    if (format && *format != "text" && *format != "json")
        throw UsageError{};
    return format == "json";
}

int Stats(const Arguments& a, QIODevice& out, QIODevice& err)
{
    if (a.positional.isEmpty() || a.positional.size() > 2)
        throw UsageError{};
    const bool json = JsonFormat(a);
    PhraseDocument doc;
    LoadDocument(doc, a.positional, err);
    if (a.positional.size() == 1)
        doc.MergeTranslationData({}); // no translation: every phrase is missing
    if (!json) {
        Write(out, doc.StatusText().toUtf8() + '\n');
        return 0;
    }
    const PhraseStatistics stats = doc.Statistics();
    const QJsonObject counts{{QStringLiteral("phrases"), stats.phrases},
                             {QStringLiteral("translated"), stats.translated},
                             {QStringLiteral("untranslated"), stats.untranslated},
                             {QStringLiteral("missing"), stats.missing}};
    Write(out, QJsonDocument(counts).toJson(QJsonDocument::Indented));
    return 0;
}

// The checks --skip leaves on; each value names one check or several, separated by commas.
PhraseCheckSet EnabledChecks(const Arguments& a)
{
    PhraseCheckSet enabled = PhraseCheckSet::All();
    for (const auto& [name, value] : a.options) {
        if (name != "--skip")
            continue;
        for (const QByteArray& skipped : value.split(',')) {
            const std::optional<PhraseCheck> check = PhraseCheckFromName(skipped);
            if (!check)
                throw UsageError{};
            enabled.Remove(*check);
        }
    }
    return enabled;
}

// One problem of a phrase, and where the reader finds the phrase.
struct FoundProblem
{
    int phrase = 0;
    int line = 0; ///< from 1
    PhraseProblem problem;
};

// The line (from 0) on which each phrase first stands in a merged file's text, as the merge took
// it, or -1: the lines a report names.
std::vector<int> PhraseLinesIn(const PhraseDocument& doc, QByteArrayView data)
{
    std::vector<int> lines(size_t(doc.PhraseCount()), -1);
    ReadPhpPhrases(TextBeforeNul(data), doc.Store().LexOptions(), [&](const PhpStatement& s) {
        if (const std::optional<int> p = doc.FindKey(s.key); p && lines[size_t(*p)] < 0)
            lines[size_t(*p)] = s.line;
    });
    return lines;
}

// What checker finds in doc's phrases, each problem with the line (from 1) of data, the merged
// translation, that gave its phrase, in the order of those lines.
std::vector<FoundProblem> ProblemsByLine(const PhraseDocument& doc, QByteArrayView data,
                                         PhraseChecker& checker)
{
    std::vector<FoundProblem> found;
    std::vector<PhraseProblem> problems;
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        problems.clear();
        checker.CheckPhrase(doc, i, problems);
        for (PhraseProblem& p : problems)
            found.push_back({i, 0, std::move(p)});
    }
    if (found.empty())
        return found;
    // Only translated phrases are checked, and a phrase is translated by the line of this file
    // that carries its key: each problem has a line there.
    const std::vector<int> lines = PhraseLinesIn(doc, data);
    for (FoundProblem& f : found)
        f.line = lines[size_t(f.phrase)] + 1;
    // In the order of the lines, as a compiler reports: a translation need not follow its template.
    std::stable_sort(found.begin(), found.end(),
                     [](const FoundProblem& x, const FoundProblem& y) { return x.line < y.line; });
    return found;
}

QByteArray Plural(qsizetype n, const char* one, const char* many)
{
    return QByteArray::number(n) + ' ' + (n == 1 ? one : many);
}

// The problems of one translation file, checked against the template's bytes.
struct FileReport
{
    QByteArray file;
    QString error; ///< why the file could not be read; then nothing else is set
    QByteArray encoding;
    PhraseStatistics stats;
    std::vector<FoundProblem> problems;
    std::vector<QString> keys; ///< for JSON, per problem, the phrase's key as text
    std::array<int, PhraseCheckCount> counts{};
    int errors = 0;
};

FileReport CheckFile(const QByteArray& templateArg, const QByteArray& templateData,
                     const QByteArray& file, PhraseCheckSet enabled, bool keys, QIODevice& err)
{
    FileReport report;
    report.file = file;
    PhraseDocument doc;
    QByteArray data;
    try {
        doc.LoadTemplateData(templateData);
        data = ReadFileBytes(Path(file), Input);
        RefuseWideEncoding(Path(file), data);
    } catch (const Exception& e) {
        report.error = e.Message();
        return report;
    }
    doc.MergeTranslationData(data);
    const DocumentEncoding encoding = DetectEncoding(doc);
    WarnOfMixedEncodings(encoding, templateArg, file, err);
    report.encoding = encoding.name;
    report.stats = doc.Statistics();
    PhraseChecker checker(encoding.name, enabled);
    report.problems = ProblemsByLine(doc, data, checker);
    for (const FoundProblem& f : report.problems) {
        ++report.counts[size_t(f.problem.check)];
        report.errors += f.problem.Severity() == PhraseSeverity::Error;
    }
    if (keys)
        for (const FoundProblem& f : report.problems)
            report.keys.push_back(checker.Codec().ToUnicode(doc.PhraseKey(f.phrase)));
    return report;
}

QByteArray SummaryLine(const FileReport& r)
{
    QByteArray line = r.file + ": " + Plural(qsizetype(r.problems.size()), "problem", "problems");
    if (r.errors > 0)
        line += " (" + Plural(r.errors, "error", "errors") + ')';
    line += " in " + Plural(r.stats.translated, "translated phrase", "translated phrases");
    QList<QByteArray> byCheck;
    for (const PhraseCheck c : PhraseChecksInOrder)
        if (r.counts[size_t(c)] > 0)
            byCheck << QByteArray(PhraseCheckName(c)) + ' ' +
                           QByteArray::number(r.counts[size_t(c)]);
    if (!byCheck.isEmpty())
        line += " (" + byCheck.join(", ") + ')';
    return line + '\n';
}

QJsonObject JsonReport(const FileReport& r, PhraseCheckSet enabled)
{
    QJsonObject file{{QStringLiteral("file"), Path(r.file).Display()}};
    if (!r.error.isEmpty()) {
        file.insert(QStringLiteral("error"), r.error);
        return file;
    }
    file.insert(QStringLiteral("encoding"), QString::fromLatin1(r.encoding));
    QJsonArray problems;
    for (size_t i = 0; i < r.problems.size(); ++i) {
        const FoundProblem& f = r.problems[i];
        problems.append(QJsonObject{
            {QStringLiteral("line"), f.line},
            {QStringLiteral("key"), r.keys[i]},
            {QStringLiteral("check"), QLatin1String(PhraseCheckName(f.problem.check))},
            {QStringLiteral("severity"), QLatin1String(PhraseSeverityName(f.problem.Severity()))},
            {QStringLiteral("message"), f.problem.message},
        });
    }
    file.insert(QStringLiteral("problems"), problems);
    QJsonObject byCheck;
    for (int c = 0; c < PhraseCheckCount; ++c)
        if (enabled.Contains(PhraseCheck(c)))
            byCheck.insert(QLatin1String(PhraseCheckName(PhraseCheck(c))), r.counts[size_t(c)]);
    file.insert(QStringLiteral("summary"),
                QJsonObject{{QStringLiteral("phrases"), r.stats.phrases},
                            {QStringLiteral("translated"), r.stats.translated},
                            {QStringLiteral("problems"), qint64(r.problems.size())},
                            {QStringLiteral("errors"), r.errors},
                            {QStringLiteral("checks"), byCheck}});
    return file;
}

int CheckFiles(const Arguments& a, QIODevice& out, QIODevice& err)
{
    const bool json = JsonFormat(a);
    const PhraseCheckSet enabled = EnabledChecks(a);
    const QByteArray& templateArg = a.positional.first();
    QByteArray templateData = ReadFileBytes(Path(templateArg), Input);
    RefuseWideEncoding(Path(templateArg), templateData);
    bool unreadable = false;
    bool problems = false;
    QJsonArray files;
    QByteArray summaries;
    for (const QByteArray& file : a.positional.mid(1)) {
        // Pipes are read once: a report is made, written and dropped before the next file.
        const FileReport r = CheckFile(templateArg, templateData, file, enabled, json, err);
        if (!r.error.isEmpty()) {
            unreadable = true;
            err.write(r.error.toLocal8Bit() + '\n');
        }
        problems |= !r.problems.empty();
        if (json) {
            files.append(JsonReport(r, enabled));
            continue;
        }
        QByteArray buf;
        for (const FoundProblem& f : r.problems) {
            // Appended piece by piece: a million problems make no temporary per piece.
            buf.append(r.file).append(':').append(QByteArray::number(f.line)).append(": ");
            buf.append(PhraseSeverityName(f.problem.Severity()));
            buf.append(": [").append(PhraseCheckName(f.problem.check)).append("] ");
            buf.append(EscapeField(f.problem.message.toUtf8())).append('\n');
            FlushWhenFull(buf, out);
        }
        Write(out, buf);
        if (r.error.isEmpty())
            summaries += SummaryLine(r);
    }
    if (json) {
        const QJsonObject report{{QStringLiteral("template"), Path(templateArg).Display()},
                                 {QStringLiteral("files"), files}};
        Write(out, QJsonDocument(report).toJson(QJsonDocument::Indented));
    }
    // After every problem line, as a compiler's count of warnings comes last.
    err.write(summaries);
    return unreadable ? 2 : problems ? 1 : 0;
}

// Status 1 means problems found, so a file that cannot be read, a failed write or too little
// memory end in 2.
int Check(const Arguments& a, QIODevice& out, QIODevice& err)
{
    if (a.positional.size() < 2)
        throw UsageError{};
    try {
        return CheckFiles(a, out, err);
    } catch (const Exception& e) {
        err.write(e.Message().toLocal8Bit() + '\n');
    } catch (const std::bad_alloc&) {
        err.write(QByteArray(strings::OutOfMemory) + '\n');
    }
    return 2;
}

// texts is scratch storage, reused from one phrase to the next.
void WritePhrase(QByteArray& buf, const PhraseDocument& doc, int i, BorrowedPhraseTexts& texts)
{
    doc.BorrowPhraseTexts(i, texts, true, true);
    buf += QByteArray::number(doc.PhraseKeyTag(i)) + '\t' + StateName(doc.PhraseState(i)) + '\t' +
           EscapeField(texts.key) + '\t' + EscapeField(texts.original) + '\t' +
           EscapeField(texts.translation) + '\n';
}

// A mask that cannot be compiled is a pattern the command cannot take, so it is wrong usage,
// reported before any file is searched, even an empty one, in the words Find uses.
void RefuseInvalidMask(const SearchRequest& request, const TextCodec& codec)
{
    const QByteArray pattern =
        request.caseSensitive ? request.pattern : codec.UpperCase(request.pattern);
    if (request.masksAsOrdinary || (!pattern.contains('*') && !pattern.contains('?')))
        return;
    try {
        TMask mask(pattern, codec.LeadBytes());
    } catch (const EMaskError& e) {
        // One arg() call, so a '%1' inside the mask stays as typed.
        throw UsageError{QString::fromLatin1(strings::InvalidMask)
                             .arg(codec.ToUnicode(e.mask()), QString::number(e.position()))
                             .toLocal8Bit()};
    }
}

int Find(const Arguments& a, QIODevice& out, QIODevice& err)
{
    if (a.positional.size() < 2 || a.positional.size() > 3)
        throw UsageError{};
    SearchRequest request;
    request.pattern = a.positional.last(); // bytes as given, not trimmed
    if (const auto in = a.option("--in")) {
        request.inOriginal = *in == "original" || *in == "both";
        request.inTranslated = *in == "translated" || *in == "both";
        if (!request.inOriginal && !request.inTranslated)
            throw UsageError{};
    }
    request.caseSensitive = a.option("--case-sensitive").has_value();
    request.masksAsOrdinary = a.option("--literal").has_value();
    const auto encoding = a.option("--encoding");
    TextCodec codec = encoding ? TextCodec(*encoding) : TextCodec();
    if (encoding && !codec.Valid())
        throw UsageError{"Unknown encoding " + *encoding};

    PhraseDocument doc;
    LoadDocument(doc, a.positional.mid(0, a.positional.size() - 1), err);
    if (!encoding)
        codec = TextCodec(DetectEncoding(doc).name);
    QString badChar;
    const auto pattern = PatternFor(request.pattern, TerminalCodec(), codec, &badChar);
    if (!pattern) {
        err.write("quillmar-cli: \"" + badChar.toLocal8Bit() + "\" cannot be written in " +
                  codec.Name() + ": nothing can match\n");
        return 0;
    }
    request.pattern = *pattern;
    RefuseInvalidMask(request, codec);
    QByteArray buf;
    BorrowedPhraseTexts texts;
    // Each hit is where Find stops; Find again then goes on from the phrase after it.
    for (std::optional<int> hit = FindPhrase(doc, 0, request, codec); hit;
         hit = FindPhrase(doc, *hit + 1, request, codec)) {
        WritePhrase(buf, doc, *hit, texts);
        FlushWhenFull(buf, out);
    }
    Write(out, buf);
    return 0;
}

int List(const Arguments& a, QIODevice& out, QIODevice& err)
{
    if (a.positional.isEmpty() || a.positional.size() > 2)
        throw UsageError{};
    std::optional<TranslationState> only;
    if (const auto s = a.option("--state")) {
        if (*s == "missing")
            only = TranslationState::tsMissing;
        else if (*s == "untranslated")
            only = TranslationState::tsUntranslated;
        else if (*s == "translated")
            only = TranslationState::tsTranslated;
        else if (*s == "obsolete")
            only = TranslationState::tsObsolete;
        else
            throw UsageError{};
    }
    PhraseDocument doc;
    LoadDocument(doc, a.positional, err);
    QByteArray buf;
    BorrowedPhraseTexts texts;
    for (int i = 0; i < doc.PhraseCount(); ++i) {
        if (only && doc.PhraseState(i) != *only)
            continue;
        WritePhrase(buf, doc, i, texts);
        FlushWhenFull(buf, out);
    }
    Write(out, buf);
    return 0;
}

// The stream an output name stands for: "-" and the names the system gives the program's own
// standard output and error. Opened as files they would be whatever the shell connected them
// to, replaced from its start (a log the output is appended to) or refused (a pipe).
QIODevice* StreamNamed(const QByteArray& name, QIODevice& out, QIODevice& err)
{
    if (name == "-" || name == "/dev/stdout" || name == "/dev/fd/1" || name == "/proc/self/fd/1")
        return &out;
    if (name == "/dev/stderr" || name == "/dev/fd/2" || name == "/proc/self/fd/2")
        return &err;
    return nullptr;
}

// The translation a merge reads: its bytes, its stamp when read, where a NUL cut it short, and
// the encoding detected for it and its template.
struct MergedTranslation
{
    QByteArray arg;
    QByteArray data;
    FileStamp stamp;
    std::optional<NulCut> cut;
    QByteArray encoding;
};

// What writing the merge to output would lose that no one was asked about, a line each: the
// window asks before each of these, a command line has no one to ask.
QList<QByteArray> LossesAt(const QByteArray& outputArg, const PhraseDocument& doc,
                           const QByteArray& templateArg, const MergedTranslation& translation)
{
    const FilePath output = Path(outputArg);
    const FileStamp target = StampOf(output);
    if (!target.exists)
        return {};
    const QByteArray shown = output.Display().toLocal8Bit();
    QList<QByteArray> losses;
    if (target.SameFile(doc.TemplateStamp()))
        losses << "quillmar-cli: " + shown + " is the template " +
                      Path(templateArg).Display().toLocal8Bit() +
                      ": writing the merge over it would replace the template's texts with the "
                      "translation's";
    if (translation.cut && target.SameFile(translation.stamp))
        losses << "quillmar-cli: " + shown +
                      " is the translation read, and a NUL byte on its line " +
                      QByteArray::number(translation.cut->line + 1) +
                      " cut it short: writing the merge over it would lose the " +
                      QByteArray::number(translation.cut->bytesAfter) +
                      " bytes from the NUL to its end";
    if (ReadOnlyFile(output))
        losses << "quillmar-cli: " + shown +
                      " is read-only: writing the merge over it would replace a file kept from "
                      "changes, which the shell's > refuses too";
    if (!losses.isEmpty())
        losses << "quillmar-cli: nothing was written; --force writes " + shown + " all the same";
    return losses;
}

// A translation holding code its original lacks runs that code wherever the merged file is
// read; the merge still writes it, as the editor saves it, but says where it is.
void WarnOfCode(const PhraseDocument& doc, const MergedTranslation& translation, QIODevice& err)
{
    PhraseCheckSet code;
    code.Insert(PhraseCheck::Code);
    PhraseChecker checker(translation.encoding, code);
    const std::vector<FoundProblem> found = ProblemsByLine(doc, translation.data, checker);
    if (found.empty())
        return;
    QByteArray buf;
    for (const FoundProblem& f : found)
        buf += "quillmar-cli: warning: " + translation.arg + ':' + QByteArray::number(f.line) +
               ": [" + PhraseCheckName(f.problem.check) + "] " +
               EscapeField(f.problem.message.toUtf8()) + '\n';
    err.write(buf);
}

int Merge(const Arguments& a, QIODevice& out, QIODevice& err)
{
    const auto output = a.option("-o");
    if (a.positional.isEmpty() || a.positional.size() > 2 || !output)
        throw UsageError{};
    if (a.count("-o") > 1)
        throw UsageError{"quillmar-cli: -o is given more than once; merge writes one file"};
    const QByteArray& templateArg = a.positional[0];
    PhraseDocument doc;
    doc.LoadTemplate(Path(templateArg), Input);
    // Read here rather than by the document: the bytes give the lines the warnings name, the
    // stamp and the NUL what a write over the file would lose.
    MergedTranslation translation;
    if (a.positional.size() == 2) {
        translation.arg = a.positional[1];
        translation.data = ReadFileBytes(Path(translation.arg), Input, &translation.stamp);
        RefuseWideEncoding(Path(translation.arg), translation.data);
        translation.cut = FindNulCut(translation.data);
        doc.MergeTranslationData(translation.data);
        const DocumentEncoding encoding = DetectEncoding(doc);
        WarnOfMixedEncodings(encoding, templateArg, translation.arg, err);
        translation.encoding = encoding.name;
    }
    doc.SetKeepLayout(a.option("--keep-layout").has_value());
    if (const auto layout = a.option("--layout")) {
        if (*layout == "template")
            doc.SetLayout(SaveLayout::Template);
        else if (*layout == "lines")
            doc.SetLayout(SaveLayout::Lines);
        else if (*layout == "translation")
            doc.SetLayout(SaveLayout::Translation);
        else
            throw UsageError{};
    }
    QIODevice* stream = StreamNamed(*output, out, err);
    if (!stream && !a.option("--force")) {
        const QList<QByteArray> losses = LossesAt(*output, doc, templateArg, translation);
        if (!losses.isEmpty()) {
            err.write(losses.join('\n') + '\n');
            return 1;
        }
    }
    if (!translation.arg.isEmpty())
        WarnOfCode(doc, translation, err);
    if (!stream) {
        doc.SetTranslationPath(Path(*output));
        doc.SaveTranslation();
        return 0;
    }
    doc.ProduceTranslationFile([stream](QByteArrayView piece) { Write(*stream, piece); });
    // A buffered stream is written out now, so that a failure is this command's.
    if (auto* file = qobject_cast<QFileDevice*>(stream); file && !file->flush())
        throw Exception(QStringLiteral("Cannot write the output: %1").arg(file->errorString()));
    return 0;
}

} // namespace

QByteArray EscapeField(QByteArrayView text)
{
    static constexpr char hex[] = "0123456789abcdef";
    QByteArray out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    return out;
}

int RunCli(const QList<QByteArray>& args, QIODevice& out, QIODevice& err)
{
    if (args.isEmpty()) {
        err.write(Usage);
        return 2;
    }
    const QByteArray command = args.first();
    const QList<QByteArray> rest = args.mid(1);
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            Write(out, Help);
            Write(out, "\n");
            Write(out, Usage);
            return 0;
        }
        if (command == "--version") {
            if (!rest.isEmpty())
                throw UsageError{};
            Write(out, "quillmar-cli " QUILLMAR_VERSION_STRING "\n");
            return 0;
        }
        if (command == "parse")
            return Parse(Arguments(rest, {}, {}), out);
        if (command == "stats")
            return Stats(Arguments(rest, {"--format"}, {}), out, err);
        if (command == "check")
            return Check(Arguments(rest, {"--skip", "--format"}, {}), out, err);
        if (command == "list")
            return List(Arguments(rest, {"--state"}, {}), out, err);
        if (command == "merge")
            return Merge(Arguments(rest, {"-o", "--layout"}, {"--keep-layout", "--force"}), out,
                         err);
        if (command == "find")
            return Find(Arguments(rest, {"--in", "--encoding"}, {"--case-sensitive", "--literal"}),
                        out, err);
        throw UsageError{};
    } catch (const UsageError& e) {
        err.write(e.message.isEmpty() ? QByteArray(Usage) : e.message + '\n');
        return 2;
    } catch (const Exception& e) {
        err.write(e.Message().toLocal8Bit() + '\n');
        return 1;
    } catch (const std::bad_alloc&) {
        err.write(QByteArray(strings::OutOfMemory) + '\n');
        return 1;
    }
}
