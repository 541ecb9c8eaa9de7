#pragma once
// Scripted input for demonstrations and end-to-end runs: a small text of
// timed actions, played while the application runs as a person would play
// them. Keys go through the board's key devices; touches arrive as mouse
// presses, moves and releases at window coordinates on the widget under the
// finger.
//
//   wait MS                          pause
//   key shutter|up|power tap         press and let go
//   key shutter|up|power hold MS     press, hold MS, let go
//   tap X Y                          press, 60 ms, release
//   double-tap X Y                   two taps 150 ms apart
//   long-press X Y                   press, 700 ms, release
//   drag X1 Y1 X2 Y2 MS              press, move over MS, release
//   screenshot FILE                  save the panel with the interface as PNG
//   battery PCT                      the fuel gauge reads PCT (0..100)
//   charger on|off                   external power connected or not
//   card remove|insert               take the SD card out or put it in
//   motion still|handle              lay the device down or pick it up
//   dialog confirm|cancel            answer the device's open dialog
//   quit                             end the simulator
//
// '#' starts a comment; blank lines are allowed. Actions run one after the
// other: an action starts when the one before it has ended. A step that opens
// a modal dialog does not hold the script up: the dialog's own event loop
// runs the steps that follow, so a later tap on its buttons (or `dialog`)
// answers it.
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVector>
#include <functional>

#include "sim/sim_input.h"
#include "sim/touch_input.h"

class QWidget;

namespace sim {

class PowerControls;

// What the power hardware actions change.
enum class BoardChange { Battery, Charger, Card, Motion };

struct ScriptAction {
  enum class Kind { Wait, Key, Tap, DoubleTap, LongPress, Drag, Screenshot, Quit, Board, Dialog };
  Kind kind = Kind::Wait;
  int line = 0;  // 1-based line of the script
  int ms = 0;    // wait, key hold, drag duration
  BoardKey key = BoardKey::Shutter;
  bool hold = false;                          // key: hold for ms rather than tap
  QPoint from, to;                            // touches: from; drag: from and to
  QString file;                               // screenshot
  BoardChange change = BoardChange::Battery;  // board
  // board: percent, or 1 for on/insert/handle and 0 for off/remove/still;
  // dialog: 1 confirm, 0 cancel
  int value = 0;
};

// Timings of the touches and key taps, in milliseconds.
constexpr int kScriptTapMs = 60;
constexpr int kScriptDoubleTapGapMs = 150;
constexpr int kScriptLongPressMs = 700;
constexpr int kScriptKeyTapMs = 80;
constexpr int kScriptMoveStepMs = 16;  // one mouse move per display frame or so

// Parses a script. Points must lie inside `window`. False with "line N: ..."
// in *error for the first bad line; *out is then left alone.
bool parseScript(const QString& text, QVector<ScriptAction>* out, QString* error,
                 QSize window = QSize(360, 320));
// Reads and parses a script file; the error names the file.
bool loadScript(const QString& file, QVector<ScriptAction>* out, QString* error,
                QSize window = QSize(360, 320));

// One primitive input step at a time since the script started.
struct ScriptStep {
  enum class Op { Press, Move, Release, KeyDown, KeyUp, Screenshot, Quit, Board, Dialog };
  Op op = Op::Press;
  qint64 atMs = 0;
  QPoint pos;
  BoardKey key = BoardKey::Shutter;
  QString file;
  BoardChange change = BoardChange::Battery;
  int value = 0;
  int line = 0;
};

// The timeline of a script: steps in order of time (equal times keep their order).
QVector<ScriptStep> scriptTimeline(const QVector<ScriptAction>& actions);

// Makes one power hardware change; false when it could not be made.
bool applyBoardChange(PowerControls* controls, BoardChange change, int value);
// Accepts (confirm) or rejects the topmost dialog the device has open over
// `window`, as its Confirm or Cancel button would; false when none is open.
bool answerDeviceDialog(QWidget* window, bool confirm);

// Plays a script on a window. Steps run on the interface thread's event
// loop, each at its time since start(); a step that comes late (a busy
// interface) runs at once and moves the rest back by as much, so gestures
// keep their lengths.
class ScriptRunner : public QObject {
  Q_OBJECT

 public:
  // `keypad` may be null (keys are then skipped with a line on stderr).
  ScriptRunner(const QVector<ScriptAction>& actions, QWidget* window, SimKeypad* keypad,
               QObject* parent = nullptr);
  ~ScriptRunner() override;

  // How a screenshot is taken and written; false when the file could not be
  // written. By default the window's grab is saved.
  void setScreenshotWriter(std::function<bool(const QString& file)> writer);
  // Where the power hardware actions go; without one they are skipped with a
  // line on stderr. Must outlive the runner.
  void setPowerControls(PowerControls* controls) { power_ = controls; }

  void start();
  bool isRunning() const { return timer_.isActive(); }
  int screenshotFailures() const { return shotFailures_; }

 signals:
  void finished();       // every step done and no quit among them
  void quitRequested();  // the script's quit step

 private:
  void next();
  void scheduleNext();
  void run(const ScriptStep& step);
  void sendMouse(int type, QPoint windowPos);

  QVector<ScriptStep> steps_;
  int index_ = 0;
  QPointer<QWidget> window_;
  SimKeypad* keypad_;
  PowerControls* power_ = nullptr;
  std::function<bool(const QString&)> writer_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 shift_ = 0;        // how far the steps have been moved back
  TouchInput touch_;
  int shotFailures_ = 0;
  bool done_ = false;  // quit or finished has been emitted
};

}  // namespace sim
