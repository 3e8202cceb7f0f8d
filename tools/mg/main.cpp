// mg.exe: runs the system's FFmpeg with the program's encoder command line,
// translated to the option dialect FFmpeg reads today. FFmpeg's output is
// ours (it writes to our standard streams) and its exit status is ours.
//
// FFmpeg writes the output file under a temporary name in the output's
// folder, which takes the output's name only when FFmpeg succeeded: a failed
// or cancelled encode leaves no partial file, and an earlier output of that
// name stays as it was.

#include "OutputGuard.h"
#include "ToolProcess.h"
#include "convert/EncoderDialect.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kFront = "mg.exe";
constexpr const char* kEncoderName = "ffmpeg";
constexpr int kExitNotFound = 127;

} // namespace

int main(int argc, char** argv)
{
    HoldStopSignals();
    std::string encoder = FindOnPath(kEncoderName);
    if (encoder.empty()) {
        std::fprintf(stderr, "%s: %s not found on PATH\n", kFront, kEncoderName);
        return kExitNotFound;
    }

    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::vector<std::string> translated = TranslateEncoderArguments(arguments);
    translated.insert(translated.begin(), kEncoderName);

    OutputGuard guard(kFront);
    int output = EncoderOutputIndex(translated);
    if (output >= 0) {
        int refusal = guard.Prepare(translated[output], HasEncoderFlag(translated, "-y"));
        if (refusal != 0)
            return refusal;
        if (guard.Active()) {
            // The temporary file is ours to replace; whether the output may
            // be replaced was decided above.
            translated[output] = guard.TemporaryPath();
            translated = WithoutEncoderFlag(WithoutEncoderFlag(translated, "-n"), "-y");
            translated.insert(translated.begin() + 1, "-y");
        }
    }

    ToolRun run = RunTool(kFront, encoder, translated);
    if (run.stopSignal != 0) {
        guard.Discard();
        EndBySignal(run.stopSignal);
    }
    if (run.exitCode != 0) {
        guard.Discard();
        return run.exitCode;
    }
    return guard.Commit() ? 0 : 1;
}
