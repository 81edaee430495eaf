#pragma once
// Writes a translation file from a PhraseStore. Every byte that is not a translated value comes
// from the file it stood in, line ends included:
// - Template and Lines: the template's bytes, each phrase's value replaced by its translation
//   (a classic define or case line, in Template, rewritten in its fixed spelling, what follows
//   the statement on its line kept); the translation's own header comments instead of the
//   template's; the obsolete phrases after the last phrase of their kind; then the template's
//   bytes after a NUL or __halt_compiler(); as they are.
// - Translation: the translation file's bytes, only values that changed replaced, and a phrase
//   it lacks inserted after its neighbour from the template.
#include "phrasestore.h"

#include <QByteArrayView>
#include <functional>

void WriteTranslationFile(const PhraseStore& store, SaveLayout layout,
                          const std::function<void(QByteArrayView)>& sink);
