#include "convert/DiscFit.h"

#include "convert/DiscEstimate.h"

#include <sys/stat.h>

FitDecision DecideVideoFit(const DurationSurvey& survey, int titles, int64_t capacity, bool imageFile)
{
    FitDecision decision;
    if (survey.cancelled) {
        decision.action = FitAction::Stay;
        return decision;
    }
    if (capacity <= 0)
        return decision;
    const RatePlan plan = PlanVideoRate(survey.knownSeconds, titles, capacity);
    if (plan.verdict == FitVerdict::TooLong) {
        if (!imageFile) {
            decision.action = FitAction::Refuse;
            decision.text = TooLongText(plan);
            return decision;
        }
        // Planned for a double-layer disc instead; one that does not fit that
        // either is made at the standard rate.
        const RatePlan dual = PlanVideoRate(plan.seconds, titles, DOUBLE_LAYER_DVD_BYTES);
        decision.action = FitAction::Ask;
        if (dual.verdict == FitVerdict::TooLong) {
            decision.text = TooLongText(plan) + " " +
                            OversizeImageText(EstimateDiscBytes(plan.seconds, DVD_VIDEO_KBPS, titles), capacity);
            return decision;
        }
        decision.text = TooLongText(plan) + " " + OversizeImageText(dual.estimatedBytes, capacity);
        if (dual.verdict == FitVerdict::LowerRate) {
            decision.videoKbps = dual.videoKbps;
            decision.estimateLine = EstimateLogLine(dual);
        }
        return decision;
    }
    if (plan.verdict == FitVerdict::LowerRate) {
        decision.videoKbps = plan.videoKbps;
        decision.estimateLine = EstimateLogLine(plan);
    }
    if (survey.probeMissing) {
        decision.action = FitAction::Ask;
        decision.text = ProbeMissingText();
    } else if (!survey.unknown.empty()) {
        decision.action = FitAction::Ask;
        decision.text = UnknownDurationsText(survey.unknown);
    }
    return decision;
}

FitDecision DecideMpegFit(int64_t mpegBytes, int titles, int64_t capacity, bool imageFile)
{
    FitDecision decision;
    if (capacity <= 0)
        return decision;
    const int64_t estimate = EstimateMpegDiscBytes(mpegBytes, titles);
    if (estimate <= capacity)
        return decision;
    decision.action = imageFile ? FitAction::Ask : FitAction::Refuse;
    decision.text = imageFile ? OversizeImageText(estimate, capacity) : MpegFilesTooLargeText(estimate, capacity);
    return decision;
}

int64_t SummedFileSize(const std::vector<std::string>& paths)
{
    int64_t total = 0;
    for (const std::string& path : paths) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            total += static_cast<int64_t>(info.st_size);
    }
    return total;
}
