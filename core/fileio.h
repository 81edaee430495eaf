#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <functional>

/// A file's name as the system spells it. On Linux a name is bytes that need not be valid UTF-8,
/// so the name is kept as those bytes; the text form serves messages and choosers only.
class FilePath
{
public:
    FilePath() = default;
    /// The name exactly as the system gave it (a command-line argument, a directory entry).
    static FilePath FromNative(QByteArray bytes);
    /// A name typed or chosen as text, in the system's file name encoding.
    static FilePath FromText(const QString& text);

    const QByteArray& Native() const { return m_native; }
    /// The name as text for messages; bytes the system encoding cannot decode show as U+FFFD.
    QString Display() const;
    bool IsEmpty() const { return m_native.isEmpty(); }
    friend bool operator==(const FilePath&, const FilePath&) = default;

private:
    QByteArray m_native;
};

/// What identifies one version of a file on disk: which file it is (device and inode, so a
/// replaced file differs from the one it replaced), its size and modification time, and the
/// time of its last change of any kind, which the system sets and no program can set back: a
/// file rewritten with its old size and modification time put back still differs there.
struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    /// The same file on disk, whatever its contents.
    bool SameFile(const FileStamp& other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of the file path names now (links followed); exists is false when there is none.
FileStamp StampOf(const FilePath& path);

/// Whether path names a regular file its owner made read-only, or one this user may not write:
/// the shell's > refuses both, so a save over it asks first. Root may write such a file all the
/// same, so the mode bits tell too.
bool ReadOnlyFile(const FilePath& path);

/// The largest file read: far beyond any language file, and a bound for endless sources.
inline constexpr qint64 MaxFileBytes = qint64(2) << 30;

struct ReadOptions
{
    /// Also read pipes and FIFOs to their end. The window refuses them, since opening a FIFO
    /// without a writer would wait forever; a command line reads them as input.
    bool allowStreams = false;
    qint64 maxBytes = MaxFileBytes;
};

/// Reads a whole file as bytes and, when stamp is given, the stamp of what was read. Throws
/// EFOpenError, saying why, for a file that cannot be opened or read, that is not a regular
/// file (unless options allow a pipe), or that is larger than options.maxBytes.
QByteArray ReadFileBytes(const FilePath& path, const ReadOptions& options = {},
                         FileStamp* stamp = nullptr);
QByteArray ReadFileBytes(const QString& path, const ReadOptions& options = {},
                         FileStamp* stamp = nullptr);

/// The name of a wide encoding the bytes are in ("UTF-16LE", "UTF-32BE", ...), judged by a
/// byte order mark or by NULs between letters, or nullptr. Such a file reads as no phrases.
const char* WideEncodingOf(QByteArrayView bytes);
/// Throws EFOpenError naming the encoding when the bytes read from path are in a wide one.
void RefuseWideEncoding(const FilePath& path, QByteArrayView bytes);

/// Hands the file's bytes to a sink piece by piece; the sink throws when a piece cannot be
/// written, which ends the writing.
using FileProducer = std::function<void(const std::function<void(QByteArrayView)>& sink)>;

/// Writes a file so that no byte of the previous one is lost: every write, the flush to disk
/// and the rename are checked. The new file replaces the old one atomically where that keeps
/// what the old one was (owner, group, mode bits, access control list, user attributes, hard
/// links); otherwise it is written in place, after a safety copy of the old contents in the
/// cache folder, which are put back when the write fails. A symbolic link is followed and stays
/// a link. The file is locked for the whole save: a save of it by another process of this
/// program waits for this one (see SetSaveLockWait). Temporaries that earlier saves of the file
/// left when they were killed are removed first (RemoveStaleTemporaries).
/// Throws EFCreateError (the file cannot be created, or is not a regular file), EWriteError
/// (a write failed; the previous file is as it was) or Exception (another save of the file
/// went on past the wait; no safety copy could be made); Modified-style state is the caller's.
/// Returns the stamp of the written file as it stands once the save is over.
FileStamp WriteFileSafely(const FilePath& path, const FileProducer& produce);
FileStamp WriteFileSafely(const FilePath& path, QByteArrayView bytes);

/// How long a save waits for another process's save of the same file to end before it gives
/// up: five seconds. Tests shorten it.
void SetSaveLockWait(std::chrono::milliseconds wait);

/// Readies the process for saving; call once at program start. A write past the file-size
/// limit (ulimit -f) then fails like a full disk, and the save puts the file back, instead of
/// the system ending the program half-way through the save.
void PrepareProcessForSaving();

/// The folder safety copies go to, in the user's cache folder ($XDG_CACHE_HOME, else
/// $HOME/.cache). Empty when neither names a folder by a full path: then files that must be
/// written in place are not saved.
QString SafetyCopyFolder();
