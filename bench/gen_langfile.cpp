// Writes a template and a translation of N phrases for timing runs:
// mixed define and case lines with comments; about 20 % of the phrases are missing from the
// translation, 20 % are left untranslated and the rest are translated.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: gen_langfile N TEMPLATE TRANSLATION\n");
        return 2;
    }
    const long n = std::atol(argv[1]);
    FILE* t = std::fopen(argv[2], "wb");
    FILE* r = std::fopen(argv[3], "wb");
    if (!t || !r) {
        std::perror("gen_langfile");
        return 1;
    }
    std::mt19937 rng(20261210);
    static const char* words[] = {"account",  "message", "welcome", "forum",   "reply",    "topic",
                                  "password", "user",    "search",  "submit",  "preview",  "delete",
                                  "edit",     "profile", "member",  "private", "download", "news"};
    auto phrase = [&](int count) {
        std::string s;
        for (int i = 0; i < count; ++i) {
            if (i)
                s += ' ';
            s += words[rng() % (sizeof words / sizeof *words)];
        }
        s[0] = char(std::toupper(s[0]));
        return s;
    };
    std::fputs("<?php\r\n// Language file generated for benchmarks\r\n", t);
    std::fputs("<?php\r\n// Traduction\r\n", r);
    for (long i = 0; i < n; ++i) {
        if (i % 50 == 0) {
            std::fprintf(t, "\r\n// Section %ld\r\n", i / 50);
            std::fprintf(r, "\r\n// Section %ld\r\n", i / 50);
        }
        const std::string text = phrase(3 + int(rng() % 5));
        const bool isCase = i % 4 == 3;
        char key[32];
        std::snprintf(key, sizeof key, "_PHRASE%ld", i);
        if (isCase)
            std::fprintf(t, "    case \"%s\": $tmp = \"%s\"; break;\r\n", key, text.c_str());
        else
            std::fprintf(t, "define(\"%s\",\"%s\");\r\n", key, text.c_str());
        const unsigned pick = rng() % 10;
        if (pick < 2)
            continue; // missing from the translation
        const std::string out = pick < 4 ? text : "Traduit: " + text;
        if (isCase)
            std::fprintf(r, "    case \"%s\": $tmp = \"%s\"; break;\r\n", key, out.c_str());
        else
            std::fprintf(r, "define(\"%s\",\"%s\");\r\n", key, out.c_str());
    }
    std::fputs("?>\r\n", t);
    std::fputs("?>\r\n", r);
    std::fclose(t);
    std::fclose(r);
    return 0;
}
