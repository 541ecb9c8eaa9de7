#pragma once
// Runs a program as the device runs its helpers (posix_spawn, no shell) and
// hands back what it printed. Not QProcess: its fork with a process
// descriptor is refused by user-mode emulators, where the suite also runs.
#include <fcntl.h>
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

extern char** environ;

namespace testsupport {

struct RunResult {
  int exitStatus = -1;  // -1: not run or not ended normally
  QByteArray out;
  QByteArray err;
};

inline RunResult runCapturing(const QString& program, const QStringList& args) {
  RunResult r;
  QTemporaryDir dir;
  if (!dir.isValid()) return r;
  const QByteArray outPath = QFile::encodeName(dir.filePath(QStringLiteral("out")));
  const QByteArray errPath = QFile::encodeName(dir.filePath(QStringLiteral("err")));
  std::vector<QByteArray> words{QFile::encodeName(program)};
  for (const QString& a : args) words.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, outPath.constData(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&files, 2, errPath.constData(), O_WRONLY | O_CREAT, 0600);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) return r;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) r.exitStatus = WEXITSTATUS(status);
  QFile out(QString::fromLocal8Bit(outPath)), err(QString::fromLocal8Bit(errPath));
  if (out.open(QIODevice::ReadOnly)) r.out = out.readAll();
  if (err.open(QIODevice::ReadOnly)) r.err = err.readAll();
  return r;
}

}  // namespace testsupport
