// The reader: a thread that takes up the handset's input reports for as long as the handset is open, and
// hands each key and hook change to the key callback.
#pragma once

#include <windows.h>

#include "usbphone.h"

namespace vocetta {

void SetKeyCallback(KeyEventCallback callback);
bool KeyCallbackBound();

// Starts the reader unless one exists. Answers whether a reader runs.
bool StartReader();

// Stops the reader and closes the handset. Waits at most 100 ms for the reader to end; a reader that is
// still busy (inside the key callback) ends on its own and lets go of the handset then. A stop requested
// on the reader thread itself (from the key callback) does not wait.
void StopReader();

// Waits until every reader that was told to stop has really ended, serving messages sent to this thread
// meanwhile, for at most `boundMs`. Never waits for the calling thread itself.
void WaitForStoppedReaders(DWORD boundMs);

// Makes the running reader look again whether a key callback is bound.
void WakeReader();

// Whether a reader runs and takes up input reports (it reads only while a key callback is bound), and the
// caller is not the reader itself (a key callback asking for something the reader would have to read).
bool ReaderTakesReports();

}  // namespace vocetta
