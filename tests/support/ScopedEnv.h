#pragma once
// Environment settings a test makes for its own lifetime only.

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// PATH with folder searched first, for stand-ins of the tools the program runs.
inline std::string PathWithFirst(const std::string& folder)
{
    const char* path = std::getenv("PATH");
    return folder + ":" + (path ? path : "");
}
