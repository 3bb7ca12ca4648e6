// Where a program's threads run.
//
// A new thread starts on its creator's processor, and the system can take
// milliseconds to move it to an idle one (measured: 2.5 to 3 ms, a tick of
// its clock, while the creator keeps that processor busy): a frame or a
// short job split between a thread and the helpers it has just made would
// share one processor for much of its time.
#pragma once

#include <thread>

namespace basin {

// Moves `helper`, a thread the caller has just made, to a processor the
// process may use other than the caller's (the index-th of them, round the
// list), then lets the system place it freely again, which leaves it there
// until there is reason to move it. Where the system says no, or there is
// no other processor, nothing changes.
void placeAwayFromCaller(std::thread& helper, int index);

// The processors the process may run on, at least 1: fewer than the
// machine has where it is confined to some (taskset, a container's set).
int usableProcessors();

}  // namespace basin
