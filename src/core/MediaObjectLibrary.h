#pragma once
// The media-object library that lies in the program folder: the program only
// loads it to call its registration exports.

#include <string>

// The library's file name in the program folder, the same on every system.
inline constexpr const char* kMediaObjectLibraryName = "RenqaDMO.dll";

// Loads the library at path and calls DllRegisterServer (doRegister) or
// DllUnregisterServer. True when the export exists and returns a
// non-negative status; false when the library or the export is missing.
// The library is unloaded again in every case.
bool RegisterMediaObjectLibrary(const std::string& path, bool doRegister);
