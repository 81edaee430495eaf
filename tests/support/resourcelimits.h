#pragma once
// Resource limits that make a test's own writes and allocations fail where real ones do: a
// file that grows past a size, a process that runs out of memory.
#include <QFile>
#include <csignal>
#include <sys/resource.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define QUILLMAR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLMAR_ADDRESS_SANITIZER 1
#endif
#endif

/// AddressSanitizer reserves terabytes of address space, so an address-space limit cannot
/// stand for a shortage of memory under it.
inline constexpr bool AddressLimitsWork =
#if defined(QUILLMAR_ADDRESS_SANITIZER)
    false;
#else
    true;
#endif

/// Lowers the soft file-size limit for the scope, so writes past it fail like on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

#if defined(__GLIBC__)
// glibc gives each thread that allocates an arena of its own, 64 MB of address space reserved at
// once and filled later; the main thread falls back on those when a lowered address-space limit
// stops it, and memory does not run out. With one arena for every thread, set before any thread
// starts, each allocation meets the limit.
[[maybe_unused]] inline const int OneMallocArena = mallopt(M_ARENA_MAX, 1);
#endif

/// Allows the process only extraBytes of address space beyond what it uses now, for the scope.
class MemoryLimit
{
public:
    explicit MemoryLimit(qint64 extraBytes)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(CurrentAddressSpace() + extraBytes);
        setrlimit(RLIMIT_AS, &lowered);
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    MemoryLimit(const MemoryLimit&) = delete;
    MemoryLimit& operator=(const MemoryLimit&) = delete;

    static qint64 CurrentAddressSpace()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                return line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
        return 0;
    }

private:
    rlimit m_saved{};
};
