#include "platform/card_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/unique_fd.h"

namespace platform {
namespace {

std::mutex g_faultMutex;
int64_t g_budget = -1;  // bytes still allowed; -1 without limit
int g_error = 0;
std::atomic<bool> g_pulled{false};

ssize_t writeAll(int fd, const uint8_t* p, size_t len) {
  size_t done = 0;
  while (done < len) {
    const ssize_t n = ::write(fd, p + done, len - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      errno = EIO;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(len);
}

}  // namespace

ssize_t cardWrite(int fd, const void* data, size_t len) {
  if (g_pulled.load()) {
    errno = EIO;
    return -1;
  }
  size_t allowed = len;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_budget >= 0) {
      if (static_cast<uint64_t>(g_budget) < len) {
        allowed = static_cast<size_t>(g_budget);
        error = g_error;
      }
      g_budget -= static_cast<int64_t>(allowed);
    }
  }
  const auto* p = static_cast<const uint8_t*>(data);
  if (allowed > 0 && writeAll(fd, p, allowed) < 0) return -1;
  if (error != 0) {
    errno = error;
    return -1;
  }
  return static_cast<ssize_t>(len);
}

int cardCreate(const char* fsPath) {
  if (!fsPath || !*fsPath) {
    errno = ENOENT;
    return -1;
  }
  // A card that is out has no folder to make the file in.
  if (g_pulled.load()) {
    errno = ENODEV;
    return -1;
  }
  const char* slash = std::strrchr(fsPath, '/');
  std::string dir = ".";
  if (slash) dir = slash == fsPath ? std::string("/") : std::string(fsPath, slash);
  const char* name = slash ? slash + 1 : fsPath;
  // The folder is opened without following a link, and the file is made in
  // that very folder: a name swapped for a link in between changes nothing.
  const UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dirFd.valid()) return -1;
  return ::openat(dirFd.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

bool cardNameInUse(const char* fsPath) {
  struct stat st;
  return ::lstat(fsPath, &st) == 0;
}

void setCardWriteFault(int64_t bytes, int error) {
  std::lock_guard<std::mutex> lock(g_faultMutex);
  g_budget = bytes < 0 ? -1 : bytes;
  g_error = error;
}

void setCardPulled(bool pulled) { g_pulled.store(pulled); }

}  // namespace platform
