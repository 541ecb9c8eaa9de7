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

using Op = sim::ScriptStep::Op;

// A widget that logs the mouse events it is given, at its own coordinates.
class Pad : public QWidget {
 public:
  using QWidget::QWidget;
  struct Hit {
    QEvent::Type type;
    QPoint pos;
    Qt::MouseButtons buttons;
  };
  std::vector<Hit> hits;

 protected:
  void log(QMouseEvent* e) {
    hits.push_back({e->type(), e->pos(), e->buttons()});
    e->accept();
  }
  void mousePressEvent(QMouseEvent* e) override { log(e); }
  void mouseMoveEvent(QMouseEvent* e) override { log(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { log(e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { log(e); }
};

}  // namespace

// One action as "line:kind ms key hold from to file".
static QString describe(const sim::ScriptAction& a) {
  return QString::asprintf("%d:%d %d %d%s %d,%d %d,%d %s", a.line, int(a.kind), a.ms, int(a.key),
                           a.hold ? "h" : "", a.from.x(), a.from.y(), a.to.x(), a.to.y(),
                           qPrintable(a.file));
}

// Steps other than moves as op letter and time.
static QString describe(const QVector<sim::ScriptStep>& steps) {
  QString out;
  for (const sim::ScriptStep& s : steps)
    if (s.op != Op::Move) out += QString("%1%2 ").arg("PMRDUSQ"[int(s.op)]).arg(s.atMs);
  return out.trimmed();
}

TEST(SimScript, ParsesEveryActionAndRefusesBadLines) {
  QVector<sim::ScriptAction> a;
  QString error;
  ASSERT_TRUE(sim::parseScript(QStringLiteral("# a demo\n\nwait 250   # settle\n"
                                              "key shutter tap\n"
                                              "  key power hold 3500\n"
                                              "tap 10 20\n"
                                              "double-tap 359 319\n"
                                              "long-press 0 0\n"
                                              "drag 300 160 60 150 250\n"
                                              "screenshot out/my shot.png\n"
                                              "quit\n"),
                               &a, &error))
      << error.toStdString();
  QStringList got;
  for (const auto& x : a) got << describe(x);
  // Kinds: wait 0, key 1, tap 2, double-tap 3, long-press 4, drag 5,
  // screenshot 6, quit 7; keys: shutter 0, power 2. A key tap lasts 80 ms;
  // a touch that does not move ends where it began.
  EXPECT_EQ(got.join('|').toStdString(),
            "3:0 250 0 0,0 0,0 |4:1 80 0 0,0 0,0 |5:1 3500 2h 0,0 0,0 |6:2 0 0 10,20 10,20 |"
            "7:3 0 0 359,319 359,319 |8:4 0 0 0,0 0,0 |9:5 250 0 300,160 60,150 |"
            "10:6 0 0 0,0 0,0 out/my shot.png|11:7 0 0 0,0 0,0 ");

  // Each bad line is refused, and nothing is handed out.
  const char* const bad[] = {
      "wait\n",        "wait 10\nwait -5\n", "wait 1e3\n",       "key record tap\n",
      "key up hold\n", "key up press\n",     "key up tap 100\n",
      "tap 360 10\n",  // outside the window
      "tap 10\n",      "long-press 5 -1\n",  "drag 1 2 3 4\n",   "screenshot   # no name\n",
      "quit now\n",    "\n\n  jump 3\n"};
  for (const char* b : bad) {
    QVector<sim::ScriptAction> out = a;
    EXPECT_FALSE(sim::parseScript(QString::fromLatin1(b), &out, &error)) << b;
    EXPECT_EQ(out.size(), a.size());
  }
  QTemporaryDir dir;
  EXPECT_FALSE(sim::loadScript(dir.filePath("none.script"), &a, &error));
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
  // Double tap: two taps of 60 ms, 150 ms apart; the key hold; a long press
  // of 700 ms; the drag; the screenshot once the drag is over.
  EXPECT_EQ(describe(s), "P100 R160 P310 R370 D370 U670 P670 R1370 P1370 R1530 S1530");
  ASSERT_GE(s.size(), 9);
  EXPECT_EQ(s[0].pos, QPoint(50, 60));
  EXPECT_EQ(s[4].key, sim::BoardKey::Up);
  EXPECT_EQ(s.back().file, QStringLiteral("s.png"));
  // Drag: moves spread evenly over its time, ending on the end point.
  int i = 9;
  for (; i < s.size() && s[i].op == Op::Move; ++i) {
    EXPECT_GT(s[i].atMs, s[i - 1].atMs);
    EXPECT_GT(s[i].pos.x(), s[i - 1].pos.x());
    EXPECT_LT(s[i].pos.y(), s[i - 1].pos.y());
  }
  EXPECT_EQ(i - 9, 10);
  EXPECT_EQ(s[i - 1].pos, QPoint(100, 0));
}

TEST(SimScript, ASlowDragMovesNoMoreOftenThanThereArePixels) {
  QVector<sim::ScriptAction> a;
  QString error;
  ASSERT_TRUE(sim::parseScript(QStringLiteral("drag 10 10 14 12 3600000\n"
                                              "drag 20 20 20 20 3600000\n"),
                               &a, &error));
  const QVector<sim::ScriptStep> s = sim::scriptTimeline(a);
  // Press, 4 moves, release; press, 1 move, release: each still lasts its hour.
  ASSERT_EQ(s.size(), 9);
  EXPECT_EQ(s[1].pos, QPoint(11, 10));
  EXPECT_EQ(s[4].pos, QPoint(14, 12));
  EXPECT_EQ(s[5].atMs, 3600000);
  EXPECT_EQ(s[8].atMs, 7200000);
  EXPECT_EQ(s[7].pos, QPoint(20, 20));
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
  runner.start();
  QElapsedTimer t;
  t.start();
  while (!quit && !finished && t.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  EXPECT_TRUE(quit);
  EXPECT_FALSE(finished);
  EXPECT_FALSE(runner.isRunning());
  EXPECT_EQ(shots, QStringList{"one.png"});

  // Presses (P), releases (R) and double-clicks (D) with their points and
  // buttons, moves left out.
  auto trace = [](const std::vector<Pad::Hit>& hits) {
    QString out;
    for (const Pad::Hit& h : hits)
      if (h.type != QEvent::MouseMove)
        out +=
            QString::asprintf("%c%d,%d/%d ", "??PRD"[h.type], h.pos.x(), h.pos.y(), int(h.buttons));
    return out.trimmed();
  };
  // The window: the tap and the long press (nothing after quit). The gestures'
  // timing is the timeline's.
  EXPECT_EQ(trace(window.hits), "P20,30/1 R20,30/0 P10,10/1 R10,10/0");

  // The right half: the double tap and the whole drag, even where it left
  // the widget.
  const auto& h = right.hits;
  EXPECT_EQ(trace(h), "P50,40/1 R50,40/0 P50,40/1 D50,40/1 R50,40/0 P50,100/1 R-150,100/0");
  ASSERT_GE(h.size(), 8u);
  for (size_t i = 6; i + 1 < h.size(); ++i) {
    EXPECT_EQ(h[i].type, QEvent::MouseMove);
    EXPECT_EQ(h[i].buttons, Qt::LeftButton);
  }

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
