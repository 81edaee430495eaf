// Times the find command's scan and the jumps over a generated document:
//   bench_search TEMPLATE TRANSLATION
#include "phrasedocument.h"
#include "phrasesearch.h"
#include "textcodec.h"

#include <QElapsedTimer>
#include <cstdio>

namespace {

template <class F> double BestOf3(F&& f)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_search TEMPLATE TRANSLATION\n");
        return 2;
    }
    PhraseDocument doc;
    doc.LoadTemplate(QString::fromLocal8Bit(argv[1]));
    doc.LoadTranslation(QString::fromLocal8Bit(argv[2]));
    const TextCodec codec("windows-1252");
    const TextCodec utf8("UTF-8");

    struct Case
    {
        const char* label;
        SearchRequest request;
        const TextCodec* codec;
    };
    const Case cases[] = {
        {"plain search, nothing found", {"NOWHERE", true, true, true, false}, &codec},
        {"mask *WORD*, nothing found", {"*NOWHERE*", true, true, true, false}, &codec},
        {"case-insensitive, nothing found", {"nowhere", true, true, false, false}, &codec},
        {"case-insensitive UTF-8, nothing", {"nowhere", true, true, false, false}, &utf8},
        {"case-insensitive mask, nothing", {"*nowhere*", true, true, false, false}, &codec},
    };
    for (const Case& c : cases) {
        const double s = BestOf3([&] {
            if (FindPhrase(doc, 0, c.request, *c.codec))
                std::abort();
        });
        std::printf("%-34s %6.3f s\n", c.label, s);
    }
    // A thousand Ctrl+M presses, each from the phrase found last.
    const double jumps = BestOf3([&] {
        int at = -1;
        for (int i = 0; i < 1000; ++i)
            if (auto next = FindNextState(doc, at, TranslationState::tsMissing))
                at = *next;
    });
    std::printf("%-34s %6.3f s\n", "1,000 jumps to the next missing", jumps);
    return 0;
}
