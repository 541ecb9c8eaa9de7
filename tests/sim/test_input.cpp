// The board's keys on the PC: the input devices as the key reader sees them,
// and the keyboard of the simulator's window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>
#include <string>
#include <vector>

#include "devices/rv_key.h"
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

// The key reader on the installed board with a short tick, collecting values.
struct Reader {
  Reader() {
    keys.setTickMs(kTickMs);
    // Queued to this thread, as the main window receives them.
    QObject::connect(&keys, &Rv_key::ck_key, &keys,
                     [this](user_key_value_e v) { values.push_back(v); });
    keys.start();
  }
  ~Reader() {
    keys.stop();
    keys.wait();
  }
  // Runs queued signals for `ms`.
  void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(2);
    }
  }
  static constexpr int kTickMs = 5;
  Rv_key keys;
  std::vector<int> values;
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

// The key reader through the pipes, report markers and all: each marker is
// read and passed over as idle input, which must not bend the countdowns.
TEST(SimInput, KeyReaderTellsTapsHoldsAndRepeatsApart) {
  Board b;
  sim::SimKeypad& pad = b.board.keypad();
  Reader r;
  using sim::BoardKey;

  pad.press(BoardKey::Shutter);
  r.settle(30);
  pad.release(BoardKey::Shutter);
  r.settle(60);
  EXPECT_EQ(r.values, (std::vector<int>{USER_KEY_SHUTTER}));

  // Held: one record value once the countdown runs out, nothing on release;
  // the PC's repeats (value 2 with markers) change nothing.
  r.values.clear();
  pad.press(BoardKey::Shutter);
  for (int i = 0; i < 5; ++i) b.board.keypad().device(1).emitKey(KEY_EDIT, 2);
  r.settle(Rv_key::kHoldTicks * Reader::kTickMs * 3 + 100);
  pad.release(BoardKey::Shutter);
  r.settle(60);
  EXPECT_EQ(r.values, (std::vector<int>{USER_KEY_RECORD}));

  // Up: only its release counts; power: a short press is nothing, a hold one 9.
  r.values.clear();
  pad.press(BoardKey::Up);
  r.settle(40);
  EXPECT_TRUE(r.values.empty());
  pad.release(BoardKey::Up);
  pad.press(BoardKey::Power);
  r.settle(Reader::kTickMs * 5);
  pad.release(BoardKey::Power);
  r.settle(Rv_key::kPowerTicks * Reader::kTickMs * 2 + 100);
  EXPECT_EQ(r.values, (std::vector<int>{USER_KEY_SR_TOGGLE}));
  pad.press(BoardKey::Power);
  r.settle(Rv_key::kPowerTicks * Reader::kTickMs * 3 + 200);
  pad.release(BoardKey::Power);
  r.settle(60);
  EXPECT_EQ(r.values, (std::vector<int>{USER_KEY_SR_TOGGLE, USER_KEY_POWER_OFF}));
  // The reader drained everything that was written.
  EXPECT_EQ(pad.device(1).pendingRecords() + pad.device(2).pendingRecords(), 0u);
}

TEST(SimInput, KeyboardHoldsBoardKeysAsLongAsThePcKeys) {
  Board b;
  sim::SimKeypad& pad = b.board.keypad();
  QWidget window;
  QWidget child(&window);
  QWidget other;
  new sim::KeyboardKeys(&pad, &window);
  auto key = [](QWidget* to, QEvent::Type type, int k, bool repeat = false) {
    QKeyEvent e(type, k, Qt::NoModifier, QString(), repeat);
    QCoreApplication::sendEvent(to, &e);
    return e.isAccepted();
  };
  const int fd1 = platform::dev().open("/dev/input/event1", O_RDONLY | O_NONBLOCK);
  ASSERT_GT(fd1, 0);

  key(&child, QEvent::KeyPress, Qt::Key_Space);
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Shutter));
  for (int i = 0; i < 3; ++i) {  // the PC's auto-repeat: release and press again
    key(&child, QEvent::KeyRelease, Qt::Key_Space, true);
    key(&child, QEvent::KeyPress, Qt::Key_Space, true);
  }
  EXPECT_TRUE(pad.isDown(sim::BoardKey::Shutter));
  key(&window, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_FALSE(pad.isDown(sim::BoardKey::Shutter));
  EXPECT_EQ(summary(drain(fd1)), "176=1 S 176=0 S ");  // one press, one release

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
