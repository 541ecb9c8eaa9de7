#pragma once
// What the program asks of the operating system beyond device I/O: flushing
// file systems, removing a file, running a helper program, and ending the
// process at power-off. Nothing here goes through a shell, so no path is ever
// parsed as a command.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What runProgram returns for a program it had to kill at its deadline.
inline constexpr int kProgramTimedOut = -2;

class SystemActions {
 public:
  virtual ~SystemActions() = default;
  // sync(2): media writes and deletions are on the card before we go on.
  virtual void syncFilesystems() = 0;
  // Removes a file given by system path; false (with one diagnostic line) on failure.
  virtual bool removeFile(const std::string& systemPath) = 0;
  // Runs argv[0] (looked up in PATH) with the arguments as given and waits,
  // at most `timeoutMs` when that is not negative: a program still running
  // then is killed (with whatever it started) and kProgramTimedOut returned.
  // Otherwise returns the exit status, or -1 if it could not be run or died
  // of a signal.
  virtual int runProgram(const std::vector<std::string>& argv, int64_t timeoutMs = -1) = 0;
  // The last step of power-off. On the board: feed the watchdog and reboot.
  // Anywhere else: end the application cleanly (its event loop returns 0).
  virtual void finalExit() = 0;
};

class LinuxSystemActions : public SystemActions {
 public:
  // onBoard: whether finalExit really reboots. Only a build for the board that
  // also finds itself on the board's hardware passes true (see onBoardHardware).
  explicit LinuxSystemActions(bool onBoard);
  void syncFilesystems() override;
  bool removeFile(const std::string& systemPath) override;
  int runProgram(const std::vector<std::string>& argv, int64_t timeoutMs = -1) override;
  void finalExit() override;
  bool onBoard() const { return onBoard_; }

 private:
  bool onBoard_;
};

// True when the device tree names the board's system-on-chip. Read through
// the path mapping, so under a simulated root it is false.
bool onBoardHardware();

// The process-wide instance (default: LinuxSystemActions(false), which never
// reboots). The board's entry installs a board-enabled one; tests install
// recorders. The caller keeps ownership; nullptr restores the default.
SystemActions& sys();
void setSystemActions(SystemActions* actions);

}  // namespace platform
