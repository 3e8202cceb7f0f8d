#pragma once
// Which folder the output page shows for a stored folder text. Outputs are
// named by plain concatenation with the folder text, so a folder text must
// name a folder and end in the separator.

#include <string>

// The folder used when there is none to show: "C:\" on Windows; on POSIX,
// where "C:\" names a file in the working directory, the user's home folder,
// else the temporary folder.
std::string FallbackOutputFolder();

// stored with the separator at its end; the fallback for an empty text and
// for a "C:\" kept from Windows.
std::string ShownOutputFolder(const std::string& stored);
