#pragma once
// Every text that the program formats or shows, kept apart from the code that uses it.
// The numbers are the resource identifiers the program's earlier builds used for them.

namespace strings {

inline constexpr char LineHeader[] = "Line #";                                     // 65312
inline constexpr char OriginalHeader[] = "Original";                               // 65313
inline constexpr char TranslatedHeader[] = "Translated";                           // 65314
inline constexpr char TextNotFound[] = "Text not found";                           // 65320
inline constexpr char InvalidMask[] = "'%1' is an invalid mask at (%2)";           // 65342
inline constexpr char ConfirmSave[] = "Current translation not saved. Save this?"; // 65343

inline constexpr char Statistics[] = "Phrases: %1, Untranslated: %2, Missing: %3";

// Output line shapes of the writer; the first %s takes the key, the second the translation.
inline constexpr char CaseLine[] = "    case %s: $tmp = %s; break;";
inline constexpr char DefineLine[] = "define(%s,%s);";
inline constexpr char BracketLine[] = "[[%s]] = [[%s]]";
inline constexpr char CaseStrToLowerLine[] = "case strtolower(%s): $tmp = %s; break;";

inline constexpr char CannotOpenFile[] = "Cannot open file %1";
inline constexpr char CannotCreateFile[] = "Cannot create file %1";
inline constexpr char StreamWriteError[] = "Stream write error";
inline constexpr char ListIndexOutOfBounds[] = "List index out of bounds (%1)";
inline constexpr char OutOfMemory[] = "Not enough memory to finish the command";

// Why a file cannot be opened or created, after "Cannot open file %1" or "Cannot create file %1".
inline constexpr char WithReason[] = "%1: %2";
inline constexpr char IsFolder[] = "it is a folder";
inline constexpr char IsFifo[] = "it is a named pipe (FIFO), not a file";
inline constexpr char IsSocket[] = "it is a socket, not a file";
inline constexpr char IsDevice[] = "it is a device, not a file";
inline constexpr char FileTooLarge[] = "it is larger than %1, far more than any language file";
inline constexpr char WideEncoding[] =
    "it is encoded in %1; save it as UTF-8 or in an 8-bit code page, then open it again";
inline constexpr char NameNotRepresentable[] =
    "its name holds bytes that are not valid in the system's encoding; rename the file";

// What a failed write left, after "Stream write error".
inline constexpr char FileKept[] = "%1 is as it was before the save (%2)";
inline constexpr char FileNotMade[] = "%1 was not written (%2)";

// Saving in place, when replacing the file would change its owner, group or links.
inline constexpr char NoSafetyCopy[] =
    "Cannot save %1 in place: no safety copy of it could be made in %2 (%3)";
inline constexpr char SafetyCopyKept[] =
    "%1 could not be put back as it was; its previous contents are kept in %2";

inline constexpr char RegistryGetFailed[] = "Failed to get data for '%1'";
inline constexpr char RegistrySetFailed[] = "Failed to set data for '%1'";
inline constexpr char RegistryInvalidType[] = "Invalid data type for '%1'";

// Questions before a save would lose what is on disk, and notices of what changed there.
inline constexpr char OverwriteTemplate[] =
    "%1 is the template that is open. Overwrite the template with the translation?";
inline constexpr char NulCutNotice[] =
    "%1 has a NUL byte on line %2. The %3 bytes from there to its end are not read, and saving "
    "over this file would drop them.";
inline constexpr char NulCutSave[] =
    "%1 has a NUL byte on line %2, and the %3 bytes from there to its end were not read. Saving "
    "over the file drops them. Save anyway?";
inline constexpr char OverwriteUnread[] =
    "%1 exists, but its contents were not read into this window (it could not be opened, or it "
    "was never opened here). Saving replaces everything in it with the translation shown. "
    "Replace %1?";
inline constexpr char OverwriteReadOnly[] =
    "%1 is read-only: its owner protected it against changes. Replace it all the same?";
inline constexpr char TemplateNulNotice[] =
    "%1 has a NUL byte on line %2. The %3 bytes from there to its end are not read as phrases; "
    "saving copies them unchanged after the last line.";
inline constexpr char TemplateHaltNotice[] =
    "%1 ends its PHP code with __halt_compiler() on line %2. The %3 bytes after it are data, not "
    "phrases; saving copies them unchanged.";
inline constexpr char SafetyCopyOffer[] =
    "A save of %1 that began %2 was cut short (the program was ended while writing it), so the "
    "file may be incomplete. Its contents from before that save are kept in %3. Put them back "
    "into %1?";
inline constexpr char ChangedOnDisk[] =
    "%1 was changed by another program since it was opened. Overwrite it?";
inline constexpr char DeletedOnDisk[] =
    "%1 was deleted or moved by another program since it was opened. Save it again?";
inline constexpr char ChangedNotice[] =
    "%1 was changed by another program. Reload (F5) reads it again.";
inline constexpr char DeletedNotice[] = "%1 was deleted or moved by another program.";
inline constexpr char ReloadDiscards[] =
    "Reloading reads the files again and drops the changes that are not saved. Reload anyway?";

inline constexpr char NotEditable[] =
    "This value is not one text on one line (an expression, a constant, or a text over several "
    "lines), so it is kept as the template has it";

// File > Recent files: an entry's caption and tool tip lines (UTF-8: the arrow).
inline constexpr char RecentEntry[] = "%1 %2";       // its number, then its files
inline constexpr char RecentPair[] = "%1 \u2192 %2"; // template, translation
inline constexpr char RecentTemplateOnly[] = "%1 (no translation yet)";
inline constexpr char RecentInFolder[] = "%1  [%2]"; // a caption shared with another, its folder
inline constexpr char RecentTemplate[] = "Template: %1";
inline constexpr char RecentTranslation[] = "Translation: %1";
inline constexpr char RecentMissing[] = "%1 (no longer exists)";
inline constexpr char RecentEmpty[] = "(empty)";

inline constexpr char ApplicationTitle[] = "Vorlane translation assistant";
inline constexpr char MainCaption[] = "Vorlane translator";

// Saving: a file another process of the program is saving, reasons a file cannot be made
// (after "Cannot create file %1"), the cache folder missing for a safety copy (in NoSafetyCopy),
// and a file whose save was cut short, with where its previous contents are kept.
inline constexpr char SavedByAnother[] =
    "Cannot save %1: it is being saved by another program; try again when that save is done";
inline constexpr char SymlinkLoop[] = "it is a loop of symbolic links";
inline constexpr char MarkedImmutable[] =
    "it is marked immutable, so no one may change it (chattr -i lifts that)";
inline constexpr char MarkedAppendOnly[] =
    "it is marked append-only, so it may not be rewritten (chattr -a lifts that)";
inline constexpr char CacheFolder[] = "the cache folder";
inline constexpr char NoHomeFolder[] = "neither XDG_CACHE_HOME nor HOME names a folder";
inline constexpr char InterruptedSave[] =
    "%1 may be incomplete because a save of it was interrupted; its previous contents are kept "
    "in %2";
inline constexpr char CliWarning[] = "quillmar-cli: warning: %1";

// Editing a translation: a pasted text of several lines goes in as the one line a translation is.
inline constexpr char LinesJoined[] =
    "The pasted lines were joined with blanks: a translation is one line of the file";

} // namespace strings
