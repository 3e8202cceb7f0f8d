#pragma once
// Stop requests from outside the window: Ctrl+C (SIGINT), kill (SIGTERM) and
// the end of the session (SIGHUP).

class QObject;

// From now on a stop request ends the main window at once, without the
// question a person's Close gets: open boxes are closed, every job is
// cancelled, and the window's end keeps the settings and removes the run's
// files. A second request ends the program outright. owner keeps the
// listener.
void EndOnStopSignals(QObject* owner);
