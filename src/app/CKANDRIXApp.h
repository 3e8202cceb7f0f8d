#pragma once
// The application object: fills the shared record, runs the wizard window
// modally, and lets the process end shortly after the window has gone.

class CKANDRIXApp {
public:
    // The whole life of the program; returns the process's exit code.
    int Run(int argc, char** argv);
};
