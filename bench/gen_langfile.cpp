// Writes a template and a translation of N phrases for timing runs, in one of three shapes:
//   define  mixed define and case lines with comments, CRLF line ends (the default);
//   lang    $lang['KEY_n'] = '...'; lines, a few of them two-level ($lang['js']['KEY_n']), with
//           comments and blank lines, LF line ends;
//   return  a file returning an array of 'key_n' => '...' items, some in nested groups, LF.
// About 20 % of the phrases are missing from the translation, 20 % are left untranslated and the
// rest are translated. The same N and shape always give the same bytes.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

std::mt19937 rng(20261210);

const char* const words[] = {"account",  "message", "welcome", "forum",   "reply",    "topic",
                             "password", "user",    "search",  "submit",  "preview",  "delete",
                             "edit",     "profile", "member",  "private", "download", "news"};

std::string Phrase(int count)
{
    std::string s;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += ' ';
        s += words[rng() % (sizeof words / sizeof *words)];
    }
    s[0] = char(std::toupper(s[0]));
    return s;
}

// The text of phrase i and what the translation does with it.
struct Entry
{
    std::string text;
    bool missing = false;
    std::string translated;
};

Entry NextEntry(std::string text)
{
    Entry e;
    e.text = std::move(text);
    const unsigned pick = rng() % 10;
    e.missing = pick < 2;
    e.translated = pick < 4 ? e.text : "Traduit: " + e.text;
    return e;
}

void WriteDefine(long n, FILE* t, FILE* r)
{
    std::fputs("<?php\r\n// Language file generated for benchmarks\r\n", t);
    std::fputs("<?php\r\n// Traduction\r\n", r);
    for (long i = 0; i < n; ++i) {
        if (i % 50 == 0) {
            std::fprintf(t, "\r\n// Section %ld\r\n", i / 50);
            std::fprintf(r, "\r\n// Section %ld\r\n", i / 50);
        }
        const std::string text = Phrase(3 + int(rng() % 5));
        const bool isCase = i % 4 == 3;
        char key[32];
        std::snprintf(key, sizeof key, "_PHRASE%ld", i);
        if (isCase)
            std::fprintf(t, "    case \"%s\": $tmp = \"%s\"; break;\r\n", key, text.c_str());
        else
            std::fprintf(t, "define(\"%s\",\"%s\");\r\n", key, text.c_str());
        const Entry e = NextEntry(text);
        if (e.missing)
            continue;
        if (isCase)
            std::fprintf(r, "    case \"%s\": $tmp = \"%s\"; break;\r\n", key,
                         e.translated.c_str());
        else
            std::fprintf(r, "define(\"%s\",\"%s\");\r\n", key, e.translated.c_str());
    }
    std::fputs("?>\r\n", t);
    std::fputs("?>\r\n", r);
}

// A single-quoted text as these shapes write it: now and then with an escaped apostrophe, as in
// "Can\'t", which real files of this kind hold often.
std::string QuotedText(long i)
{
    std::string s = Phrase(3 + int(rng() % 5));
    if (i % 13 == 6)
        s += " can\\'t";
    return s;
}

void WriteLang(long n, FILE* t, FILE* r)
{
    static const char head[] = "<?php\n"
                               "/**\n"
                               " * %s\n"
                               " */\n"
                               "\n"
                               "$lang = array();\n";
    std::fprintf(t, head, "Language file generated for benchmarks");
    std::fprintf(r, head, "Traduction");
    for (long i = 0; i < n; ++i) {
        if (i % 50 == 0) {
            std::fprintf(t, "\n// Section %ld\n", i / 50);
            std::fprintf(r, "\n// Section %ld\n", i / 50);
        }
        if (i % 50 == 25) { // a blank line inside a section
            std::fputs("\n", t);
            std::fputs("\n", r);
        }
        const Entry e = NextEntry(QuotedText(i));
        char lhs[64];
        if (i % 40 == 17)
            std::snprintf(lhs, sizeof lhs, "$lang['js']['PHRASE_KEY_%ld']", i);
        else
            std::snprintf(lhs, sizeof lhs, "$lang['PHRASE_KEY_%ld']", i);
        std::fprintf(t, "%s = '%s';\n", lhs, e.text.c_str());
        if (!e.missing)
            std::fprintf(r, "%s = '%s';\n", lhs, e.translated.c_str());
    }
}

void WriteReturn(long n, FILE* t, FILE* r)
{
    static const char head[] = "<?php\n"
                               "// %s\n"
                               "\n"
                               "return [\n";
    std::fprintf(t, head, "Language file generated for benchmarks");
    std::fprintf(r, head, "Traduction");
    // Sections of 50 phrases: one in three stands at the top, one in three in a group and one
    // in three in a group inside a group.
    const char* indent = "    ";
    int depth = 0;
    auto both = [&](const char* text) {
        std::fputs(text, t);
        std::fputs(text, r);
    };
    auto close = [&] {
        for (; depth > 0; --depth)
            both(depth == 2 ? "        ],\n" : "    ],\n");
    };
    for (long i = 0; i < n; ++i) {
        if (i % 50 == 0) {
            close();
            const long section = i / 50;
            char line[96];
            std::snprintf(line, sizeof line, "\n    // Section %ld\n", section);
            both(line);
            if (section % 3 >= 1) {
                std::snprintf(line, sizeof line, "    'group_%ld' => [\n", section);
                both(line);
                depth = 1;
            }
            if (section % 3 == 2) {
                both("        'inner' => [\n");
                depth = 2;
            }
            indent = depth == 0 ? "    " : depth == 1 ? "        " : "            ";
        }
        const Entry e = NextEntry(QuotedText(i));
        std::fprintf(t, "%s'phrase_key_%ld' => '%s',\n", indent, i, e.text.c_str());
        if (!e.missing)
            std::fprintf(r, "%s'phrase_key_%ld' => '%s',\n", indent, i, e.translated.c_str());
    }
    close();
    both("];\n");
}

} // namespace

int main(int argc, char** argv)
{
    const char* shape = "define";
    if (argc == 6 && std::strcmp(argv[1], "--shape") == 0) {
        shape = argv[2];
        argv += 2;
        argc -= 2;
    }
    const bool known = std::strcmp(shape, "define") == 0 || std::strcmp(shape, "lang") == 0 ||
                       std::strcmp(shape, "return") == 0;
    if (argc != 4 || !known) {
        std::fprintf(stderr, "usage: gen_langfile [--shape define|lang|return] N TEMPLATE "
                             "TRANSLATION\n");
        return 2;
    }
    const long n = std::atol(argv[1]);
    FILE* t = std::fopen(argv[2], "wb");
    FILE* r = std::fopen(argv[3], "wb");
    if (!t || !r) {
        std::perror("gen_langfile");
        return 1;
    }
    if (std::strcmp(shape, "lang") == 0)
        WriteLang(n, t, r);
    else if (std::strcmp(shape, "return") == 0)
        WriteReturn(n, t, r);
    else
        WriteDefine(n, t, r);
    const bool failed = std::ferror(t) || std::ferror(r);
    if (std::fclose(t) != 0 || std::fclose(r) != 0 || failed) {
        std::perror("gen_langfile");
        return 1;
    }
    return 0;
}
