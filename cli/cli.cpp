#include "cli.h"

#include "encodingdetect.h"
#include "errors.h"
#include "fileio.h"
#include "phrasedocument.h"
#include "phrasesearch.h"
#include "stringtable.h"
#include "textcodec.h"
#include "textlines.h"

#include <QFile>
#include <QIODevice>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <langinfo.h>
#include <new>
#include <optional>

namespace {

constexpr char Usage[] =
    "usage: quillmar-cli parse FILE\n"
    "       quillmar-cli stats TEMPLATE [TRANSLATION]\n"
    "       quillmar-cli list TEMPLATE [TRANSLATION] [--state missing|untranslated|translated]\n"
    "       quillmar-cli merge TEMPLATE [TRANSLATION] -o OUTPUT [--keep-layout]\n"
    "       quillmar-cli find TEMPLATE [TRANSLATION] PATTERN [--in original|translated|both]\n"
    "                         [--case-sensitive] [--literal] [--encoding NAME]\n"
    "       quillmar-cli --help\n";

constexpr char Help[] =
    "quillmar-cli: read, check and update the language files of PHP web applications.\n"
    "\n"
    "  parse FILE          every line of FILE: number, TAB, kind (0 none, 1 case, 2 define,\n"
    "                      3 bracket, 4 case strtolower), then TAB key TAB value for phrases\n"
    "  stats TEMPLATE [TRANSLATION]\n"
    "                      the phrase statistics of the template merged with the translation\n"
    "  list TEMPLATE [TRANSLATION] [--state missing|untranslated|translated]\n"
    "                      every phrase: template line, TAB, state, TAB, key, TAB, original,\n"
    "                      TAB, translation\n"
    "  merge TEMPLATE [TRANSLATION] -o OUTPUT [--keep-layout]\n"
    "                      writes the translation rebuilt on the template, as the editor saves;\n"
    "                      with --keep-layout every phrase line keeps the template's layout\n"
    "  find TEMPLATE [TRANSLATION] PATTERN [--in original|translated|both] [--case-sensitive]\n"
    "       [--literal] [--encoding NAME]\n"
    "                      every phrase the editor's Find would stop at, in list's format; a\n"
    "                      pattern with '*' or '?' is a whole-text mask unless --literal.\n"
    "                      The files' encoding is detected as the editor does (--encoding\n"
    "                      names it instead); the pattern, text in the terminal's encoding,\n"
    "                      is converted to it\n"
    "\n"
    "Texts are written as bytes; backslash, TAB, LF, CR and other control bytes are escaped\n"
    "as \\\\, \\t, \\n, \\r and \\xHH. Exit status: 0 done, 1 file error, 2 wrong usage.\n";

const char* StateName(TranslationState s)
{
    switch (s) {
    case TranslationState::tsMissing:
        return "missing";
    case TranslationState::tsUntranslated:
        return "untranslated";
    case TranslationState::tsTranslated:
        return "translated";
    }
    return "?";
}

struct UsageError
{
};

// Splits arguments into positional ones and "--name value" options.
struct Arguments
{
    QList<QByteArray> positional;
    QList<std::pair<QByteArray, QByteArray>> options;

    Arguments(const QList<QByteArray>& args, const QList<QByteArray>& valued,
              const QList<QByteArray>& flags)
    {
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QByteArray& a = args[i];
            if (valued.contains(a)) {
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

// Loads the template and the translation; a translation in another encoding than its template
// gets the window's warning on err, since a merge of the two writes a file mixing both.
void LoadDocument(PhraseDocument& doc, const QList<QByteArray>& files, QIODevice& err)
{
    doc.LoadTemplate(Path(files.at(0)), Input);
    if (files.size() < 2)
        return;
    doc.LoadTranslation(Path(files.at(1)), Input);
    const DocumentEncoding encoding = DetectEncoding(doc);
    if (encoding.mismatch)
        err.write(
            "quillmar-cli: warning: " +
            EncodingMismatchText(encoding, Path(files.at(0)).Display(), Path(files.at(1)).Display())
                .toLocal8Bit() +
            '\n');
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
    QByteArray buf;
    QByteArray key, value;
    int n = 0;
    for (const LineSpan& s : SplitLines(data)) {
        const PhraseLineKind kind =
            ParsePhraseLine(QByteArrayView(data).sliced(s.offset, s.length), key, value);
        buf += QByteArray::number(n++) + '\t' + QByteArray::number(int(kind));
        if (kind != PhraseLineKind::lkNone)
            buf += '\t' + EscapeField(key) + '\t' + EscapeField(value);
        buf += '\n';
        FlushWhenFull(buf, out);
    }
    Write(out, buf);
    return 0;
}

int Stats(const Arguments& a, QIODevice& out, QIODevice& err)
{
    if (a.positional.isEmpty() || a.positional.size() > 2 || !a.options.isEmpty())
        throw UsageError{};
    PhraseDocument doc;
    LoadDocument(doc, a.positional, err);
    if (a.positional.size() == 1)
        doc.MergeTranslationData({}); // no translation: every phrase is missing
    Write(out, doc.StatusText().toUtf8() + '\n');
    return 0;
}

// texts is scratch storage, reused from one phrase to the next.
void WritePhrase(QByteArray& buf, const PhraseDocument& doc, int i, BorrowedPhraseTexts& texts)
{
    doc.BorrowPhraseTexts(i, texts, true, true);
    buf += QByteArray::number(doc.PhraseKeyTag(i)) + '\t' + StateName(doc.PhraseState(i)) + '\t' +
           EscapeField(texts.key) + '\t' + EscapeField(texts.original) + '\t' +
           EscapeField(texts.translation) + '\n';
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
        throw Exception(QStringLiteral("Unknown encoding %1").arg(QString::fromLatin1(*encoding)));

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

int Merge(const Arguments& a, QIODevice& err)
{
    const auto output = a.option("-o");
    if (a.positional.isEmpty() || a.positional.size() > 2 || !output)
        throw UsageError{};
    PhraseDocument doc;
    LoadDocument(doc, a.positional, err);
    doc.SetKeepLayout(a.option("--keep-layout").has_value());
    doc.SetTranslationPath(Path(*output));
    doc.SaveTranslation();
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
        if (command == "parse")
            return Parse(Arguments(rest, {}, {}), out);
        if (command == "stats")
            return Stats(Arguments(rest, {}, {}), out, err);
        if (command == "list")
            return List(Arguments(rest, {"--state"}, {}), out, err);
        if (command == "merge")
            return Merge(Arguments(rest, {"-o"}, {"--keep-layout"}), err);
        if (command == "find")
            return Find(Arguments(rest, {"--in", "--encoding"}, {"--case-sensitive", "--literal"}),
                        out, err);
        throw UsageError{};
    } catch (const UsageError&) {
        err.write(Usage);
        return 2;
    } catch (const Exception& e) {
        err.write(e.Message().toLocal8Bit() + '\n');
        return 1;
    } catch (const std::bad_alloc&) {
        err.write(QByteArray(strings::OutOfMemory) + '\n');
        return 1;
    }
}
