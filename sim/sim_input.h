#pragma once
// The board's hardware keys on the PC. Each input device ("/dev/input/event1"
// with the shutter/record and up keys, "/dev/input/event2" with the power key)
// is a pipe: every open gets a descriptor onto its read end, and the keypad
// writes the kernel's own input records into the write end, a key record
// followed by a report marker as the kernel sends them. The program's key
// reader cannot tell them from the board's.
#include <linux/input.h>

#include <QString>
#include <memory>
#include <mutex>
#include <map>
#include <set>

#include "sim/sim_device_io.h"
#include "platform/unique_fd.h"

namespace sim {

class SimInputDevice : public SimDevice {
 public:
  SimInputDevice();
  ~SimInputDevice() override;

  bool ok() const { return readEnd_.valid(); }
  // Queues one key record (value 1 press, 0 release, 2 repeat) and the
  // report marker after it. False (one line on stderr) when the pipe is full
  // or broken: the key is then lost, as a flooded device would lose it.
  bool emitKey(int code, int value);
  // Queues one arbitrary record, for tests.
  bool emitRecord(int type, int code, int value);
  // Records written but not read yet.
  size_t pendingRecords() const;

  int open(int flags) override;
  void release(int fd) override;
  ssize_t read(int fd, void* buf, size_t count) override;

 private:
  bool writeRecords(const input_event* records, size_t n);

  platform::UniqueFd readEnd_;
  platform::UniqueFd writeEnd_;
  mutable std::mutex mu_;
  std::map<int, platform::UniqueFd> fds_;
};

// The three keys of the board.
enum class BoardKey { Shutter, Up, Power };

// Which device carries a key and under which code.
struct BoardKeyCode {
  int device;  // 1 or 2: "/dev/input/event1" or "/dev/input/event2"
  int code;    // KEY_EDIT, KEY_UP or KEY_POWER
};
BoardKeyCode boardKeyCode(BoardKey key);
// "shutter", "up", "power"; false for any other name.
bool boardKeyFromName(const QString& name, BoardKey* key);

class SimKeypad {
 public:
  static constexpr const char* kEvent1Path = "/dev/input/event1";
  static constexpr const char* kEvent2Path = "/dev/input/event2";

  SimKeypad();
  // Registers both devices under their system paths.
  void addTo(SimDeviceIo& io);

  // Presses or releases a key. A press of a key already down, or a release of
  // one already up, writes nothing (returns true): the keys have no repeat.
  bool setKey(BoardKey key, bool down);
  bool press(BoardKey key) { return setKey(key, true); }
  bool release(BoardKey key) { return setKey(key, false); }
  bool isDown(BoardKey key) const;
  // Releases whatever is held (window lost focus, script ended).
  void releaseAll();

  SimInputDevice& device(int which) { return which == 2 ? *event2_ : *event1_; }

 private:
  std::shared_ptr<SimInputDevice> event1_;
  std::shared_ptr<SimInputDevice> event2_;
  mutable std::mutex mu_;
  bool down_[3] = {false, false, false};
};

}  // namespace sim
