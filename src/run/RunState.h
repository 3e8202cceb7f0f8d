#pragma once
// What a run of the program shares: the settings record, the recorders
// found, the write speeds the output page offers, the recording library and
// the jobs. The application's run owns it and hands it to the wizard window
// and its pages, which keep a reference; nothing of it is process-wide.
//
// The run ends in this order:
// 1. every job is cancelled and waited for within a bound (the window does
//    this as it closes: the jobs' completions reach its pages);
// 2. the window and its pages are destroyed (by their owner);
// 3. End: the recorder list is released, and the records with it let go of
//    their grabbers;
// 4. the recording library is shut down: no drive stays locked;
// 5. the child processes still running are stopped.
// A job still running after step 1 may go on using the records and the
// library, so such a run is never destroyed: its owner ends the program
// with AbandonStuckJobs instead.

#include "burn/DeviceList.h"
#include "core/ConversionSettings.h"
#include "platform/JobRegistry.h"
#include "recorder/SpeedTables.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class LibburnRecorder;
class RecorderLibrary;

class RunState {
public:
    // Over a libburn library of its own.
    RunState();
    // Over recorder, which outlives the run (a test's library).
    explicit RunState(RecorderLibrary& recorder);
    // Ends the run if End has not (steps 1, 3, 4 and 5, waiting as long as
    // the jobs take).
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    ConversionSettings& Settings() { return settings_; }
    // The records the last recorder search found, in the order of its rows.
    DeviceList& Recorders() { return recorders_; }
    // The speeds the output page lists for the chosen recorder: row i is
    // entry i, so the burn page takes entry speedIndex. UI thread only.
    SpeedList& WriteSpeeds() { return writeSpeeds_; }
    RecorderLibrary& Recorder() { return recorder_; }
    JobRegistry& Jobs() { return jobs_; }

    // Steps 3 to 5, once the window has done 1 and 2. Returns the names of
    // the jobs still running. When hurried (a stop request must end the
    // program within seconds) a write one of them makes is not waited for:
    // the system lets go of its drive when the program ends.
    std::vector<std::string> End(bool hurried);

private:
    std::unique_ptr<LibburnRecorder> ownRecorder_;
    RecorderLibrary& recorder_;
    DeviceList recorders_;
    ConversionSettings settings_;
    SpeedList writeSpeeds_;
    // Last, so destroyed first: a job may use everything above.
    JobRegistry jobs_;
    bool ended_ = false;
};

// The end of a program whose jobs did not all stop: names them on standard
// error and exits with a failure status, without destroying the run they
// may still use.
[[noreturn]] void AbandonStuckJobs(const std::vector<std::string>& names);
