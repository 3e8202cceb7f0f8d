#pragma once
// One encoding job: one source turned into one output by one encoder run.

#include <optional>
#include <string>
#include <vector>

struct ConversionRequest;
class JobQuestions;

struct EncodingJob {
    // The command as the program has always written it; shown and compared,
    // never parsed. What runs is arguments.
    std::string commandLine;
    // arguments[0] is the encoder's full path; the rest are its options.
    std::vector<std::string> arguments;
    std::string outputPath;
    // Task 0 only: the empty file that reserves the temporary name.
    std::string placeholderPath;
};

// The job of one source under the request's task (0 or 2). nullopt, with a
// log-ready *error naming the cause, when no job can be built: task 1, an
// unknown output format, or no temporary name in the work folder.
std::optional<EncodingJob> BuildJob(const ConversionRequest& request, const std::string& sourcePath,
                                    const std::string& sourceName, std::string* error);

// A path as an argument the encoder can never read as an option or as a
// protocol name: a relative path gets a leading "./".
std::string PathArgument(const std::string& path);

// Asks before an existing output is replaced (unless overwriteExisting is
// set). False: skip this job.
bool AskOverwrite(const ConversionRequest& request, const std::string& outputPath, JobQuestions& questions);
