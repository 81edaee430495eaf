#pragma once
// The files a save keeps on disk while it runs, named so that a later run can tell them from
// anything else, and locked so that it can tell a save that is still running from one that was
// cut short. Shared by the save (fileio.cpp) and the clean-up of what a save that never ended
// left behind (saveleftovers.cpp). Unix only.
#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace savefiles {

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
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
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

// The mark in the names of the files a save makes, followed by the six letters and digits
// mkostemp draws: ".fr.php.quillmar-Ab3xZ9" beside fr.php while it is written,
// "fr.php.20250102-030405.quillmar-Q2w9Er" in the safety-copy folder. Nothing without the mark
// is ever removed.
inline constexpr char Mark[] = ".quillmar-";
inline constexpr qsizetype MarkLength = sizeof Mark - 1;
inline constexpr qsizetype RandomLength = 6;
// A safety copy's record, named after the copy, holds the full name of the file it was taken of.
inline constexpr char RecordSuffix[] = ".target";
inline constexpr qsizetype RecordSuffixLength = sizeof RecordSuffix - 1;
// A name holds at most 255 bytes: the target's name is cut to leave room for what is added.
inline constexpr qsizetype NameMax = 255;

// "dir/" for "dir/fr.php", empty for a name without a folder.
inline QByteArray FolderOf(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    return slash >= 0 ? file.first(slash + 1) : QByteArray();
}

inline QByteArray BaseOf(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    return slash >= 0 ? file.sliced(slash + 1) : file;
}

// What the temporary for a file named base starts with, before the random letters.
inline QByteArray TemporaryPrefix(const QByteArray& base)
{
    return '.' + base.first(std::min(base.size(), NameMax - 1 - MarkLength - RandomLength)) + Mark;
}

// What a safety copy of a file named base, made at time ("yyyyMMdd-hhmmss"), starts with.
inline QByteArray SafetyCopyPrefix(const QByteArray& base, const QByteArray& time)
{
    const qsizetype room =
        NameMax - 1 - time.size() - MarkLength - RandomLength - RecordSuffixLength;
    return base.first(std::min(base.size(), room)) + '.' + time + Mark;
}

inline bool IsRandomTail(QByteArrayView tail)
{
    if (tail.size() != RandomLength)
        return false;
    for (const char c : tail)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// name is prefix and six random letters: one of the temporaries made with that prefix.
inline bool IsNameFrom(QByteArrayView name, QByteArrayView prefix)
{
    return name.size() == prefix.size() + RandomLength && name.startsWith(prefix) &&
           IsRandomTail(name.sliced(prefix.size()));
}

// A safety copy's name: anything, the mark, six random letters.
inline bool IsSafetyCopyName(QByteArrayView name)
{
    return name.size() > MarkLength + RandomLength &&
           name.sliced(name.size() - RandomLength - MarkLength, MarkLength) == Mark &&
           IsRandomTail(name.last(RandomLength));
}

// Takes the lock a save holds on the files it is writing, without waiting: false while another
// open of the file holds it, and where the file system keeps no locks and so cannot tell.
inline bool TryLock(int fd)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

inline bool SameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file a name finally stands for when it is a symbolic link (or a chain of them), so the
// new file is written where the link points and the link stays. A dangling link gives its
// target's name, which is then created; a loop gives a link.
QByteArray ResolveLinks(QByteArray name);

} // namespace savefiles
