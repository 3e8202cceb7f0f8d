#pragma once
// The text file that Save log writes: the conversion log and the burn log,
// each between its markers, both sections always present; then the latest
// lines of the trace in a section of their own, for whoever must find out
// why a burn went wrong.

#include <string>
#include <vector>

// The file's bytes. Every "\n", the markers' and any inside an entry, is
// stored as CR LF, the way a text-mode file on the system the log format
// comes from stores it, so the saved log reads the same everywhere.
std::string ComposeSavedLog(const std::vector<std::string>& conversionLines,
                            const std::vector<std::string>& burnLines,
                            const std::vector<std::string>& traceLines = {});

// Creates or truncates the file and writes the text. False when the file
// cannot be created or not all of it was written.
bool WriteSavedLog(const std::string& path, const std::string& text);
