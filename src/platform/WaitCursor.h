#pragma once
// The application's wait cursor, shown over every window of the program while
// something the user asked for runs in the background. UI thread only. Each
// BeginWaitCursor needs its own EndWaitCursor: the shown state is counted.

void BeginWaitCursor();
void EndWaitCursor();
