#pragma once
// The encoder's output file, written under a temporary name beside it and
// given its own name only after a successful encode.

#include <string>
#include <sys/types.h>

class OutputGuard {
public:
    explicit OutputGuard(const char* front) : front_(front) {}
    ~OutputGuard() { Discard(); }
    OutputGuard(const OutputGuard&) = delete;
    OutputGuard& operator=(const OutputGuard&) = delete;

    // 0 to go on; otherwise the exit status, after one line saying why. An
    // output path that is anything but a regular file (a link, a FIFO, a
    // device, a folder) is refused.
    int Prepare(const std::string& output, bool mayReplace);
    bool Active() const { return !temporary_.empty(); }
    const std::string& TemporaryPath() const { return temporary_; }

    // Removes the temporary file.
    void Discard();
    // Gives the temporary file the output's name; false, after one line
    // saying why, when it cannot.
    bool Commit();

private:
    const char* front_;
    std::string output_;
    std::string temporary_;
    mode_t mode_ = 0;
};
