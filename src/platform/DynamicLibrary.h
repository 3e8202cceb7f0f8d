#pragma once
// A shared library loaded by path, unloaded again when the object goes.

#include <string>

class DynamicLibrary {
public:
    explicit DynamicLibrary(const std::string& path);
    // The library open at descriptor fd, so that what is loaded is the very
    // file that was checked; the caller still owns and closes fd. The loader
    // knows it by the name /proc/self/fd/<fd>, so it is unloaded before
    // another library is loaded through a descriptor of the same number.
    static DynamicLibrary FromDescriptor(int fd);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

    bool IsLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or nullptr (also when the library did not load).
    void* Symbol(const std::string& name) const;

private:
    void* handle_ = nullptr;
};
