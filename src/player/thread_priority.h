// The sound's threads ahead of the machine's other work: a busy machine (a compile, a browser)
// must not keep them waiting. Each asks for what the system grants and falls back quietly:
// without the right, the thread runs as it did.
#pragma once

namespace zirvak {

// The calling thread real-time (round-robin, low priority among real-time threads), else at a
// raised nice level, else as it was. For a thread whose work per wake is small and bounded: the
// output's, which copies what is queued.
void RaiseToRealTime();

// The calling thread at a raised nice level where allowed: for the thread that refills the
// output, whose decoding may take longer.
void RaisePriority();

}  // namespace zirvak
