#include "core/MediaObjectLibrary.h"

#include "platform/DynamicLibrary.h"
#include "platform/RegularFile.h"

#include <cstdint>
#include <unistd.h>

namespace {

// Far above any real registration library; a bound on what may be mapped.
constexpr std::uint64_t kMaxLibrarySize = 64u << 20;

} // namespace

bool RegisterMediaObjectLibrary(const std::string& path, bool doRegister)
{
    // A FIFO of that name would hang the program's exit in the loader.
    const int fd = OpenRegularFile(path, kMaxLibrarySize);
    if (fd < 0)
        return false;
    DynamicLibrary library = DynamicLibrary::FromDescriptor(fd);
    ::close(fd);
    if (!library.IsLoaded())
        return false;
    // Both exports take nothing and return a 32-bit status, negative on failure.
    using RegistrationFunction = std::int32_t (*)();
    void* symbol = library.Symbol(doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (!symbol)
        return false;
    return reinterpret_cast<RegistrationFunction>(symbol)() >= 0;
}
