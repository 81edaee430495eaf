#include "fileio.h"
#include "errors.h"
#include "saveleftovers.h"
#include "stringtable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

#if defined(Q_OS_UNIX)
#include "savefiles.h"
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <linux/fs.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/xattr.h>
#endif
#else
#include <QFileInfo>
#include <QSaveFile>
#endif

FilePath FilePath::FromNative(QByteArray bytes)
{
    FilePath p;
    p.m_native = std::move(bytes);
    return p;
}

FilePath FilePath::FromText(const QString& text)
{
    return FromNative(QFile::encodeName(text));
}

QString FilePath::Display() const
{
    return QFile::decodeName(m_native);
}

QString SafetyCopyFolder()
{
#if defined(Q_OS_UNIX)
    // The cache folder as XDG names it, where a relative XDG_CACHE_HOME counts as none. Qt
    // takes "/" for a missing home and a relative name as it stands, which would put copies of
    // the user's files in a folder of the system's, or of wherever the program was started.
    const QByteArray xdg = qgetenv("XDG_CACHE_HOME");
    const QByteArray home = qgetenv("HOME");
    QString cache;
    if (xdg.startsWith('/'))
        cache = QFile::decodeName(xdg);
    else if (home.startsWith('/'))
        cache = QFile::decodeName(home) + QStringLiteral("/.cache");
    else
        return {};
    // The program's own part of it, as Qt names it after the organization and the application.
    const QString own = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString shared = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (own.startsWith(shared))
        cache += own.sliced(shared.size());
    return cache + QStringLiteral("/safety-copies");
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/safety-copies");
#endif
}

namespace {

std::atomic<qint64> g_saveLockWaitMs{5000};

} // namespace

void SetSaveLockWait(std::chrono::milliseconds wait)
{
    g_saveLockWaitMs = qint64(wait.count());
}

void PrepareProcessForSaving()
{
#if defined(Q_OS_UNIX)
    // Past the file-size limit the system sends SIGXFSZ, which ends the program between two
    // writes: a file written in place stays cut, a temporary stays beside it. Ignored, the
    // write fails with EFBIG instead, and the save undoes what it did.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

const char* WideEncodingOf(QByteArrayView b)
{
    const auto startsWith = [b](const char* mark, qsizetype n) {
        return b.size() >= n && std::memcmp(b.data(), mark, size_t(n)) == 0;
    };
    // Longer marks first: the UTF-32LE mark begins with the UTF-16LE one.
    if (startsWith("\xFF\xFE\0\0", 4))
        return "UTF-32LE";
    if (startsWith("\0\0\xFE\xFF", 4))
        return "UTF-32BE";
    if (startsWith("\xFF\xFE", 2))
        return "UTF-16LE";
    if (startsWith("\xFE\xFF", 2))
        return "UTF-16BE";
    // Without a mark: a language file is mostly ASCII, so in a wide encoding most characters
    // have NULs beside them, at fixed places. An 8-bit file has NULs only by accident.
    const qsizetype n = std::min<qsizetype>(b.size(), 4096) & ~qsizetype(3);
    if (n < 4)
        return nullptr;
    const auto* u = reinterpret_cast<const unsigned char*>(b.data());
    qsizetype le32 = 0, be32 = 0, le16 = 0, be16 = 0;
    for (qsizetype i = 0; i < n; i += 4) {
        le32 += u[i] && !u[i + 1] && !u[i + 2] && !u[i + 3];
        be32 += !u[i] && !u[i + 1] && !u[i + 2] && u[i + 3];
    }
    for (qsizetype i = 0; i < n; i += 2) {
        le16 += u[i] && !u[i + 1];
        be16 += !u[i] && u[i + 1];
    }
    if (le32 * 2 > n / 4)
        return "UTF-32LE";
    if (be32 * 2 > n / 4)
        return "UTF-32BE";
    if (le16 * 2 > n / 2)
        return "UTF-16LE";
    if (be16 * 2 > n / 2)
        return "UTF-16BE";
    return nullptr;
}

void RefuseWideEncoding(const FilePath& path, QByteArrayView bytes)
{
    if (const char* wide = WideEncodingOf(bytes))
        throw EFOpenError(path.Display(),
                          QString::fromLatin1(strings::WideEncoding).arg(QLatin1String(wide)));
}

QByteArray ReadFileBytes(const QString& path, const ReadOptions& options, FileStamp* stamp)
{
    return ReadFileBytes(FilePath::FromText(path), options, stamp);
}

FileStamp WriteFileSafely(const FilePath& path, QByteArrayView bytes)
{
    return WriteFileSafely(
        path, [bytes](const std::function<void(QByteArrayView)>& sink) { sink(bytes); });
}

namespace {

QString TooLargeReason(qint64 limit)
{
    return QString::fromLatin1(strings::FileTooLarge)
        .arg(QLocale::c().formattedDataSize(limit, 0, QLocale::DataSizeTraditionalFormat));
}

} // namespace

#if defined(Q_OS_UNIX)

QByteArray savefiles::ResolveLinks(QByteArray name)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat ls;
        if (::lstat(name.constData(), &ls) != 0 || !S_ISLNK(ls.st_mode))
            return name;
        QByteArray target(qsizetype(ls.st_size > 0 ? ls.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n <= 0)
            return name;
        target.truncate(n);
        if (!target.startsWith('/')) {
            const qsizetype slash = name.lastIndexOf('/');
            if (slash >= 0)
                target.prepend(name.first(slash + 1));
        }
        name = target;
    }
    return name; // a loop: what is found there is a link, and the save says so
}

namespace {

using savefiles::Descriptor;
using savefiles::ResolveLinks;

QString ErrnoText(int code)
{
    return qt_error_string(code);
}

FileStamp StampFrom(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

// Why a name that exists is not a file to read or replace.
QString KindReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return QString::fromLatin1(strings::IsFolder);
    if (S_ISFIFO(mode))
        return QString::fromLatin1(strings::IsFifo);
    if (S_ISSOCK(mode))
        return QString::fromLatin1(strings::IsSocket);
    // Links are followed to their end: one still found there points back along the chain.
    if (S_ISLNK(mode))
        return QString::fromLatin1(strings::SymlinkLoop);
    return QString::fromLatin1(strings::IsDevice);
}

// Why a file cannot be made or opened for writing, in the user's words where the system's are
// vague: "Operation not permitted" is what a file marked immutable gives.
QString CreateReason(int error, const QByteArray& target)
{
    if (error == ELOOP)
        return QString::fromLatin1(strings::SymlinkLoop);
#if defined(Q_OS_LINUX)
    if (error == EPERM) {
        const Descriptor fd(
            ::open(target.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        int flags = 0;
        if (fd.get() >= 0 && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0) {
            if (flags & FS_IMMUTABLE_FL)
                return QString::fromLatin1(strings::MarkedImmutable);
            if (flags & FS_APPEND_FL)
                return QString::fromLatin1(strings::MarkedAppendOnly);
        }
    }
#else
    Q_UNUSED(target);
#endif
    return ErrnoText(error);
}

// A file that cannot be made, or opened to be written. A missing folder needs no reason: the
// name shows it.
[[noreturn]] void CannotCreate(const QString& shown, int error, const QByteArray& target)
{
    if (error == ENOENT || error == 0)
        throw EFCreateError(shown);
    throw EFCreateError(shown, CreateReason(error, target));
}

void AskForLargePages(char* data, qint64 size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // A file of a hundred megabytes is read into fresh memory: in large pages the kernel fills
    // it with a few hundred faults instead of tens of thousands. Only a hint.
    constexpr quintptr Large = 2 << 20;
    const quintptr begin = (quintptr(data) + Large - 1) & ~(Large - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(Large - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

// Writes all of bytes at the descriptor's position; 0, or the errno of the failed write.
int WriteAll(int fd, QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        p += n;
        left -= n;
    }
    return 0;
}

// Reads from fd to its end, at most limit bytes; sizeHint is what fstat said (0 for a pipe).
// Returns false when the source holds more than limit bytes.
bool ReadAll(int fd, qint64 sizeHint, qint64 limit, QByteArray& data, int& error)
{
    error = 0;
    // One byte more than asked tells a file that has grown since fstat from one that has not.
    qint64 capacity =
        sizeHint > 0 ? std::min(sizeHint + 1, limit + 1) : std::min<qint64>(1 << 16, limit + 1);
    data.resize(capacity);
    if (sizeHint > 0)
        AskForLargePages(data.data(), capacity);
    qint64 got = 0;
    for (;;) {
        if (got == capacity) {
            if (capacity > limit) {
                data.clear();
                return false;
            }
            capacity = std::min(capacity * 2, limit + 1);
            data.resize(capacity);
        }
        const ssize_t n =
            ::read(fd, data.data() + got, size_t(std::min<qint64>(capacity - got, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return true;
        }
        if (n == 0)
            break;
        got += n;
    }
    data.resize(got);
    return true;
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A piece that could not be written ends the whole write; the errno says why.
struct PieceFailed
{
    int error;
};

void Produce(int fd, const FileProducer& produce)
{
    produce([fd](QByteArrayView piece) {
        if (const int e = WriteAll(fd, piece))
            throw PieceFailed{e};
    });
}

int SyncToDisk(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        // Devices and some file systems cannot sync; nothing was lost by that.
        return (errno == EINVAL || errno == EROFS) ? 0 : errno;
    }
    return 0;
}

// The folder's entry for a renamed file reaches the disk too; where a folder cannot be synced,
// the rename stands all the same.
void SyncFolder(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash > 0    ? file.first(slash)
                              : slash == 0 ? QByteArray("/")
                                           : QByteArray(".");
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A failed write, saying which file and why; the file itself is as it was, or was never made.
EWriteError WriteFailed(const QString& shown, bool existed, int error)
{
    return EWriteError(QString::fromLatin1(existed ? strings::FileKept : strings::FileNotMade)
                           .arg(shown, ErrnoText(error)));
}

Exception SavedByAnother(const QString& shown)
{
    return Exception(QString::fromLatin1(strings::SavedByAnother).arg(shown));
}

// Takes the lock every save of this program holds on the file it writes, waiting a while for
// another process's save of the same file to end. Throws when that save goes on past the wait.
// Where the file system keeps no locks, the save goes ahead without.
void LockForSaving(int fd, const QString& shown)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(g_saveLockWaitMs.load());
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return;
        if (Clock::now() >= deadline)
            throw SavedByAnother(shown);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Opens the file a save is about to replace or write over, to hold its lock. A file this user
// may neither read nor write cannot be opened, and is saved without the lock.
Descriptor OpenToLock(const QByteArray& target)
{
    for (const int mode : {O_RDONLY, O_WRONLY}) {
        Descriptor fd(::open(target.constData(), mode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.get() >= 0)
            return fd;
    }
    return Descriptor();
}

// The full name of a file, so that a record of it still names it from another folder.
QByteArray FullName(const QByteArray& file)
{
    if (file.startsWith('/'))
        return file;
    QByteArray folder(4096, '\0');
    while (::getcwd(folder.data(), size_t(folder.size())) == nullptr) {
        if (errno != ERANGE)
            return file;
        folder.resize(folder.size() * 2);
    }
    folder.truncate(qsizetype(std::strlen(folder.constData())));
    return folder + (folder.endsWith('/') ? "" : "/") + file;
}

// Makes a folder and those above it that are missing, for the user alone. Returns 0, or the
// errno of the first that could not be made, which says why (no right, a read-only disk, a
// file in the way).
int MakeFolders(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    for (qsizetype end = 1; end <= folder.size(); ++end) {
        if (end < folder.size() && folder[end] != '/')
            continue;
        if (::mkdir(folder.first(end).constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    if (::stat(folder.constData(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// Writes a small file whole and to disk; 0, or the errno of what failed.
int WriteSmallFile(const QByteArray& name, QByteArrayView bytes)
{
    Descriptor fd(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.get() < 0)
        return errno;
    int e = WriteAll(fd.get(), bytes);
    if (!e)
        e = SyncToDisk(fd.get());
    if (!e)
        e = fd.Close();
    return e;
}

// The old contents of a file written in place, kept in the safety-copy folder until the new
// contents are on disk, with a record beside the copy naming the file they belong to. The copy
// stays locked while the save runs: a later run of the program that finds it unlocked knows
// that the save was cut short, and can tell the user which file may be incomplete.
class SafetyCopy
{
public:
    // Throws before the file is touched when the copy cannot be made.
    SafetyCopy(const FilePath& shown, const QByteArray& target, QByteArrayView old)
    {
        const QString folder = SafetyCopyFolder();
        const auto refused = [&](const QString& where, const QString& why) {
            return Exception(
                QString::fromLatin1(strings::NoSafetyCopy).arg(shown.Display(), where, why));
        };
        if (folder.isEmpty())
            throw refused(QString::fromLatin1(strings::CacheFolder),
                          QString::fromLatin1(strings::NoHomeFolder));
        const QByteArray native = QFile::encodeName(folder);
        if (const int e = MakeFolders(native))
            throw refused(folder, ErrnoText(e));
        // The random letters keep copies apart that are made in the same second of files of
        // the same name in different folders.
        const QByteArray time =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")).toLatin1();
        QByteArray name = native + '/' +
                          savefiles::SafetyCopyPrefix(savefiles::BaseOf(target), time) +
                          QByteArray(savefiles::RandomLength, 'X');
        m_fd = Descriptor(::mkostemp(name.data(), O_CLOEXEC));
        if (m_fd.get() < 0)
            throw refused(folder, ErrnoText(errno));
        m_name = name;
        // A new file no one else has opened yet: the lock is taken at once. The record comes
        // after it, so a copy with a record is always one whose save held it.
        ::flock(m_fd.get(), LOCK_EX);
        int e = WriteSmallFile(RecordName(), FullName(target));
        if (!e)
            e = WriteAll(m_fd.get(), old);
        if (!e)
            e = SyncToDisk(m_fd.get());
        if (e) {
            Remove();
            throw refused(folder, ErrnoText(e));
        }
        SyncFolder(m_name);
    }
    SafetyCopy(const SafetyCopy&) = delete;
    SafetyCopy& operator=(const SafetyCopy&) = delete;

    const QByteArray& Name() const { return m_name; }

    // The file is whole: the copy goes, then its record; the lock last, so no one takes the
    // copy for one left behind meanwhile.
    void Remove()
    {
        ::unlink(m_name.constData());
        ::unlink(RecordName().constData());
        m_fd.Close();
    }

private:
    QByteArray RecordName() const { return m_name + savefiles::RecordSuffix; }

    QByteArray m_name;
    Descriptor m_fd;
};

// Puts the old contents back into a file written in place; true when they are whole again.
bool PutBack(int fd, QByteArrayView old)
{
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old) == 0 &&
           ::ftruncate(fd, off_t(old.size())) == 0 && SyncToDisk(fd) == 0;
}

// Writes over the file itself, which keeps its inode, owner, group, access list, attributes
// and links. The old contents are read first and kept in a safety copy, so a failed write can
// always be undone. The caller holds the file's lock.
FileStamp WriteInPlace(const FilePath& shown, const QByteArray& target, const FileProducer& produce)
{
    Descriptor fd(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        CannotCreate(shown.Display(), errno, target);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        CannotCreate(shown.Display(), errno, target);
    if (!S_ISREG(st.st_mode))
        throw EFCreateError(shown.Display(), KindReason(st.st_mode));
    QByteArray old;
    int readError = 0;
    if (!ReadAll(fd.get(), st.st_size, MaxFileBytes, old, readError))
        throw EFCreateError(shown.Display(), TooLargeReason(MaxFileBytes));
    if (readError)
        CannotCreate(shown.Display(), readError, target);
    SafetyCopy copy(shown, target, old);

    int error = 0;
    std::exception_ptr failure;
    try {
        if (::lseek(fd.get(), 0, SEEK_SET) != 0)
            throw PieceFailed{errno};
        Produce(fd.get(), produce);
        const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(fd.get(), end) != 0)
            throw PieceFailed{errno};
        if (const int e = SyncToDisk(fd.get()))
            throw PieceFailed{e};
    } catch (const PieceFailed& failed) {
        error = failed.error;
    } catch (...) {
        failure = std::current_exception(); // out of memory while producing, say
    }
    // A safety copy that must stay: the message says where it is, and its record tells the
    // next run of the program.
    const auto copyLeft = [&] {
        return EWriteError(QString::fromLatin1(strings::SafetyCopyKept)
                               .arg(shown.Display(), QFile::decodeName(copy.Name())));
    };
    if (error || failure) {
        // Whatever stopped the write, the old contents go back.
        if (!PutBack(fd.get(), old))
            throw copyLeft();
        copy.Remove();
        if (failure)
            std::rethrow_exception(failure);
        throw WriteFailed(shown.Display(), true, error);
    }
    // Writing as another user clears the set-id bits; the owner may set them again.
    struct stat after;
    if (::fstat(fd.get(), &after) == 0 && (after.st_mode & 07777) != (st.st_mode & 07777))
        ::fchmod(fd.get(), st.st_mode & 07777);
    if (::fstat(fd.get(), &after) != 0)
        after = st;
    if (fd.Close() != 0)
        throw copyLeft();
    copy.Remove();
    return StampFrom(after);
}

#if defined(Q_OS_LINUX)
// The names of the extended attributes of a file, NUL-separated; false when they cannot be read.
bool AttributeNames(const QByteArray& file, QByteArray& names)
{
    for (;;) {
        const ssize_t size = ::listxattr(file.constData(), nullptr, 0);
        if (size < 0) {
            names.clear();
            // A file system without attributes holds none to lose.
            return errno == ENOTSUP || errno == ENOSYS;
        }
        names.resize(size);
        const ssize_t got = size ? ::listxattr(file.constData(), names.data(), size_t(size)) : 0;
        if (got >= 0) {
            names.truncate(got);
            return true;
        }
        if (errno != ERANGE) // grown since it was measured: measured again
            return false;
    }
}

bool CopyAttribute(const QByteArray& from, const char* name, int to)
{
    QByteArray value;
    for (;;) {
        const ssize_t size = ::getxattr(from.constData(), name, nullptr, 0);
        if (size < 0)
            return false;
        value.resize(size);
        const ssize_t got =
            size ? ::getxattr(from.constData(), name, value.data(), size_t(size)) : 0;
        if (got >= 0) {
            value.truncate(got);
            break;
        }
        if (errno != ERANGE)
            return false;
    }
    return ::fsetxattr(to, name, value.constData(), size_t(value.size()), 0) == 0;
}
#endif

// Gives the new file what the mode bits do not hold: the old file's access control list and
// the user's extended attributes (user.*). Its own list goes too: a file made in a folder with
// a default list starts with that list, which the old file may not have had. False when any of
// it cannot be copied; then replacing the file would change who may use it.
bool CopyAccessControl(const QByteArray& from, int to)
{
#if defined(Q_OS_LINUX)
    if (acl_t acl = acl_get_file(from.constData(), ACL_TYPE_ACCESS)) {
        const int set = acl_set_fd(to, acl);
        acl_free(acl);
        if (set != 0)
            return false;
    } else if (errno != ENOTSUP && errno != ENOSYS) {
        return false;
    }
    QByteArray names;
    if (!AttributeNames(from, names))
        return false;
    for (qsizetype at = 0; at < names.size();) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        if (std::strncmp(name, "user.", 5) == 0 && !CopyAttribute(from, name, to))
            return false;
    }
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
    return true;
}

// Removes a temporary file unless it was renamed into place.
class TemporaryName
{
public:
    explicit TemporaryName(QByteArray name) : m_name(std::move(name)) {}
    ~TemporaryName()
    {
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    const QByteArray& Name() const { return m_name; }
    void Release() { m_name.clear(); }
    void Remove()
    {
        ::unlink(m_name.constData());
        m_name.clear();
    }

private:
    QByteArray m_name;
};

// Writes target, whose lock the caller holds (when it exists). st is what target is now.
FileStamp WriteLocked(const FilePath& path, const QByteArray& target, bool exists,
                      const struct stat& st, const FileProducer& produce)
{
    const QString shown = path.Display();
    // A replaced file would leave its other names on the old contents.
    if (exists && st.st_nlink > 1)
        return WriteInPlace(path, target, produce);

    QByteArray pattern = savefiles::FolderOf(target) +
                         savefiles::TemporaryPrefix(savefiles::BaseOf(target)) +
                         QByteArray(savefiles::RandomLength, 'X');
    const int tmp = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (tmp < 0) {
        const int e = errno;
        // A folder that allows no new file may still hold a file that may be written.
        if (exists && (e == EACCES || e == EPERM))
            return WriteInPlace(path, target, produce);
        CannotCreate(shown, e, target);
    }
    Descriptor fd(tmp);
    // Locked from its first moment to the rename, so that the clean-up a later save runs never
    // takes it for one a killed save left. A second descriptor holds the lock past the close
    // below; it is declared first so that the temporary is removed before it lets go.
    ::flock(tmp, LOCK_EX);
    const Descriptor held(::fcntl(tmp, F_DUPFD_CLOEXEC, 0));
    TemporaryName temporary(pattern);
    const auto inPlace = [&] {
        fd.Close();
        temporary.Remove();
        return WriteInPlace(path, target, produce);
    };

    // The new file takes the old one's owner, group and mode, set-id bits included; where that
    // is not allowed, replacing it would change what the file was, so it is written in place.
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    struct stat made;
    if (exists) {
        if (::fstat(fd.get(), &made) != 0)
            CannotCreate(shown, errno, target);
        if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
            ::fchown(fd.get(), st.st_uid, st.st_gid) != 0)
            return inPlace();
    }
    if (::fchmod(fd.get(), mode) != 0 || ::fstat(fd.get(), &made) != 0)
        CannotCreate(shown, errno, target);
    if (exists) {
        if (!CopyAccessControl(target, fd.get()))
            return inPlace();
        // An access list sets the group bits from its mask and may clear set-group-id; the
        // mode goes back over it, which leaves the list's mask as the old file had it.
        if (::fstat(fd.get(), &made) != 0)
            CannotCreate(shown, errno, target);
        if ((made.st_mode & 07777) != mode &&
            (::fchmod(fd.get(), mode) != 0 || ::fstat(fd.get(), &made) != 0))
            CannotCreate(shown, errno, target);
        if ((made.st_mode & 07777) != mode || made.st_uid != st.st_uid || made.st_gid != st.st_gid)
            return inPlace();
    }

    try {
        Produce(fd.get(), produce);
    } catch (const PieceFailed& failed) {
        throw WriteFailed(shown, exists, failed.error);
    }
    int e = SyncToDisk(fd.get());
    if (!e && ::fstat(fd.get(), &made) != 0)
        e = errno;
    if (!e)
        e = fd.Close();
    if (e)
        throw WriteFailed(shown, exists, e);
    if (::rename(temporary.Name().constData(), target.constData()) != 0) {
        // A sticky folder lets only the owner replace a file; its writer may still write it.
        const int renameError = errno;
        if (exists && (renameError == EACCES || renameError == EPERM)) {
            temporary.Remove();
            return WriteInPlace(path, target, produce);
        }
        CannotCreate(shown, renameError, target);
    }
    temporary.Release();
    SyncFolder(target);
    // The rename sets the file's change time: the stamp is of the file where it stands now,
    // or the document would take its own save for another program's change.
    struct stat placed;
    if (::stat(target.constData(), &placed) == 0 && savefiles::SameInode(placed, made))
        return StampFrom(placed);
    return StampFrom(made);
}

} // namespace

bool ReadOnlyFile(const FilePath& path)
{
    struct stat st;
    if (path.IsEmpty() || ::stat(path.Native().constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return !(st.st_mode & S_IWUSR) ||
           ::faccessat(AT_FDCWD, path.Native().constData(), W_OK, AT_EACCESS) != 0;
}

FileStamp StampOf(const FilePath& path)
{
    struct stat st;
    if (path.IsEmpty() || ::stat(path.Native().constData(), &st) != 0)
        return {};
    return StampFrom(st);
}

QByteArray ReadFileBytes(const FilePath& path, const ReadOptions& options, FileStamp* stamp)
{
    const QString shown = path.Display();
    if (path.IsEmpty())
        throw EFOpenError(shown);
    // Non-blocking, so that a FIFO without a writer opens at once and is refused below instead
    // of holding the program until someone writes to it.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (options.allowStreams ? 0 : O_NONBLOCK);
    Descriptor fd(::open(path.Native().constData(), flags));
    struct stat st;
    if (fd.get() < 0) {
        if (errno == ELOOP)
            throw EFOpenError(shown, QString::fromLatin1(strings::SymlinkLoop));
        // A socket cannot be opened at all: say what it is, as for the kinds refused below.
        if (::stat(path.Native().constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
            !(S_ISFIFO(st.st_mode) && options.allowStreams))
            throw EFOpenError(shown, KindReason(st.st_mode));
        throw EFOpenError(shown);
    }
    if (::fstat(fd.get(), &st) != 0)
        throw EFOpenError(shown);
    const bool stream = S_ISFIFO(st.st_mode) && options.allowStreams;
    if (!S_ISREG(st.st_mode) && !stream)
        throw EFOpenError(shown, KindReason(st.st_mode));
    if (st.st_size > options.maxBytes)
        throw EFOpenError(shown, TooLargeReason(options.maxBytes));
    if (stamp)
        *stamp = StampFrom(st);
    QByteArray data;
    int error = 0;
    if (!ReadAll(fd.get(), S_ISREG(st.st_mode) ? st.st_size : 0, options.maxBytes, data, error))
        throw EFOpenError(shown, TooLargeReason(options.maxBytes));
    if (error)
        throw EFOpenError(shown);
    return data;
}

FileStamp WriteFileSafely(const FilePath& path, const FileProducer& produce)
{
    const QString shown = path.Display();
    if (path.IsEmpty())
        throw EFCreateError(shown);
    // What earlier saves of this file left when they were killed goes before a new temporary
    // joins it.
    RemoveStaleTemporaries(path);
    for (int attempt = 0;; ++attempt) {
        const QByteArray target = ResolveLinks(path.Native());
        struct stat st;
        const bool exists = ::lstat(target.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            CannotCreate(shown, errno, target);
        if (exists && !S_ISREG(st.st_mode))
            throw EFCreateError(shown, KindReason(st.st_mode));
        // Held to the end of the save, before the old contents are read: two saves of one file
        // never write it at the same time.
        Descriptor lock;
        if (exists) {
            lock = OpenToLock(target);
            if (lock.get() >= 0) {
                LockForSaving(lock.get(), shown);
                // While this save waited, the other may have replaced the file with a new one,
                // whose lock is the one to take.
                struct stat locked;
                if (::fstat(lock.get(), &locked) != 0 || ::lstat(target.constData(), &st) != 0 ||
                    !savefiles::SameInode(locked, st)) {
                    if (attempt < 10)
                        continue;
                    throw SavedByAnother(shown);
                }
            }
        }
        return WriteLocked(path, target, exists, st, produce);
    }
}

#else // not Q_OS_UNIX: Qt's own files, every step checked

bool ReadOnlyFile(const FilePath& path)
{
    const QFileInfo info(path.Display());
    return info.isFile() && !info.isWritable();
}

FileStamp StampOf(const FilePath& path)
{
    const QFileInfo info(path.Display());
    if (!info.exists())
        return {};
    FileStamp s;
    s.exists = true;
    s.size = info.size();
    s.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return s;
}

QByteArray ReadFileBytes(const FilePath& path, const ReadOptions& options, FileStamp* stamp)
{
    const QString shown = path.Display();
    const QFileInfo info(shown);
    if (info.isDir())
        throw EFOpenError(shown, QString::fromLatin1(strings::IsFolder));
    if (info.size() > options.maxBytes)
        throw EFOpenError(shown, TooLargeReason(options.maxBytes));
    QFile file(shown);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(shown, file.errorString());
    if (stamp)
        *stamp = StampOf(path);
    QByteArray data = file.read(options.maxBytes + 1);
    if (data.size() > options.maxBytes)
        throw EFOpenError(shown, TooLargeReason(options.maxBytes));
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(shown, file.errorString());
    return data;
}

FileStamp WriteFileSafely(const FilePath& path, const FileProducer& produce)
{
    const QString shown = path.Display();
    if (QFileInfo(shown).isDir())
        throw EFCreateError(shown, QString::fromLatin1(strings::IsFolder));
    QSaveFile file(shown);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(shown, file.errorString());
    bool ok = true;
    produce([&](QByteArrayView piece) {
        if (file.write(piece.data(), piece.size()) != piece.size())
            ok = false;
    });
    // commit() does not report a failure of the last buffered bytes: flush them first.
    if (!ok || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        throw EWriteError();
    }
    if (!file.commit())
        throw EWriteError();
    return StampOf(path);
}

#endif
