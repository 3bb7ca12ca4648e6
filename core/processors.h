// Where a program's threads run.
//
// A new thread starts on its creator's processor, and the system can take
// milliseconds to move it to an idle one: a short job split between a
// thread and the helpers it has just made would share one processor for
// much of its time. So a helper moves itself at once to another processor.
#pragma once

namespace basin {

// The processor the calling thread runs on now, or -1 where the system
// does not say.
int currentProcessor();

// Moves the calling thread to a processor the process may use other than
// `creator` (the index-th of them, round the list), then lets the system
// place it freely again, which leaves it there until there is reason to
// move it. Where the system says no, or there is no other, nothing changes.
void startAwayFrom(int creator, int index);

}  // namespace basin
