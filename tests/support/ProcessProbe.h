#pragma once
// Whether a process has ended: gone, or a zombie its new parent has not
// reaped yet. Waits up to two seconds for it.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <thread>

inline bool ProcessGone(pid_t pid)
{
    for (int i = 0; i < 200; ++i) {
        if (kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string field, name, state;
        if (stat >> field >> name >> state && state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
