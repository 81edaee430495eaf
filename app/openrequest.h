#pragma once
// Files named to the program outside its choosers: on the command line and by a drop.
#include "recentfilelist.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace OpenRequest {

/// The name as the system spells it, made absolute against the current folder, so the recent
/// list and a later save name the same file wherever the program is started next.
FilePath AbsoluteFilePath(const QByteArray& native);

/// The bytes of the positional arguments as they were given: the parser's text cannot spell a
/// name that is not valid in the system's encoding. Each is matched, in order, with the first
/// later argument that decodes to it; one without a match is encoded from its text.
QList<QByteArray> NativeArguments(const QStringList& positional, int argc, const char* const* argv);

/// Whether a file's name marks it as the template: it holds "template" or "english", or "-en"
/// not followed by a letter (lang-en.php), in any case.
bool NamedLikeTemplate(const FilePath& path);

/// The files a drop opens: one file as a template alone, two as template and translation.
/// Of two, the one named like a template is the template when the other is not; otherwise the
/// drop's order decides (the first is the template). Nothing for a drop of no files, of more
/// than two, of a folder, or of anything that is not a local file.
std::optional<FilePair> DroppedFiles(const QList<QUrl>& urls);

} // namespace OpenRequest
