#include "core/rows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace basin {

RowSolver::RowSolver(int threads) : depth_(std::max(16, 4 * threads)) {
  held_.assign(std::size_t(depth_), -1);
  for (int i = 0; i < std::max(threads, 1); ++i) workers_.emplace_back([this] { work(); });
}

RowSolver::~RowSolver() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  jobs_.notify_all();
  space_.notify_all();
  for (std::thread& worker : workers_) worker.join();
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
    const std::size_t cells = std::size_t(depth_) * std::size_t(job.width);
    if (ring_.size() < cells) ring_.resize(cells);
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
  solved_.wait(lock, [&] { return inFlight_ == 0; });
}

const Outcome* RowSolver::waitFor(int row) {
  std::unique_lock<std::mutex> lock(mutex_);
  solved_.wait(lock, [&] { return held_[std::size_t(row % depth_)] == row; });
  return slotOf(row);
}

void RowSolver::release(int row) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = row + 1;
  }
  space_.notify_all();
}

// Each worker takes the next row of the job, waits until the ring has room
// for it, solves it outside the lock and hands it over; between jobs it
// sleeps. Rows are taken in order, so the caller's next row is always the
// oldest one in progress.
void RowSolver::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  long seen = 0;
  while (true) {
    jobs_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    while (!stopping_ && next_ < job_.rows) {
      const int row = next_++;
      ++inFlight_;
      space_.wait(lock, [&] { return stopping_ || abandoned_ || row < taken_ + depth_; });
      if (!stopping_ && !abandoned_) {
        const Job job = job_;
        Outcome* out = slotOf(row);
        lock.unlock();
        solveRow(*job.lanes, job.xs, job.ys[row], job.width, out);
        lock.lock();
        held_[std::size_t(row % depth_)] = row;
      }
      --inFlight_;
      // The caller waits either for this row or, leaving early, for none
      // to be in flight: both hear of it here.
      solved_.notify_all();
    }
  }
}

}  // namespace basin
