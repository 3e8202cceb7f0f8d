#pragma once
// Whether a process has ended: gone, or a zombie its new parent has not
// reaped yet. Waits up to two seconds for it.

#include <cerrno>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

inline bool ProcessGone(pid_t pid)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return errno == ESRCH;
    pollfd ended {pidfd, POLLIN, 0};
    const bool gone = poll(&ended, 1, 2000) == 1;
    close(pidfd);
    return gone;
}
