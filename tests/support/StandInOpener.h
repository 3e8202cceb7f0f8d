#pragma once
// Stand-ins for the desktop's programs (xdg-open, xdg-mime, a browser):
// scripts in a test's own folder that record their arguments, and the
// environment that makes the program find them there and nothing else.

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A script named name in folder that writes its arguments, each ended by a
// NUL, to record (complete once it exists), prints output and exits with status.
inline std::string WriteRecordingScript(const TempDir& folder, const std::string& name, const std::string& record,
                                        int status = 0, const std::string& output = "")
{
    const std::string script = "#!/bin/sh\n"
                               "out='" + record + "'\n"
                               ": > \"$out.part\"\n"
                               "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$out.part\"; done\n"
                               "/bin/mv \"$out.part\" \"$out\"\n" +
                               (output.empty() ? "" : "printf '%s\\n' '" + output + "'\n") +
                               "exit " + std::to_string(status) + "\n";
    const std::string path = folder.Write(name, script);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// The arguments a recording script was given, once it has written them.
inline std::optional<std::vector<std::string>> RecordedArguments(const std::string& record, int waitMs = 20000)
{
    for (int waited = 0; !std::filesystem::exists(record); waited += 20) {
        if (waited > waitMs)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream in(record, std::ios::binary);
    std::vector<std::string> arguments;
    std::string argument;
    while (std::getline(in, argument, '\0'))
        arguments.push_back(argument);
    return arguments;
}
