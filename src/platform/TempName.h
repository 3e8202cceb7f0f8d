#pragma once
// Unique temporary file names: "vre" (the first three characters of the
// prefix "vrel_"), a hexadecimal number and ".tmp", in a given folder.

#include <string>

// Creates a new empty file of such a name in folder (exclusively, so no two
// callers ever get the same name) and puts its full path into *path. False
// when no file can be created there, with the cause, naming the folder, in
// *error.
bool MakeTempName(const std::string& folder, std::string* path, std::string* error = nullptr);
