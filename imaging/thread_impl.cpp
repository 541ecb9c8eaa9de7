#include "imaging/thread_impl.h"

CThreadImpl::~CThreadImpl() {
  if (joinable_) Join();
}

bool CThreadImpl::Start() {
  if (running_.exchange(true)) return false;
  if (joinable_) {  // a previous run ended by itself: reap it first
    pthread_join(thread_, nullptr);
    joinable_ = false;
  }
  if (pthread_create(&thread_, nullptr, &CThreadImpl::Trampoline, this) != 0) {
    running_.store(false);
    return false;
  }
  joinable_ = true;
  return true;
}

void CThreadImpl::Join() {
  running_.store(false, std::memory_order_release);
  if (joinable_) {
    pthread_join(thread_, nullptr);
    joinable_ = false;
  }
}

void* CThreadImpl::Trampoline(void* self) {
  auto* t = static_cast<CThreadImpl*>(self);
  t->Run();
  t->running_.store(false, std::memory_order_release);
  return nullptr;
}
