#include "platform/Job.h"

#include "platform/JobRegistry.h"
#include "platform/JobState.h"

Job::Job(std::shared_ptr<State> state, JobRegistry& registry) : state_(std::move(state)), registry_(registry) {}

Job::~Job()
{
    state_->Abandon();
    state_->RequestCancel();
    registry_.ReapFinished();
}

const std::string& Job::Name() const
{
    return state_->name;
}

void Job::Cancel()
{
    state_->RequestCancel();
}

bool Job::Cancelled() const
{
    return state_->Cancelled();
}

bool Job::Finished() const
{
    return state_->IsFinished();
}

bool Job::Wait(std::chrono::milliseconds limit)
{
    return state_->WaitUntil(std::chrono::steady_clock::now() + limit);
}
