#pragma once
// QThread::wait orders everything a thread did before it ended ahead of what
// the waiting thread does next, but through futexes that a thread sanitizer
// cannot see. A fence that run() passes on its way out and the owner reads
// after wait() makes the same ordering visible, so freeing a worker object
// after joining it is not reported as a race.
#include <atomic>

namespace platform {

class RunFence {
 public:
  // Lives for the duration of run(); passes the fence when run() returns.
  class Scope {
   public:
    explicit Scope(RunFence& fence) : fence_(fence) {}
    ~Scope() { fence_.done_.store(true, std::memory_order_release); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    RunFence& fence_;
  };
  // Call after the thread was joined.
  void observe() const { (void)done_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> done_{false};
};

}  // namespace platform
