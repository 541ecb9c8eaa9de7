#include "platform/system_actions.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/devio.h"
#include "platform/diag.h"
#include "platform/paths.h"

extern char** environ;

namespace platform {

LinuxSystemActions::LinuxSystemActions(bool onBoard) : onBoard_(onBoard) {}

void LinuxSystemActions::syncFilesystems() { ::sync(); }

bool LinuxSystemActions::removeFile(const std::string& systemPath) {
  const std::string p = path(systemPath);
  if (::unlink(p.c_str()) != 0) {
    diag::warning(diag::kSystem, "cannot remove %s: %s", p.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

int LinuxSystemActions::runProgram(const std::vector<std::string>& argv, int64_t timeoutMs) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // A process group of its own, so a program killed at its deadline takes
  // along whatever it started.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    diag::warning(diag::kSystem, "cannot run %s: %s", argv[0].c_str(), std::strerror(rc));
    return -1;
  }
  int status = 0;
  if (timeoutMs < 0) {
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
  } else {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Polled: a short program costs a millisecond or two of latency, a long
    // one a check every 50 ms.
    int napMs = 1;
    for (;;) {
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid) break;
      if (done < 0 && errno != EINTR) return -1;
      if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        diag::warning(diag::kSystem, "%s still ran after %lld ms: killed", argv[0].c_str(),
                   static_cast<long long>(timeoutMs));
        return kProgramTimedOut;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(napMs));
      napMs = std::min(napMs * 2, 50);
    }
  }
  if (!WIFEXITED(status)) return -1;
  // A spawn that cannot tell its caller that the exec failed (a C library
  // whose spawn is a plain fork, or a user-mode emulator) ends the child
  // with 127 instead, as POSIX allows: that too is a program not run.
  if (WEXITSTATUS(status) == 127) {
    diag::warning(diag::kSystem, "cannot run %s (exit status 127)", argv[0].c_str());
    return -1;
  }
  return WEXITSTATUS(status);
}

void LinuxSystemActions::finalExit() {
  if (onBoard_) {
    // Keep the watchdog fed through the reboot so the board does not reset
    // half-way through the shutdown, then let init take the system down.
    const int fd = dev().open("/dev/watchdog", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
      const char a[] = "A\n";
      if (dev().write(fd, a, 2) != 2) diag::warning(diag::kSystem, "watchdog write failed");
      dev().close(fd);
    }
    runProgram({"reboot"});
    return;
  }
  // Not on the board: power-off ends the application, nothing more.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  }
}

bool onBoardHardware() {
  QFile f(qpath(QStringLiteral("/proc/device-tree/compatible")));
  if (!f.open(QIODevice::ReadOnly)) return false;
  return f.readAll().contains("rockchip,rv1126");
}

namespace {
LinuxSystemActions g_default(false);
std::atomic<SystemActions*> g_current{nullptr};
}  // namespace

SystemActions& sys() {
  SystemActions* a = g_current.load(std::memory_order_acquire);
  return a ? *a : g_default;
}

void setSystemActions(SystemActions* actions) {
  g_current.store(actions, std::memory_order_release);
}

}  // namespace platform
