// WorkPool: a few worker threads that run posted jobs in the order they were posted. Jobs
// own what they work on; they must not reach the game's state, which lives on the game
// thread alone.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qx {

class WorkPool {
 public:
  // At least one thread.
  explicit WorkPool(int threads);
  // Jobs not yet started are dropped; running ones are waited for.
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  void Post(std::function<void()> job);
  int Threads() const { return static_cast<int>(threads_.size()); }

  // The machine's cores, at most `limit` and at least 1.
  static int CoresUpTo(int limit);

 private:
  void Work();
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qx
