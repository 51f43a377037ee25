// The reader: a thread for each open handset that takes up its input reports, and hands each key and hook
// change to the key callback.
#pragma once

#include <windows.h>

#include "library_state.h"
#include "usbphone.h"

#include <memory>

namespace vocetta {

// Binds the key callback and makes the open handset's reader look again whether one is bound.
void SetKeyCallback(KeyEventCallback callback);

// Starts the reader of `handset`, which carries it from then on; one whose thread could not be started leaves
// `handset.reader` null.
void StartReader(const std::shared_ptr<Handset>& handset);

// Tells the reader to stop and waits at most 100 ms for it to end; a reader that is still busy (inside the
// key callback) ends on its own and lets go of its handset then. A stop requested on the reader thread
// itself (from the key callback) does not wait.
void StopReader(const std::shared_ptr<Reader>& reader);

// Waits until every reader that was told to stop has really ended, serving messages sent to this thread
// meanwhile, for at most `boundMs`. Never waits for the calling thread itself.
void WaitForStoppedReaders(DWORD boundMs);

// Whether the handset's reader runs and takes up its input reports (it reads only while a key callback is
// bound), and the caller is not the reader itself (a key callback asking for something the reader would
// have to read).
bool ReaderTakesReports(const Handset& handset);

}  // namespace vocetta
