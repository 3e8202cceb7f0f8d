#pragma once
// The application object: owns the run's state, runs the wizard window
// modally over it, and ends the run in its order once the window has gone
// (RunState.h). A job that did not stop ends the program with a failure
// status.

class CKANDRIXApp {
public:
    // The whole life of the program; returns the process's exit code.
    int Run(int argc, char** argv);
};
