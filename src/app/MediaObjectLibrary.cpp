#include "app/MediaObjectLibrary.h"

#include "platform/DynamicLibrary.h"

#include <cstdint>

bool RegisterMediaObjectLibrary(const std::string& path, bool doRegister)
{
    DynamicLibrary library(path);
    if (!library.IsLoaded())
        return false;
    // Both exports take nothing and return a 32-bit status, negative on failure.
    using RegistrationFunction = std::int32_t (*)();
    void* symbol = library.Symbol(doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (!symbol)
        return false;
    return reinterpret_cast<RegistrationFunction>(symbol)() >= 0;
}
