#pragma once
// Running work on the user-interface thread from any thread. A worker that
// touches a control "sends" (runs the call there and waits); completion
// messages are "posted" (queued, no wait). The UI thread never waits for a
// worker, so sending from the UI thread itself runs the call directly.

#include <functional>

// Marks the calling thread as the UI thread; called once the application
// object exists, before any window. Calling it again after ShutDownUi serves
// sends and posts once more (tests use this).
void SetUiThread();
bool IsUiThread();

// Runs fn on the UI thread and returns when it has run. Once the UI has shut
// down (ShutDownUi), returns false at once without running fn, so a worker
// can never hang on a window that is gone.
bool SendToUi(const std::function<void()>& fn);

// Queues fn for the UI thread; dropped after ShutDownUi.
void PostToUi(std::function<void()> fn);

// Called when the main window's modal run has ended: every send waiting or to
// come returns false.
void ShutDownUi();
bool IsUiShutDown();

// For the platform layer: the way a call reaches the UI thread's event loop.
// SetUiThread installs the window system's own; until then sends from other
// threads return false and posts are dropped.
using UiDispatcher = void (*)(std::function<void()> call);
void SetUiThreadWith(UiDispatcher dispatcher);
