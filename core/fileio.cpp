#include "fileio.h"
#include "errors.h"
#include "stringtable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/safety-copies");
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

namespace {

QString ErrnoText(int code)
{
    return qt_error_string(code);
}

// Closes a descriptor when the scope ends, whatever way it ends.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    /// Closes now and reports the error close gives (a network file system reports late).
    int Close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

FileStamp StampFrom(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
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
    return QString::fromLatin1(strings::IsDevice);
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

// The file a name finally stands for when it is a symbolic link (or a chain of them), so the
// new file is written where the link points and the link stays. A dangling link gives its
// target's name, which is then created.
QByteArray ResolveLinks(QByteArray name)
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
    return name; // a loop: opening it reports the error
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

// Keeps the old contents of a file written in place, in the cache folder, until the new
// contents are safely on disk. Throws when the copy cannot be made, before the file is touched.
QByteArray WriteSafetyCopy(const FilePath& shown, const QByteArray& target, QByteArrayView old)
{
    const QString folder = SafetyCopyFolder();
    QDir().mkpath(folder);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray base = slash >= 0 ? target.sliced(slash + 1) : target;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")).toLatin1();
    int e = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = QFile::encodeName(folder) + '/' + base + '.' + stamp;
        if (attempt > 0)
            name += '-' + QByteArray::number(attempt);
        Descriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            e = errno;
            if (e == EEXIST)
                continue;
            break;
        }
        e = WriteAll(fd.get(), old);
        if (!e)
            e = SyncToDisk(fd.get());
        if (!e)
            e = fd.Close();
        if (!e)
            return name;
        ::unlink(name.constData());
        break;
    }
    throw Exception(
        QString::fromLatin1(strings::NoSafetyCopy).arg(shown.Display(), folder, ErrnoText(e)));
}

// Puts the old contents back into a file written in place; true when they are whole again.
bool PutBack(int fd, QByteArrayView old)
{
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old) == 0 &&
           ::ftruncate(fd, off_t(old.size())) == 0 && SyncToDisk(fd) == 0;
}

// Writes over the file itself, which keeps its inode, owner, group and links. The old contents
// are read first and kept in a safety copy, so a failed write can always be undone.
FileStamp WriteInPlace(const FilePath& shown, const QByteArray& target, const FileProducer& produce)
{
    Descriptor fd(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        throw EFCreateError(shown.Display());
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        throw EFCreateError(shown.Display());
    if (!S_ISREG(st.st_mode))
        throw EFCreateError(shown.Display(), KindReason(st.st_mode));
    QByteArray old;
    int readError = 0;
    if (!ReadAll(fd.get(), st.st_size, MaxFileBytes, old, readError))
        throw EFCreateError(shown.Display(), TooLargeReason(MaxFileBytes));
    if (readError)
        throw EFCreateError(shown.Display());
    const QByteArray copy = WriteSafetyCopy(shown, target, old);

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
    // A safety copy that must stay: the message says where it is.
    const auto copyLeft = [&] {
        return EWriteError(QString::fromLatin1(strings::SafetyCopyKept)
                               .arg(shown.Display(), QFile::decodeName(copy)));
    };
    if (error || failure) {
        // Whatever stopped the write, the old contents go back.
        if (!PutBack(fd.get(), old))
            throw copyLeft();
        ::unlink(copy.constData());
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
    ::unlink(copy.constData());
    return StampFrom(after);
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

} // namespace

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
    const QByteArray target = ResolveLinks(path.Native());
    struct stat st;
    const bool exists = ::lstat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        throw EFCreateError(shown);
    if (exists && !S_ISREG(st.st_mode))
        throw EFCreateError(shown, KindReason(st.st_mode));
    // A replaced file would leave its other names on the old contents.
    if (exists && st.st_nlink > 1)
        return WriteInPlace(path, target, produce);

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target.first(slash + 1) : QByteArray();
    const QByteArray base = slash >= 0 ? target.sliced(slash + 1) : target;
    QByteArray pattern = folder + '.' + base + ".XXXXXX";
    const int tmp = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (tmp < 0) {
        // A folder that allows no new file may still hold a file that may be written.
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(path, target, produce);
        throw EFCreateError(shown);
    }
    Descriptor fd(tmp);
    TemporaryName temporary(pattern);

    // The new file takes the old one's owner, group and mode, set-id bits included; where that
    // is not allowed, replacing it would change what the file was, so it is written in place.
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    struct stat made;
    if (exists) {
        if (::fstat(fd.get(), &made) != 0)
            throw EFCreateError(shown);
        if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
            ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
            fd.Close();
            temporary.Remove();
            return WriteInPlace(path, target, produce);
        }
    }
    if (::fchmod(fd.get(), mode) != 0 || ::fstat(fd.get(), &made) != 0)
        throw EFCreateError(shown);
    if (exists &&
        ((made.st_mode & 07777) != mode || made.st_uid != st.st_uid || made.st_gid != st.st_gid)) {
        fd.Close();
        temporary.Remove();
        return WriteInPlace(path, target, produce);
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
        throw EFCreateError(shown);
    }
    temporary.Release();
    SyncFolder(target);
    return StampFrom(made);
}

#else // not Q_OS_UNIX: Qt's own files, every step checked

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
