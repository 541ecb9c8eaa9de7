#include "sim/sim_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

SimInputDevice::SimInputDevice() {
  int ends[2];
  // Neither end may ever block: the reader polls, and the simulator writes
  // from its interface thread.
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
    std::fprintf(stderr, "SimInputDevice: pipe: %s\n", std::strerror(errno));
    return;
  }
  readEnd_.reset(ends[0]);
  writeEnd_.reset(ends[1]);
}

SimInputDevice::~SimInputDevice() {
  std::lock_guard<std::mutex> lock(mu_);
  fds_.clear();
}

bool SimInputDevice::writeRecords(const input_event* records, size_t n) {
  if (!writeEnd_.valid()) return false;
  const size_t bytes = n * sizeof(input_event);
  // Up to PIPE_BUF bytes go in whole or not at all, so a reader never sees
  // half a record, nor a key record without its marker.
  const ssize_t w = ::write(writeEnd_.get(), records, bytes);
  if (w == static_cast<ssize_t>(bytes)) return true;
  std::fprintf(stderr, "SimInputDevice: key record lost (%s)\n",
               w < 0 ? std::strerror(errno) : "short write");
  return false;
}

bool SimInputDevice::emitKey(int code, int value) {
  timeval now;
  ::gettimeofday(&now, nullptr);
  input_event ev[2];
  std::memset(ev, 0, sizeof ev);
  for (input_event& e : ev) {
    e.input_event_sec = now.tv_sec;
    e.input_event_usec = now.tv_usec;
  }
  ev[0].type = EV_KEY;
  ev[0].code = static_cast<__u16>(code);
  ev[0].value = value;
  ev[1].type = EV_SYN;
  ev[1].code = SYN_REPORT;
  ev[1].value = 0;
  return writeRecords(ev, 2);
}

bool SimInputDevice::emitRecord(int type, int code, int value) {
  timeval now;
  ::gettimeofday(&now, nullptr);
  input_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.input_event_sec = now.tv_sec;
  ev.input_event_usec = now.tv_usec;
  ev.type = static_cast<__u16>(type);
  ev.code = static_cast<__u16>(code);
  ev.value = value;
  return writeRecords(&ev, 1);
}

size_t SimInputDevice::pendingRecords() const {
  int bytes = 0;
  if (!readEnd_.valid() || ::ioctl(readEnd_.get(), FIONREAD, &bytes) != 0) return 0;
  return static_cast<size_t>(bytes) / sizeof(input_event);
}

int SimInputDevice::open(int flags) {
  if (!readEnd_.valid()) {
    errno = ENODEV;
    return -1;
  }
  // The key reader only reads; nothing injects records through the node.
  if ((flags & O_ACCMODE) != O_RDONLY) {
    errno = EACCES;
    return -1;
  }
  const int fd = ::fcntl(readEnd_.get(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  fds_.emplace(fd, platform::UniqueFd(fd));
  return fd;
}

void SimInputDevice::release(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  fds_.erase(fd);
}

ssize_t SimInputDevice::read(int fd, void* buf, size_t count) {
  // Like evdev: whole records only, and a buffer too small for one is refused.
  if (count < sizeof(input_event)) {
    errno = EINVAL;
    return -1;
  }
  count -= count % sizeof(input_event);
  return ::read(fd, buf, count);
}

BoardKeyCode boardKeyCode(BoardKey key) {
  switch (key) {
    case BoardKey::Shutter:
      return {1, KEY_EDIT};
    case BoardKey::Up:
      return {1, KEY_UP};
    case BoardKey::Power:
      break;
  }
  return {2, KEY_POWER};
}

bool boardKeyFromName(const QString& name, BoardKey* key) {
  if (name == QLatin1String("shutter"))
    *key = BoardKey::Shutter;
  else if (name == QLatin1String("up"))
    *key = BoardKey::Up;
  else if (name == QLatin1String("power"))
    *key = BoardKey::Power;
  else
    return false;
  return true;
}

SimKeypad::SimKeypad()
    : event1_(std::make_shared<SimInputDevice>()), event2_(std::make_shared<SimInputDevice>()) {}

void SimKeypad::addTo(SimDeviceIo& io) {
  io.addDevice(kEvent1Path, event1_);
  io.addDevice(kEvent2Path, event2_);
}

bool SimKeypad::setKey(BoardKey key, bool down) {
  const int index = static_cast<int>(key);
  std::lock_guard<std::mutex> lock(mu_);
  if (down_[index] == down) return true;
  const BoardKeyCode c = boardKeyCode(key);
  if (!device(c.device).emitKey(c.code, down ? 1 : 0)) return false;
  down_[index] = down;
  return true;
}

bool SimKeypad::isDown(BoardKey key) const {
  std::lock_guard<std::mutex> lock(mu_);
  return down_[static_cast<int>(key)];
}

void SimKeypad::releaseAll() {
  for (BoardKey k : {BoardKey::Shutter, BoardKey::Up, BoardKey::Power}) release(k);
}

}  // namespace sim
