#include "platform/system_actions.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
    diag::note("system", "cannot remove %s: %s", p.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

int LinuxSystemActions::runProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (rc != 0) {
    diag::note("system", "cannot run %s: %s", argv[0].c_str(), std::strerror(rc));
    return -1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (!WIFEXITED(status)) return -1;
  // A spawn that cannot tell its caller that the exec failed (a C library
  // whose spawn is a plain fork, or a user-mode emulator) ends the child
  // with 127 instead, as POSIX allows: that too is a program not run.
  if (WEXITSTATUS(status) == 127) {
    diag::note("system", "cannot run %s (exit status 127)", argv[0].c_str());
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
      if (dev().write(fd, a, 2) != 2) diag::note("system", "watchdog write failed");
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
