// Scripted input: the script text, its timeline, and the runner's touches,
// keys and screenshots as a window receives them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include "platform/devio.h"
#include "sim/sim_board.h"
#include "sim/sim_script.h"

namespace {

using Kind = sim::ScriptAction::Kind;
using Op = sim::ScriptStep::Op;

// A widget that logs the mouse events it is given, at its own coordinates.
class Pad : public QWidget {
 public:
  using QWidget::QWidget;
  struct Hit {
    QEvent::Type type;
    QPoint pos;
    Qt::MouseButtons buttons;
    qint64 atMs;
  };
  std::vector<Hit> hits;
  QElapsedTimer clock;

 protected:
  void log(QMouseEvent* e) {
    hits.push_back({e->type(), e->pos(), e->buttons(), clock.elapsed()});
    e->accept();
  }
  void mousePressEvent(QMouseEvent* e) override { log(e); }
  void mouseMoveEvent(QMouseEvent* e) override { log(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { log(e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { log(e); }
};

bool runToEnd(sim::ScriptRunner& runner, int ms) {
  bool done = false;
  QObject::connect(&runner, &sim::ScriptRunner::finished, [&] { done = true; });
  QObject::connect(&runner, &sim::ScriptRunner::quitRequested, [&] { done = true; });
  runner.start();
  QElapsedTimer t;
  t.start();
  while (!done && t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return done;
}

}  // namespace

TEST(SimScript, ParsesEveryActionAndNamesTheBadLine) {
  const QString text = QStringLiteral(
      "# a demo\n"
      "\n"
      "wait 250   # settle\n"
      "key shutter tap\n"
      "  key power hold 3500\n"
      "tap 10 20\n"
      "double-tap 359 319\n"
      "long-press 0 0\n"
      "drag 300 160 60 150 250\n"
      "screenshot out/my shot.png\n"
      "quit\n");
  QVector<sim::ScriptAction> a;
  QString error;
  ASSERT_TRUE(sim::parseScript(text, &a, &error)) << error.toStdString();
  ASSERT_EQ(a.size(), 9);
  EXPECT_EQ(a[0].kind, Kind::Wait);
  EXPECT_EQ(a[0].ms, 250);
  EXPECT_EQ(a[0].line, 3);
  EXPECT_EQ(a[1].kind, Kind::Key);
  EXPECT_EQ(a[1].key, sim::BoardKey::Shutter);
  EXPECT_FALSE(a[1].hold);
  EXPECT_EQ(a[2].key, sim::BoardKey::Power);
  EXPECT_TRUE(a[2].hold);
  EXPECT_EQ(a[2].ms, 3500);
  EXPECT_EQ(a[3].kind, Kind::Tap);
  EXPECT_EQ(a[3].from, QPoint(10, 20));
  EXPECT_EQ(a[4].kind, Kind::DoubleTap);
  EXPECT_EQ(a[5].kind, Kind::LongPress);
  EXPECT_EQ(a[6].kind, Kind::Drag);
  EXPECT_EQ(a[6].from, QPoint(300, 160));
  EXPECT_EQ(a[6].to, QPoint(60, 150));
  EXPECT_EQ(a[6].ms, 250);
  EXPECT_EQ(a[7].file, QStringLiteral("out/my shot.png"));
  EXPECT_EQ(a[8].kind, Kind::Quit);
  EXPECT_EQ(a[8].line, 11);

  // Each bad line is refused with its number, and nothing is handed out.
  const struct {
    const char* text;
    const char* mentions;
  } bad[] = {
      {"wait\n", "line 1"},           {"wait 10\nwait -5\n", "line 2"},
      {"wait 1e3\n", "1e3"},          {"key record tap\n", "record"},
      {"key up hold\n", "line 1"},    {"key up press\n", "press"},
      {"key up tap 100\n", "line 1"}, {"tap 360 10\n", "360"},  // outside the window
      {"tap 10\n", "tap X Y"},        {"long-press 5 -1\n", "-1"},
      {"drag 1 2 3 4\n", "drag"},     {"screenshot   # no name\n", "FILE"},
      {"quit now\n", "quit"},         {"\n\n  jump 3\n", "line 3: unknown action 'jump'"},
  };
  for (const auto& b : bad) {
    QVector<sim::ScriptAction> out = a;
    error.clear();
    EXPECT_FALSE(sim::parseScript(QString::fromLatin1(b.text), &out, &error)) << b.text;
    EXPECT_TRUE(error.contains(QLatin1String(b.mentions))) << error.toStdString();
    EXPECT_EQ(out.size(), a.size());
  }
  QTemporaryDir dir;
  EXPECT_FALSE(sim::loadScript(dir.filePath("none.script"), &a, &error));
  EXPECT_TRUE(error.contains("none.script"));
}

TEST(SimScript, TimelineGivesEachGestureItsLength) {
  QVector<sim::ScriptAction> a;
  QString error;
  ASSERT_TRUE(sim::parseScript(QStringLiteral("wait 100\n"
                                              "double-tap 50 60\n"
                                              "key up hold 300\n"
                                              "long-press 5 5\n"
                                              "drag 0 100 100 0 160\n"
                                              "screenshot s.png\n"),
                               &a, &error));
  const QVector<sim::ScriptStep> s = sim::scriptTimeline(a);
  // Double tap: two taps of 60 ms, 150 ms apart.
  ASSERT_GE(s.size(), 8);
  EXPECT_EQ(s[0].op, Op::Press);
  EXPECT_EQ(s[0].atMs, 100);
  EXPECT_EQ(s[0].pos, QPoint(50, 60));
  EXPECT_EQ(s[1].op, Op::Release);
  EXPECT_EQ(s[1].atMs, 160);
  EXPECT_EQ(s[2].op, Op::Press);
  EXPECT_EQ(s[2].atMs, 310);
  EXPECT_EQ(s[3].atMs, 370);
  // Key hold, then the long press of 700 ms.
  EXPECT_EQ(s[4].op, Op::KeyDown);
  EXPECT_EQ(s[4].key, sim::BoardKey::Up);
  EXPECT_EQ(s[5].op, Op::KeyUp);
  EXPECT_EQ(s[5].atMs, 670);
  EXPECT_EQ(s[6].atMs, 670);
  EXPECT_EQ(s[7].atMs, 1370);
  // Drag: moves spread evenly over its time, ending on the end point.
  int moves = 0;
  int i = 9;
  EXPECT_EQ(s[8].op, Op::Press);
  for (; i < s.size() && s[i].op == Op::Move; ++i, ++moves) {
    EXPECT_GT(s[i].atMs, s[i - 1].atMs);
    EXPECT_GT(s[i].pos.x(), s[i - 1].pos.x());
    EXPECT_LT(s[i].pos.y(), s[i - 1].pos.y());
  }
  EXPECT_EQ(moves, 10);
  EXPECT_EQ(s[i - 1].pos, QPoint(100, 0));
  ASSERT_LT(i + 1, s.size());
  EXPECT_EQ(s[i].op, Op::Release);
  EXPECT_EQ(s[i].atMs, 1370 + 160);
  EXPECT_EQ(s[i + 1].op, Op::Screenshot);
  EXPECT_EQ(s[i + 1].file, QStringLiteral("s.png"));
}

// Touches reach the widget under the point at its own coordinates, which
// keeps them until the release; keys reach the board's device; screenshots
// are written in turn.
TEST(SimScript, RunnerPlaysTouchesKeysAndScreenshots) {
  sim::SimBoard board;
  QString error;
  ASSERT_TRUE(board.create({}, &error));
  board.install();
  const int fd1 = platform::dev().open("/dev/input/event1", O_RDONLY | O_NONBLOCK);
  ASSERT_GT(fd1, 0);

  Pad window;
  window.setFixedSize(360, 320);
  Pad right(&window);
  right.setGeometry(200, 0, 160, 320);
  QWidget glass(&window);  // drawn over everything, never touched
  glass.setGeometry(0, 0, 360, 320);
  glass.setAttribute(Qt::WA_TransparentForMouseEvents);
  window.clock.start();
  right.clock.start();

  QVector<sim::ScriptAction> a;
  ASSERT_TRUE(sim::parseScript(QStringLiteral("wait 100\n"
                                              "tap 20 30\n"
                                              "double-tap 250 40\n"
                                              "drag 250 100 50 100 100\n"
                                              "key shutter hold 120\n"
                                              "screenshot one.png\n"
                                              "long-press 10 10\n"
                                              "quit\n"
                                              "tap 1 1\n"),
                               &a, &error));
  sim::ScriptRunner runner(a, &window, &board.keypad());
  QStringList shots;
  runner.setScreenshotWriter([&](const QString& f) {
    shots << f;
    return true;
  });
  bool quit = false, finished = false;
  QObject::connect(&runner, &sim::ScriptRunner::quitRequested, [&] { quit = true; });
  QObject::connect(&runner, &sim::ScriptRunner::finished, [&] { finished = true; });
  ASSERT_TRUE(runToEnd(runner, 5000));
  EXPECT_TRUE(quit);
  EXPECT_FALSE(finished);
  EXPECT_FALSE(runner.isRunning());
  EXPECT_EQ(shots, QStringList{"one.png"});

  // The window: the tap and the long press (nothing after quit).
  ASSERT_EQ(window.hits.size(), 4u);
  EXPECT_EQ(window.hits[0].type, QEvent::MouseButtonPress);
  EXPECT_EQ(window.hits[0].pos, QPoint(20, 30));
  EXPECT_EQ(window.hits[0].buttons, Qt::LeftButton);
  EXPECT_GE(window.hits[0].atMs, 95);  // after the wait
  EXPECT_EQ(window.hits[1].type, QEvent::MouseButtonRelease);
  EXPECT_EQ(window.hits[1].buttons, Qt::NoButton);
  EXPECT_GE(window.hits[1].atMs - window.hits[0].atMs, 55);
  EXPECT_GE(window.hits[3].atMs - window.hits[2].atMs, 690);

  // The right half: the double tap (press, release, press, double-click,
  // release) and the whole drag, even where it left the widget.
  const auto& h = right.hits;
  ASSERT_GE(h.size(), 8u);
  EXPECT_EQ(h[0].pos, QPoint(50, 40));
  EXPECT_EQ(h[2].type, QEvent::MouseButtonPress);
  EXPECT_EQ(h[3].type, QEvent::MouseButtonDblClick);
  EXPECT_EQ(h[4].type, QEvent::MouseButtonRelease);
  EXPECT_GE(h[2].atMs - h[1].atMs, 140);
  EXPECT_EQ(h[5].type, QEvent::MouseButtonPress);
  EXPECT_EQ(h[5].pos, QPoint(50, 100));
  EXPECT_EQ(h.back().type, QEvent::MouseButtonRelease);
  EXPECT_EQ(h.back().pos, QPoint(-150, 100));
  for (size_t i = 6; i + 1 < h.size(); ++i) {
    EXPECT_EQ(h[i].type, QEvent::MouseMove);
    EXPECT_EQ(h[i].buttons, Qt::LeftButton);
  }
  EXPECT_GE(h.back().atMs - h[5].atMs, 95);

  // The shutter key: down, held, up, on the board's first key device.
  std::vector<input_event> ev(8);
  const ssize_t n = platform::dev().read(fd1, ev.data(), ev.size() * sizeof(input_event));
  ASSERT_EQ(n, static_cast<ssize_t>(4 * sizeof(input_event)));
  EXPECT_EQ(ev[0].code, KEY_EDIT);
  EXPECT_EQ(ev[0].value, 1);
  EXPECT_EQ(ev[2].value, 0);
  const double held = (ev[2].input_event_sec - ev[0].input_event_sec) * 1000.0 +
                      (ev[2].input_event_usec - ev[0].input_event_usec) / 1000.0;
  EXPECT_GE(held, 115.0);
  platform::dev().close(fd1);
  board.uninstall();
}
