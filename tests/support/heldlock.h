#pragma once
// The lock a running save holds on the files it writes, held by the test instead: what another
// save, or the clean-up of what killed saves left, does while a save is still running.
#include <QByteArray>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class HeldLock
{
public:
    explicit HeldLock(const QByteArray& path)
        : m_fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        m_locked = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldLock() { Release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    /// False when the file could not be opened, or another holds its lock.
    bool Locked() const { return m_locked; }
    void Release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_locked = false;
    }

private:
    int m_fd;
    bool m_locked = false;
};
