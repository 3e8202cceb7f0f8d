#pragma once
// A shared library loaded by path, unloaded again when the object goes.

#include <string>

class DynamicLibrary {
public:
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or nullptr (also when the library did not load).
    void* Symbol(const std::string& name) const;

private:
    void* handle_ = nullptr;
};
