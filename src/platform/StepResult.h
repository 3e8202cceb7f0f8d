#pragma once
// What a step of a run came to: done, or failed with the reason in the words
// of whoever refused (the system, the recording library, a tool). The reason
// travels up as it is, so the user reads the cause and not only that
// something went wrong.

#include <ostream>
#include <string>
#include <utility>

class StepResult {
public:
    static StepResult Done() { return StepResult(); }
    // step names what the user asked for ("Burn", "Authoring"); reason is
    // the refusal as its author worded it.
    static StepResult Failed(std::string step, std::string reason)
    {
        StepResult result;
        result.failed_ = true;
        result.step_ = std::move(step);
        result.reason_ = std::move(reason);
        return result;
    }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    const std::string& Step() const { return step_; }
    const std::string& Reason() const { return reason_; }

    // "Burn failed: <reason>"; "" when the step was done.
    std::string Message() const
    {
        if (!failed_)
            return std::string();
        return reason_.empty() ? step_ + " failed" : step_ + " failed: " + reason_;
    }

private:
    StepResult() = default;

    bool failed_ = false;
    std::string step_;
    std::string reason_;
};

inline std::ostream& operator<<(std::ostream& out, const StepResult& result)
{
    return out << (result.Ok() ? std::string("done") : result.Message());
}
