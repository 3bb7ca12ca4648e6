#include "core/rows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/processors.h"
#include "core/speed.h"

namespace basin {

// Four rows a batch; the ring holds eight batches for each thread, so that
// a thread held up by a slow batch (rows whose runs take long) leaves the
// others room to go on meanwhile. (Measured: two threads draw a frame 3 to
// 10 % faster than with two batches a thread.) The caller is one of the
// threads: it solves rows whenever the next one it needs is not ready.
// Each worker starts on another processor than the caller's: left beside
// it, it could share the caller's processor for much of the first frame.
RowSolver::RowSolver(int threads) : depth_(std::max(64, 32 * threads)) {
  held_.assign(std::size_t(depth_), -1);
  for (int i = 1; i < threads; ++i) {
    workers_.emplace_back([this, i] { work(i); });
    if (speedMeasures().pinning) placeAwayFromCaller(workers_.back(), i - 1);
  }
}

RowSolver::~RowSolver() {
  windDown();
  for (std::thread& worker : workers_) worker.join();
}

void RowSolver::windDown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  jobs_.notify_all();
  space_.notify_all();
}

RowSolver::Caller::Caller(RowSolver& rows, const Job& job) : rows_(rows) {
  if (rows_.busy_.exchange(true)) {
    std::fputs("RowSolver::solve: a second caller while a job runs\n", stderr);
    std::abort();
  }
  rows_.begin(job);
}

RowSolver::Caller::~Caller() {
  rows_.finish();
  rows_.busy_.store(false);
}

void RowSolver::begin(const Job& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = job;
    abandoned_ = false;
    const std::size_t bytes = std::size_t(depth_) * std::size_t(job.width) * job.cell;
    if (ring_.size() < bytes) ring_.resize(bytes);
    std::fill(held_.begin(), held_.end(), -1);
    next_ = 0;
    taken_ = 0;
    ++generation_;
  }
  jobs_.notify_all();
}

// After the last row taken this returns at once. After an early exit it
// stops further claims, lets the workers waiting for room drop their rows,
// and waits for those still being solved.
void RowSolver::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  next_ = job_.rows;
  abandoned_ = true;
  space_.notify_all();
  callerWaiting_ = true;
  solved_.wait(lock, [&] { return inFlight_ == 0; });
  callerWaiting_ = false;
}

// The caller does not sleep while there is work it can do: a row it waits
// for that nobody has claimed, or a batch the ring has room for, it solves
// itself. It sleeps only while its row is being solved by a worker and the
// ring is full or every row claimed; the worker then wakes it. Rows before
// `row` have all been taken, so the row itself, when unclaimed, always fits.
const void* RowSolver::waitFor(int row) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (held_[std::size_t(row % depth_)] != row) {
    if (next_ < job_.rows && roomFor(nextBatchEnd())) {
      solveNextBatch(lock, false);
      continue;
    }
    callerWaiting_ = true;
    solved_.wait(lock, [&] { return held_[std::size_t(row % depth_)] == row; });
    callerWaiting_ = false;
  }
  return slotOf(row);
}

// Room is given back at the end of each batch, and only to workers that
// wait for it.
void RowSolver::release(int row) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = row + 1;
    wake = waitingForRoom_ > 0 && (taken_ % BATCH == 0 || taken_ == job_.rows);
  }
  if (wake) space_.notify_all();
}

// Each worker takes the next batch of the job, waits until the ring has
// room for all of it, solves it outside the lock and hands it over; between
// jobs it sleeps. Batches are taken in order, so the caller's next row is
// always in the oldest one in progress.
void RowSolver::work(int slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  long seen = 0;
  while (true) {
    jobs_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    if (task_ != nullptr) runTasks(lock, slot);
    while (!stopping_ && next_ < job_.rows) solveNextBatch(lock, true);
  }
}

// Each thread takes the next task until none is left; the last to finish
// wakes the caller if it waits.
void RowSolver::runTasks(std::unique_lock<std::mutex>& lock, int slot) {
  while (task_ != nullptr && nextTask_ < tasks_) {
    const int task = nextTask_++;
    ++tasksRunning_;
    const FunctionRef<void(int, int)> run = *task_;
    lock.unlock();
    run(task, slot);
    lock.lock();
    --tasksRunning_;
  }
  if (tasksRunning_ == 0 && callerWaiting_) solved_.notify_all();
}

void RowSolver::forEach(int count, FunctionRef<void(int, int)> task) {
  if (busy_.exchange(true)) {
    std::fputs("RowSolver::forEach: a second caller while a job runs\n", stderr);
    std::abort();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  job_ = Job{};  // no rows: the workers take tasks only
  next_ = 0;
  task_ = &task;
  tasks_ = count;
  nextTask_ = 0;
  ++generation_;
  jobs_.notify_all();
  runTasks(lock, 0);
  callerWaiting_ = true;
  solved_.wait(lock, [&] { return tasksRunning_ == 0; });
  callerWaiting_ = false;
  task_ = nullptr;
  lock.unlock();
  busy_.store(false);
}

// The last row of the batch a thread would claim next. Batches shrink to a
// row as the job runs out, so that the threads finish nearly together
// rather than one waiting out another's last full batch.
int RowSolver::nextBatchEnd() const {
  const int threads = int(workers_.size()) + 1;
  const int size = std::clamp((job_.rows - next_) / (4 * threads), 1, BATCH);
  return std::min(next_ + size, job_.rows) - 1;
}

// Claims the next batch and solves it, once the ring has room for it all.
void RowSolver::solveNextBatch(std::unique_lock<std::mutex>& lock, bool worker) {
  const int first = next_;
  const int last = nextBatchEnd();
  next_ = last + 1;
  solveBatch(first, last - first + 1, lock, worker);
}

void RowSolver::solveBatch(int first, int count, std::unique_lock<std::mutex>& lock, bool worker) {
  inFlight_ += count;
  const int last = first + count - 1;
  const auto dropped = [&] { return (worker && stopping_) || abandoned_; };
  ++waitingForRoom_;
  space_.wait(lock, [&] { return dropped() || roomFor(last); });
  --waitingForRoom_;
  if (!dropped()) {
    const Job job = job_;
    unsigned char* const ring = ring_.data();
    lock.unlock();
    void* outs[BATCH];
    for (int k = 0; k < count; ++k)
      outs[k] = ring + std::size_t((first + k) % depth_) * std::size_t(job.width) * job.cell;
    job.solveRows(job, first, count, outs);
    lock.lock();
    for (int row = first; row <= last; ++row) held_[std::size_t(row % depth_)] = row;
  }
  inFlight_ -= count;
  // The caller waits either for a row of this batch or, leaving early, for
  // none to be in flight: both hear of it here, if it waits at all.
  if (callerWaiting_) solved_.notify_all();
}

}  // namespace basin
