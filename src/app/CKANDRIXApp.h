#pragma once
// The application object: fills the shared record, runs the wizard window
// modally, and ends the program in order once the window has gone: jobs
// stopped, the recording library shut down (every drive released).

class CKANDRIXApp {
public:
    // The whole life of the program; returns the process's exit code.
    int Run(int argc, char** argv);
};
