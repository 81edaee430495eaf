#include "saveleftovers.h"
#include "errors.h"
#include "stringtable.h"

#include <QFile>
#include <algorithm>

#if defined(Q_OS_UNIX)
#include "savefiles.h"
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using savefiles::Descriptor;

// An unlocked temporary younger than this may be one a save has just made and not yet locked.
constexpr qint64 StaleAfterNs = qint64(3) * 1000000000;

// A record holds one file name; anything much longer is not one of ours.
constexpr qint64 MaxRecordBytes = 64 * 1024;

qint64 Nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The names in a folder, read before any is removed.
QList<QByteArray> Names(DIR* dir)
{
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir))
        names << QByteArray(entry->d_name);
    return names;
}

class Folder
{
public:
    explicit Folder(const QByteArray& name) : m_dir(::opendir(name.constData())) {}
    ~Folder()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    bool IsOpen() const { return m_dir != nullptr; }
    int Fd() const { return ::dirfd(m_dir); }
    QList<QByteArray> Entries() const { return Names(m_dir); }

private:
    DIR* m_dir;
};

// Opens an entry of a folder to look at it: never through a link, never waiting on a FIFO.
// Invalid unless it is a regular file of the effective user; st is what it is.
Descriptor OpenOwnFile(int folder, const QByteArray& name, struct stat& st)
{
    Descriptor fd(::openat(folder, name.constData(),
                           O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
        return Descriptor();
    return fd;
}

// The name still stands for the file that was opened: a save that ended meanwhile renamed or
// removed it.
bool StillNamed(int folder, const QByteArray& name, const struct stat& opened)
{
    struct stat now;
    return ::fstatat(folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           savefiles::SameInode(now, opened);
}

// Reads a file to its end, at most limit bytes; false when it cannot, or holds more.
bool ReadWhole(int fd, QByteArray& bytes, qint64 limit)
{
    bytes.clear();
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        bytes.reserve(qsizetype(std::min<qint64>(st.st_size, limit)) + 1);
    QByteArray buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer.constData(), n);
        if (bytes.size() > limit)
            return false;
    }
}

// Reads count bytes at offset, fewer only at the end of the file; -1 on an error.
qint64 ReadAt(int fd, char* data, qint64 count, qint64 offset)
{
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, data + got, size_t(count - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// Whether the file named target holds exactly the bytes of copy; targetSize is its size, -1
// when it is gone.
bool SameBytes(int copy, qint64 copySize, const QByteArray& target, qint64& targetSize)
{
    struct stat st;
    if (::stat(target.constData(), &st) != 0) {
        targetSize = -1;
        return false;
    }
    targetSize = st.st_size;
    if (!S_ISREG(st.st_mode) || st.st_size != copySize)
        return false;
    const Descriptor fd(::open(target.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat opened;
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return false;
    constexpr qint64 Piece = 1 << 20;
    QByteArray a(Piece, '\0');
    QByteArray b(Piece, '\0');
    for (qint64 offset = 0;; offset += Piece) {
        const qint64 n = ReadAt(copy, a.data(), Piece, offset);
        const qint64 m = ReadAt(fd.get(), b.data(), Piece, offset);
        if (n < 0 || n != m || std::memcmp(a.constData(), b.constData(), size_t(n)) != 0)
            return false;
        if (n < Piece)
            return true;
    }
}

// A safety copy opened and locked, so that no other run of the program acts on it meanwhile.
struct HeldCopy
{
    Descriptor fd;
    struct stat st;
};

HeldCopy HoldCopy(const OrphanedSafetyCopy& orphan)
{
    HeldCopy held;
    held.fd = Descriptor(::open(orphan.copy.Native().constData(),
                                O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (held.fd.get() < 0) {
        const int e = errno;
        if (e == ENOENT)
            throw EFOpenError(orphan.copy.Display());
        throw EFOpenError(orphan.copy.Display(), qt_error_string(e));
    }
    if (::fstat(held.fd.get(), &held.st) != 0 || !S_ISREG(held.st.st_mode))
        throw EFOpenError(orphan.copy.Display());
    if (!savefiles::TryLock(held.fd.get()))
        throw Exception(QString::fromLatin1(strings::SavedByAnother).arg(orphan.target.Display()));
    return held;
}

// The copy goes first, then its record: a record left alone names a copy that is gone, and
// the next look through the folder removes it.
void RemoveCopy(const HeldCopy& held, const OrphanedSafetyCopy& orphan)
{
    const QByteArray& copy = orphan.copy.Native();
    if (StillNamed(AT_FDCWD, copy, held.st))
        ::unlink(copy.constData());
    ::unlink((copy + savefiles::RecordSuffix).constData());
}

} // namespace

int RemoveStaleTemporaries(const FilePath& file)
{
    if (file.IsEmpty())
        return 0;
    const QByteArray target = savefiles::ResolveLinks(file.Native());
    const QByteArray folderName = savefiles::FolderOf(target);
    const QByteArray prefix = savefiles::TemporaryPrefix(savefiles::BaseOf(target));
    const Folder folder(folderName.isEmpty() ? QByteArray(".") : folderName);
    if (!folder.IsOpen())
        return 0;
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    int removed = 0;
    for (const QByteArray& name : folder.Entries()) {
        if (!savefiles::IsNameFrom(name, prefix))
            continue;
        struct stat st;
        const Descriptor fd = OpenOwnFile(folder.Fd(), name, st);
        if (fd.get() < 0)
            continue;
        const qint64 touched = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
        if (Nanoseconds(now) - touched < StaleAfterNs)
            continue;
        // Unlocked, no save is writing it; still under its name, no save has renamed it.
        if (!savefiles::TryLock(fd.get()) || !StillNamed(folder.Fd(), name, st))
            continue;
        if (::unlinkat(folder.Fd(), name.constData(), 0) == 0)
            ++removed;
    }
    return removed;
}

std::vector<OrphanedSafetyCopy> FindOrphanedSafetyCopies()
{
    std::vector<OrphanedSafetyCopy> found;
    const QString folderText = SafetyCopyFolder();
    if (folderText.isEmpty())
        return found;
    const QByteArray folderName = QFile::encodeName(folderText);
    const Folder folder(folderName);
    if (!folder.IsOpen())
        return found;
    for (const QByteArray& recordName : folder.Entries()) {
        if (!recordName.endsWith(savefiles::RecordSuffix))
            continue;
        const QByteArray copyName = recordName.chopped(savefiles::RecordSuffixLength);
        if (!savefiles::IsSafetyCopyName(copyName))
            continue;
        struct stat recordSt;
        const Descriptor record = OpenOwnFile(folder.Fd(), recordName, recordSt);
        if (record.get() < 0)
            continue;
        Descriptor copy(::openat(folder.Fd(), copyName.constData(),
                                 O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        if (copy.get() < 0) {
            // The save that made it ended and removed its copy, and stopped before the record.
            if (errno == ENOENT && StillNamed(folder.Fd(), recordName, recordSt))
                ::unlinkat(folder.Fd(), recordName.constData(), 0);
            continue;
        }
        struct stat copySt;
        if (::fstat(copy.get(), &copySt) != 0 || !S_ISREG(copySt.st_mode) ||
            copySt.st_uid != ::geteuid())
            continue;
        // Locked, its save is still running; renamed or removed, its save has just ended.
        if (!savefiles::TryLock(copy.get()) || !StillNamed(folder.Fd(), copyName, copySt))
            continue;
        QByteArray target;
        if (!ReadWhole(record.get(), target, MaxRecordBytes) || !target.startsWith('/') ||
            target.contains('\0'))
            continue;
        OrphanedSafetyCopy orphan;
        if (SameBytes(copy.get(), copySt.st_size, target, orphan.targetSize)) {
            // Cut short before the file was touched: nothing to tell.
            ::unlinkat(folder.Fd(), copyName.constData(), 0);
            ::unlinkat(folder.Fd(), recordName.constData(), 0);
            continue;
        }
        orphan.copy = FilePath::FromNative(folderName + '/' + copyName);
        orphan.target = FilePath::FromNative(target);
        orphan.copySize = copySt.st_size;
        orphan.madeAt = QDateTime::fromMSecsSinceEpoch(Nanoseconds(copySt.st_mtim) / 1000000);
        found.push_back(std::move(orphan));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const OrphanedSafetyCopy& a, const OrphanedSafetyCopy& b) {
                         return a.madeAt < b.madeAt;
                     });
    return found;
}

void PutBackSafetyCopy(const OrphanedSafetyCopy& orphan)
{
    const HeldCopy held = HoldCopy(orphan);
    QByteArray bytes;
    if (!ReadWhole(held.fd.get(), bytes, MaxFileBytes))
        throw EFOpenError(orphan.copy.Display());
    WriteFileSafely(orphan.target, bytes);
    RemoveCopy(held, orphan);
}

void DiscardSafetyCopy(const OrphanedSafetyCopy& orphan)
{
    RemoveCopy(HoldCopy(orphan), orphan);
}

#else // not Q_OS_UNIX: saves there leave neither temporaries of their own nor safety copies

int RemoveStaleTemporaries(const FilePath&)
{
    return 0;
}

std::vector<OrphanedSafetyCopy> FindOrphanedSafetyCopies()
{
    return {};
}

void PutBackSafetyCopy(const OrphanedSafetyCopy& orphan)
{
    WriteFileSafely(orphan.target, ReadFileBytes(orphan.copy));
    QFile::remove(orphan.copy.Display());
}

void DiscardSafetyCopy(const OrphanedSafetyCopy& orphan)
{
    QFile::remove(orphan.copy.Display());
}

#endif
