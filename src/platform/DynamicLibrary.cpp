#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

DynamicLibrary::DynamicLibrary(const std::string& path)
{
    if (!path.empty())
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
