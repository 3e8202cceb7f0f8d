#pragma once

#include <string>

// The program's path in a folder of PATH (an executable regular file); "" when
// there is none, when PATH is unset, or when program names a path. Empty
// entries are skipped: the current folder is never searched, so a file of
// that name left in it is never run.
std::string FindOnPath(const std::string& program);
