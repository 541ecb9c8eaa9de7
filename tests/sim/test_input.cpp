// The board's keys on the PC: the input devices as the key reader sees them,
// and the keyboard of the simulator's window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/devio.h"
#include "sim/keyboard_keys.h"
#include "sim/sim_board.h"

namespace {

// Reads every whole record waiting on fd.
std::vector<input_event> drain(int fd) {
  std::vector<input_event> out;
  input_event ev;
  while (platform::dev().read(fd, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev))
    out.push_back(ev);
  return out;
}

// Records as "code=value" for keys and "S" for report markers.
std::string summary(const std::vector<input_event>& events) {
  std::string out;
  for (const input_event& e : events)
    out += e.type == EV_SYN ? "S " : std::to_string(e.code) + "=" + std::to_string(e.value) + " ";
  return out;
}

// A board installed for one test, taken out again after it.
struct Board {
  Board() {
    QString error;
    EXPECT_TRUE(board.create({}, &error)) << error.toStdString();
    board.install();
  }
  ~Board() { board.uninstall(); }
  sim::SimBoard board;
};

}  // namespace

TEST(SimInput, DevicesDeliverKeyRecordsWithAReportMarker) {
  Board b;
  sim::SimKeypad& pad = b.board.keypad();
  platform::DeviceIo& io = platform::dev();
  const int fd1 = io.open("/dev/input/event1", O_RDONLY | O_NONBLOCK);
  const int fd2 = io.open("/dev/input/event2", O_RDONLY | O_NONBLOCK);
  ASSERT_GT(fd1, 0);
  ASSERT_GT(fd2, 0);
  EXPECT_LT(io.open("/dev/input/event1", O_RDWR), 0);  // read-only nodes

  EXPECT_TRUE(drain(fd1).empty());  // nothing yet, and no blocking
  ASSERT_TRUE(pad.press(sim::BoardKey::Shutter));
  ASSERT_TRUE(pad.press(sim::BoardKey::Shutter));  // already down: nothing more
  ASSERT_TRUE(pad.release(sim::BoardKey::Shutter));
  ASSERT_TRUE(pad.press(sim::BoardKey::Power));
  const std::vector<input_event> one = drain(fd1);
  ASSERT_EQ(summary(one), "176=1 S 176=0 S ");  // KEY_EDIT
  EXPECT_GT(one[0].input_event_sec, 0);
  EXPECT_EQ(summary(drain(fd2)), "116=1 S ");  // KEY_POWER
  pad.releaseAll();
  EXPECT_EQ(summary(drain(fd2)), "116=0 S ");

  // Whole records only: a buffer too small for one is refused.
  ASSERT_TRUE(pad.press(sim::BoardKey::Up));
  char small[sizeof(input_event) - 1];
  EXPECT_EQ(io.read(fd1, small, sizeof small), -1);
  input_event three[3];
  EXPECT_EQ(io.read(fd1, three, sizeof three - 1), static_cast<ssize_t>(2 * sizeof(input_event)));
  EXPECT_EQ(three[0].code, KEY_UP);
  EXPECT_EQ(three[1].type, EV_SYN);
  io.close(fd1);
  io.close(fd2);
  EXPECT_EQ(b.board.io().openCount(), 0u);
}

TEST(SimInput, KeyboardHoldsBoardKeysAsLongAsThePcKeys) {
  Board b;
  sim::SimKeypad& pad = b.board.keypad();
  QWidget window;
  QWidget child(&window);
  QWidget other;
  new sim::KeyboardKeys(&pad, &window);
  auto key = [](QWidget* to, QEvent::Type type, int k, bool repeat = false, ulong at = 0) {
    QKeyEvent e(type, k, Qt::NoModifier, QString(), repeat);
    e.setTimestamp(at);
    QCoreApplication::sendEvent(to, &e);
    return e.isAccepted();
  };
  // Longer than a held-back release waits for the press that would make it a repeat.
  auto settle = [] { QTest::qWait(3 * sim::KeyboardKeys::kReleaseHoldBackMs); };
  const int fd1 = platform::dev().open("/dev/input/event1", O_RDONLY | O_NONBLOCK);
  ASSERT_GT(fd1, 0);

  key(&child, QEvent::KeyPress, Qt::Key_Space);
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Shutter));
  for (int i = 0; i < 3; ++i) {  // the PC's auto-repeat: release and press again
    key(&child, QEvent::KeyRelease, Qt::Key_Space, true);
    key(&child, QEvent::KeyPress, Qt::Key_Space, true);
  }
  // An X server's repeat as Qt may pass it on, unmarked: a release and a
  // press at one instant (give or take a millisecond), many times a second.
  for (ulong at = 1500; at < 3000; at += 33) {
    key(&child, QEvent::KeyRelease, Qt::Key_Space, false, at);
    key(&child, QEvent::KeyPress, Qt::Key_Space, false, at + at % 2);
  }
  settle();
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Shutter));
  key(&window, QEvent::KeyRelease, Qt::Key_Space, false, 3100);
  settle();
  EXPECT_FALSE(pad.isDown(sim::BoardKey::Shutter));
  EXPECT_EQ(summary(drain(fd1)), "176=1 S 176=0 S ");  // one press, one release
  // A person's two quick taps stay two, even inside the hold-back.
  for (ulong at : {4000, 4100}) {
    key(&window, QEvent::KeyPress, Qt::Key_Space, false, at);
    key(&window, QEvent::KeyRelease, Qt::Key_Space, false, at + 60);
  }
  settle();
  EXPECT_EQ(summary(drain(fd1)), "176=1 S 176=0 S 176=1 S 176=0 S ");

  key(&window, QEvent::KeyPress, Qt::Key_U);
  key(&window, QEvent::KeyPress, Qt::Key_P);
  key(&window, QEvent::KeyPress, Qt::Key_X);  // means nothing
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Up));
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Power));
  // The keyboard leaving the window lets go of everything held.
  QEvent deactivate(QEvent::WindowDeactivate);
  QCoreApplication::sendEvent(&window, &deactivate);
  EXPECT_FALSE(pad.isDown(sim::BoardKey::Up));
  EXPECT_FALSE(pad.isDown(sim::BoardKey::Power));
  EXPECT_EQ(summary(drain(fd1)), "103=1 S 103=0 S ");  // KEY_UP

  // Keys typed into another window are not the board's.
  key(&other, QEvent::KeyPress, Qt::Key_Space);
  EXPECT_FALSE(pad.isDown(sim::BoardKey::Shutter));
  platform::dev().close(fd1);
}
