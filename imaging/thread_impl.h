#pragma once
// A joinable POSIX thread that runs Run() once: the camera's worker.
#include <pthread.h>

#include <atomic>

class CThreadImpl {
 public:
  CThreadImpl() = default;
  virtual ~CThreadImpl();
  CThreadImpl(const CThreadImpl&) = delete;
  CThreadImpl& operator=(const CThreadImpl&) = delete;

  // False when already running or the thread cannot be created. (Not
  // QThread::start: ImageProThread, which owns the camera, is a QThread.)
  bool Start();
  // Clears the running flag, then waits for Run() to return.
  void Join();
  bool IsRunning() const { return running_.load(std::memory_order_acquire); }

 protected:
  // The thread body; not QThread::run, the image processing thread's loop.
  virtual void Run() {}
  std::atomic<bool> running_{false};

 private:
  static void* Trampoline(void* self);
  pthread_t thread_{};
  bool joinable_ = false;
};
