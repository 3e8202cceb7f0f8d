#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

DynamicLibrary::DynamicLibrary(const std::string& path)
{
    if (!path.empty())
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

DynamicLibrary DynamicLibrary::FromDescriptor(int fd)
{
    return DynamicLibrary(fd < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd));
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_)
        ::dlclose(handle_);
}

void* DynamicLibrary::Symbol(const std::string& name) const
{
    return handle_ ? ::dlsym(handle_, name.c_str()) : nullptr;
}
