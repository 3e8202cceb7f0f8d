#include "convert/ConversionWorker.h"

#include "core/ConversionSettings.h"
#include "convert/ConversionBatch.h"
#include "platform/JobQuestions.h"
#include "platform/RunFolder.h"

#include <algorithm>
#include <sched.h>
#include <thread>

namespace {

// FFmpeg's MPEG-2 encoder keeps about one core busy, and more threads of its
// own make it no faster: so one encoder per core, and no more than eight,
// which would only share the disk and memory of a large machine.
constexpr int kMostEncoders = 8;

int UsableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
}

} // namespace

int EncoderSlots(const ConversionRequest& request)
{
    return std::clamp(request.encoders > 0 ? request.encoders : UsableCores(), 1, kMostEncoders);
}

ConversionResult AVI2MPEGFunc(const ConversionRequest& request, ConversionView& view, JobControl* control,
                              int pollMs)
{
    ConversionResult result;
    if (request.task == CT_MPG2DVD) {
        view.Questions().MessageBox("error AVI2MPEGFunc -> CT_MPG2DVD ", std::string(), MB_OK);
        return result;
    }
    ConversionRequest run = request;
    if (request.task == CT_VIDEO2DVD) {
        std::string error;
        result.workFolder = RunFolder::Create(request.outputFolder, &error);
        if (!result.workFolder) {
            view.AddLogLine(error);
            return result;
        }
        run.workFolder = result.workFolder->Path();
    }
    if (!run.estimateLine.empty())
        view.AddLogLine(run.estimateLine);
    ConversionBatch(run, view, control, pollMs).Run(result);
    if (result.cancelled)
        result.succeededCount = 0;
    // Nothing goes on to the burn: what the run made is of no more use.
    if (result.workFolder && result.succeededCount == 0) {
        result.workFolder->Remove();
        result.workFolder.reset();
        result.convertedFiles.clear();
    }
    return result;
}
