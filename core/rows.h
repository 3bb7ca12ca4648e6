// The rows of a frame solved on every core, handed back in order.
//
// A RowSolver solves on `threads` threads: the calling thread and
// threads - 1 workers it keeps. For each frame they take rows from a shared
// counter, solve each with the vector solver (core/lanes.h) into a ring of
// row buffers, and the calling thread takes the finished rows strictly in
// order, row 0 first, so whatever it does with them (the root registry, the
// shading, the drawing) sees the samples in the same order as a single
// thread walking the frame would. Work on a row that needs no order (its
// colours, say) can be done as it is solved, on the thread that solved it.
// When its next row is not ready, the caller solves rows itself rather than
// sleep, so every core stays busy and the threads seldom have to wake each
// other. Nobody runs more than the ring's depth ahead of the rows taken, so
// memory stays bounded for any size.
//
// Rows go out and come back in batches of a few: a thread claims a batch,
// solves it and hands it over at once, and the caller gives room back a
// batch at a time, so that threads sleep and wake once a batch rather than
// once a row. Nobody is woken who is not waiting.
//
// Only the calling thread touches the results; workers read the solver's
// tables and the sample positions, which must not change during `solve`.
//
// Contract of `solve`:
// - One caller at a time. A second thread calling while a job runs is a
//   programming error: the process aborts with a message, in every build.
// - `useRow` may leave early by throwing. Before the exception goes on, no
//   worker claims another row of the job and every row in flight is
//   finished, so nothing of the job touches the ring, the positions or the
//   solver after `solve` has left; the next job starts clean.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/function_ref.h"
#include "core/huge_pages.h"
#include "core/lanes.h"
#include "core/newton.h"
#include "core/tasks.h"

namespace basin {

class RowSolver : public TaskRunner {
 public:
  explicit RowSolver(int threads);  // threads < 1 counts as 1
  ~RowSolver() override;
  // Lets the workers end while the caller goes on with other work; the
  // destructor then only waits for what is left of them. A job solved
  // after this runs on the calling thread alone.
  void windDown() override;
  RowSolver(const RowSolver&) = delete;
  RowSolver& operator=(const RowSolver&) = delete;

  // Solves `rows` rows of `width` samples, row j at imaginary part ys[j]
  // and real parts xs[0 ... width - 1], and calls useRow(j, outcomes) on the
  // calling thread for j = 0, 1, ... in order; the outcomes are valid until
  // useRow returns. Allocates only when the frame is wider than any before.
  // T is the storage type, float or double.
  template <class T, class UseRow>
  void solve(const BasicSolver<T>& solver, const T* xs, const T* ys, int width, int rows,
             LanePath path, UseRow&& useRow) {
    solve(
        solver, xs, ys, width, rows, path, [](int, const BasicOutcome<T>*) {}, useRow);
  }

  // The same, and first prepareRow(j, outcomes) on whichever thread solved
  // row j, as soon as its batch is solved: for several rows at once, outside any
  // lock, and only once row j - depth() has been taken. It must not throw.
  template <class T, class PrepareRow, class UseRow>
  void solve(const BasicSolver<T>& solver, const T* xs, const T* ys, int width, int rows,
             LanePath path, const PrepareRow& prepareRow, UseRow&& useRow) {
    const BasicLaneJob<T> lanes(solver, path);  // the term tables made ready once
    const Caller caller(*this, Job{&lanes, xs, ys, width, rows, sizeof(BasicOutcome<T>),
                                   &prepareRow, &solveRowsOf<T, PrepareRow>});
    for (int j = 0; j < rows; ++j) {
      useRow(j, static_cast<const BasicOutcome<T>*>(waitFor(j)));
      release(j);
    }
  }

  // Rows solved ahead of the last row taken are fewer than this.
  int depth() const { return depth_; }

  // The threads that share the work: the caller and the workers.
  int threads() const override { return int(workers_.size()) + 1; }

  // Other work on the same threads: task(i, slot) for i = 0 ... count - 1,
  // each once, on the calling thread and the workers, `slot` the running
  // thread's own number (0 ... threads() - 1) so that each may keep room of
  // its own; returns once every task has run. After windDown the caller
  // runs them all. One caller at a time, as for solve; a task must not
  // throw.
  void forEach(int count, FunctionRef<void(int task, int slot)> task) override;

 private:
  // A frame's rows, their storage type known only to `solveRow`.
  struct Job {
    const void* lanes = nullptr;  // a BasicLaneJob<T>
    const void* xs = nullptr;     // T[width]
    const void* ys = nullptr;     // T[rows]
    int width = 0;
    int rows = 0;
    std::size_t cell = 0;           // the bytes of one outcome
    const void* prepare = nullptr;  // the caller's PrepareRow
    // Rows first ... first + count - 1 (count <= BATCH) into outs[0 ... count - 1].
    void (*solveRows)(const Job& job, int first, int count, void* const* outs) = nullptr;
  };

  // A batch's rows are solved together, so that their lanes go on from one
  // row to the next, then prepared one by one.
  template <class T, class PrepareRow>
  static void solveRowsOf(const Job& job, int first, int count, void* const* outs) {
    BasicOutcome<T>* outcomes[BATCH] = {};
    for (int k = 0; k < count; ++k) outcomes[k] = static_cast<BasicOutcome<T>*>(outs[k]);
    solveRows(*static_cast<const BasicLaneJob<T>*>(job.lanes), static_cast<const T*>(job.xs),
              static_cast<const T*>(job.ys) + first, job.width, count, outcomes);
    for (int k = 0; k < count; ++k)
      (*static_cast<const PrepareRow*>(job.prepare))(first + k, outcomes[k]);
  }

  // Holds the solver for one caller: starts the job, and on the way out,
  // normal or by an exception, waits until no worker holds a row of it.
  class Caller {
   public:
    Caller(RowSolver& rows, const Job& job);
    ~Caller();
    Caller(const Caller&) = delete;
    Caller& operator=(const Caller&) = delete;

   private:
    RowSolver& rows_;
  };

  void begin(const Job& job);
  void finish();
  const void* waitFor(int row);
  void release(int row);
  void work(int slot);
  void runTasks(std::unique_lock<std::mutex>& lock, int slot);
  int nextBatchEnd() const;
  bool roomFor(int last) const { return last < taken_ + depth_; }  // rows up to `last` fit
  // `worker`: false for the caller, who solves its rows even once the
  // workers wind down.
  void solveNextBatch(std::unique_lock<std::mutex>& lock, bool worker);
  void solveBatch(int first, int count, std::unique_lock<std::mutex>& lock, bool worker);
  void* slotOf(int row) {
    return &ring_[std::size_t(row % depth_) * std::size_t(job_.width) * job_.cell];
  }

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable jobs_;    // a new job, or stopping
  std::condition_variable solved_;  // a row is ready for the caller
  std::condition_variable space_;   // the caller has taken a row
  Job job_;
  int depth_;                      // rows the ring holds
  static constexpr int BATCH = 4;  // rows a thread claims, solves and hands over at once
  // depth_ rows of outcomes of the job's type.
  LargeBuffer<unsigned char> ring_;
  std::vector<int> held_;          // the row each ring slot holds, or -1
  int next_ = 0;                   // the next row a thread takes
  int taken_ = 0;                  // rows the caller has taken
  int inFlight_ = 0;               // rows claimed and not yet handed over
  int waitingForRoom_ = 0;         // workers asleep until the caller takes rows
  bool callerWaiting_ = false;     // the caller is asleep until a row is solved
  bool abandoned_ = false;         // the caller left early: claimed rows are dropped
  std::atomic<bool> busy_{false};  // a caller is inside solve
  long generation_ = 0;            // counts jobs
  bool stopping_ = false;
  // A job of forEach's: its tasks, the next one to run and those running.
  const FunctionRef<void(int, int)>* task_ = nullptr;
  int tasks_ = 0;
  int nextTask_ = 0;
  int tasksRunning_ = 0;
};

}  // namespace basin
