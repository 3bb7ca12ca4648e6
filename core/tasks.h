// Work shared out over a program's threads. The row solver's threads
// (core/rows.h) are the program's one team of threads: what else wants
// threads (compressing a picture's rows) runs its tasks on them.
#pragma once

#include "core/function_ref.h"

namespace basin {

class TaskRunner {
 public:
  virtual ~TaskRunner() = default;
  // task(i, slot) for i = 0 ... count - 1, each once, `slot` the running
  // thread's own number (0 ... threads() - 1); returns once all have run.
  // A task must not throw.
  virtual void forEach(int count, FunctionRef<void(int task, int slot)> task) = 0;
  virtual int threads() const = 0;
  // No more tasks will come: the threads may end while the caller goes on
  // with work of its own. Tasks after it run on the calling thread.
  virtual void windDown() = 0;
};

}  // namespace basin
