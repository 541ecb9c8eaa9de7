#include "sim/sim_script.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "sim/power_controls.h"
#include "sim/screenshot.h"

namespace sim {
namespace {

constexpr int kMaxMs = 3'600'000;  // an hour: longer is a typing error

struct LineParser {
  QStringList words;
  int line;
  QString* error;

  bool fail(const QString& message) {
    *error = QStringLiteral("line %1: %2").arg(line).arg(message);
    return false;
  }
  bool count(int n, const char* usage) {
    if (words.size() == n) return true;
    return fail(QStringLiteral("expected '%1'").arg(QLatin1String(usage)));
  }
  bool number(int index, int lo, int hi, const char* what, int* out) {
    bool ok = false;
    const int v = words[index].toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
      return fail(QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                      .arg(QLatin1String(what))
                      .arg(lo)
                      .arg(hi)
                      .arg(words[index]));
    *out = v;
    return true;
  }
  bool point(int index, QSize window, QPoint* out) {
    int x = 0, y = 0;
    if (!number(index, 0, window.width() - 1, "X", &x) ||
        !number(index + 1, 0, window.height() - 1, "Y", &y))
      return false;
    *out = QPoint(x, y);
    return true;
  }
};

}  // namespace

bool parseScript(const QString& text, QVector<ScriptAction>* out, QString* error, QSize window) {
  QVector<ScriptAction> actions;
  const QStringList lines = text.split(QLatin1Char('\n'));
  static const QRegularExpression space(QStringLiteral("\\s+"));
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    const int hash = line.indexOf(QLatin1Char('#'));
    if (hash >= 0) line.truncate(hash);
    line = line.trimmed();
    if (line.isEmpty()) continue;
    LineParser p{line.split(space, Qt::SkipEmptyParts), i + 1, error};
    ScriptAction a;
    a.line = i + 1;
    const QString verb = p.words[0];
    if (verb == QLatin1String("wait")) {
      a.kind = ScriptAction::Kind::Wait;
      if (!p.count(2, "wait MS") || !p.number(1, 0, kMaxMs, "MS", &a.ms)) return false;
    } else if (verb == QLatin1String("key")) {
      a.kind = ScriptAction::Kind::Key;
      if (p.words.size() < 3) return p.fail(QStringLiteral("expected 'key NAME tap|hold MS'"));
      if (!boardKeyFromName(p.words[1], &a.key))
        return p.fail(QStringLiteral("no key '%1' (shutter, up or power)").arg(p.words[1]));
      if (p.words[2] == QLatin1String("tap")) {
        if (!p.count(3, "key NAME tap")) return false;
        a.ms = kScriptKeyTapMs;
      } else if (p.words[2] == QLatin1String("hold")) {
        if (!p.count(4, "key NAME hold MS") || !p.number(3, 1, kMaxMs, "MS", &a.ms)) return false;
        a.hold = true;
      } else {
        return p.fail(QStringLiteral("a key is 'tap' or 'hold MS', not '%1'").arg(p.words[2]));
      }
    } else if (verb == QLatin1String("tap") || verb == QLatin1String("double-tap") ||
               verb == QLatin1String("long-press")) {
      a.kind = verb == QLatin1String("tap")          ? ScriptAction::Kind::Tap
               : verb == QLatin1String("double-tap") ? ScriptAction::Kind::DoubleTap
                                                     : ScriptAction::Kind::LongPress;
      const QString usage = verb + QStringLiteral(" X Y");
      if (!p.count(3, qPrintable(usage)) || !p.point(1, window, &a.from)) return false;
      a.to = a.from;
    } else if (verb == QLatin1String("drag")) {
      a.kind = ScriptAction::Kind::Drag;
      if (!p.count(6, "drag X1 Y1 X2 Y2 MS") || !p.point(1, window, &a.from) ||
          !p.point(3, window, &a.to) || !p.number(5, 0, kMaxMs, "MS", &a.ms))
        return false;
    } else if (verb == QLatin1String("screenshot")) {
      a.kind = ScriptAction::Kind::Screenshot;
      // The name is the rest of the line, spaces and all.
      a.file = line.mid(verb.size()).trimmed();
      if (a.file.isEmpty()) return p.fail(QStringLiteral("expected 'screenshot FILE'"));
    } else if (verb == QLatin1String("battery")) {
      a.kind = ScriptAction::Kind::Board;
      a.change = BoardChange::Battery;
      if (!p.count(2, "battery PCT") || !p.number(1, 0, 100, "PCT", &a.value)) return false;
    } else if (verb == QLatin1String("charger") || verb == QLatin1String("card") ||
               verb == QLatin1String("motion")) {
      a.kind = ScriptAction::Kind::Board;
      // The first word of each pair is the one that sets the value to 1.
      struct Choice {
        BoardChange change;
        const char* yes;
        const char* no;
      };
      const Choice c = verb == QLatin1String("charger") ? Choice{BoardChange::Charger, "on", "off"}
                       : verb == QLatin1String("card")
                           ? Choice{BoardChange::Card, "insert", "remove"}
                           : Choice{BoardChange::Motion, "handle", "still"};
      a.change = c.change;
      const QString usage =
          QStringLiteral("%1 %2|%3").arg(verb, QLatin1String(c.yes), QLatin1String(c.no));
      if (!p.count(2, qPrintable(usage))) return false;
      if (p.words[1] == QLatin1String(c.yes))
        a.value = 1;
      else if (p.words[1] == QLatin1String(c.no))
        a.value = 0;
      else
        return p.fail(QStringLiteral("%1 is '%2' or '%3', not '%4'")
                          .arg(verb, QLatin1String(c.yes), QLatin1String(c.no), p.words[1]));
    } else if (verb == QLatin1String("dialog")) {
      a.kind = ScriptAction::Kind::Dialog;
      if (!p.count(2, "dialog confirm|cancel")) return false;
      if (p.words[1] == QLatin1String("confirm"))
        a.value = 1;
      else if (p.words[1] == QLatin1String("cancel"))
        a.value = 0;
      else
        return p.fail(
            QStringLiteral("a dialog is answered 'confirm' or 'cancel', not '%1'").arg(p.words[1]));
    } else if (verb == QLatin1String("quit")) {
      a.kind = ScriptAction::Kind::Quit;
      if (!p.count(1, "quit")) return false;
    } else {
      return p.fail(QStringLiteral("unknown action '%1'").arg(verb));
    }
    actions.append(a);
  }
  *out = actions;
  return true;
}

bool loadScript(const QString& file, QVector<ScriptAction>* out, QString* error, QSize window) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot read %1: %2").arg(file, f.errorString());
    return false;
  }
  if (!parseScript(QString::fromUtf8(f.readAll()), out, error, window)) {
    *error = QStringLiteral("%1: %2").arg(file, *error);
    return false;
  }
  return true;
}

QVector<ScriptStep> scriptTimeline(const QVector<ScriptAction>& actions) {
  QVector<ScriptStep> steps;
  qint64 t = 0;
  auto add = [&](ScriptStep::Op op, qint64 at, QPoint pos, const ScriptAction& a) {
    ScriptStep s;
    s.op = op;
    s.atMs = at;
    s.pos = pos;
    s.key = a.key;
    s.file = a.file;
    s.change = a.change;
    s.value = a.value;
    s.line = a.line;
    steps.append(s);
  };
  using Op = ScriptStep::Op;
  for (const ScriptAction& a : actions) {
    switch (a.kind) {
      case ScriptAction::Kind::Wait:
        t += a.ms;
        break;
      case ScriptAction::Kind::Key:
        add(Op::KeyDown, t, {}, a);
        t += a.ms;
        add(Op::KeyUp, t, {}, a);
        break;
      case ScriptAction::Kind::DoubleTap:
        add(Op::Press, t, a.from, a);
        add(Op::Release, t + kScriptTapMs, a.from, a);
        t += kScriptTapMs + kScriptDoubleTapGapMs;
        [[fallthrough]];
      case ScriptAction::Kind::Tap:
        add(Op::Press, t, a.from, a);
        t += kScriptTapMs;
        add(Op::Release, t, a.from, a);
        break;
      case ScriptAction::Kind::LongPress:
        add(Op::Press, t, a.from, a);
        t += kScriptLongPressMs;
        add(Op::Release, t, a.from, a);
        break;
      case ScriptAction::Kind::Drag: {
        add(Op::Press, t, a.from, a);
        const QPoint d = a.to - a.from;
        // One move per frame, but never more moves than pixels to cross:
        // beyond that they only repeat a point, and an hour-long drag would
        // otherwise lay out a quarter of a million of them.
        const int pixels = std::max(std::abs(d.x()), std::abs(d.y()));
        const int moves = std::max(1, std::min(a.ms / kScriptMoveStepMs, pixels));
        for (int i = 1; i <= moves; ++i) {
          const QPoint at(a.from.x() + d.x() * i / moves, a.from.y() + d.y() * i / moves);
          add(Op::Move, t + static_cast<qint64>(a.ms) * i / moves, at, a);
        }
        t += a.ms;
        add(Op::Release, t, a.to, a);
        break;
      }
      case ScriptAction::Kind::Screenshot:
        add(Op::Screenshot, t, {}, a);
        break;
      case ScriptAction::Kind::Quit:
        add(Op::Quit, t, {}, a);
        break;
      case ScriptAction::Kind::Board:
        add(Op::Board, t, {}, a);
        break;
      case ScriptAction::Kind::Dialog:
        add(Op::Dialog, t, {}, a);
        break;
    }
  }
  return steps;
}

ScriptRunner::ScriptRunner(const QVector<ScriptAction>& actions, QWidget* window, SimKeypad* keypad,
                           QObject* parent)
    : QObject(parent), steps_(scriptTimeline(actions)), window_(window), keypad_(keypad),
      touch_(window) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &ScriptRunner::next);
  writer_ = [this](const QString& file) { return saveScreenshot(window_, file); };
}

ScriptRunner::~ScriptRunner() {
  // A key must not stay down on the board after the script is gone.
  if (keypad_ && index_ > 0) keypad_->releaseAll();
}

void ScriptRunner::setScreenshotWriter(std::function<bool(const QString&)> writer) {
  writer_ = std::move(writer);
}

void ScriptRunner::start() {
  index_ = 0;
  shift_ = 0;
  done_ = false;
  clock_.start();
  scheduleNext();
}

void ScriptRunner::scheduleNext() {
  if (done_ || index_ >= steps_.size()) return;
  const qint64 wait = steps_[index_].atMs + shift_ - clock_.elapsed();
  timer_.start(static_cast<int>(std::max<qint64>(0, wait)));
}

void ScriptRunner::next() {
  if (done_ || index_ >= steps_.size()) return;
  const qint64 now = clock_.elapsed();
  const ScriptStep step = steps_[index_];
  // Timers may fire a little early.
  if (now < step.atMs + shift_) {
    scheduleNext();
    return;
  }
  // Late (a busy interface): everything after moves back by as much, so a
  // gesture keeps its length rather than collapsing into one burst.
  if (now > step.atMs + shift_) shift_ = now - step.atMs;
  ++index_;
  const bool last = index_ >= steps_.size();
  // The following step is timed before this one runs: a tap that opens a
  // modal dialog returns only once the dialog is answered, and the steps
  // that answer it come from the dialog's own event loop meanwhile. This
  // call may therefore re-enter, and may find the script over when it
  // returns.
  if (step.op != ScriptStep::Op::Quit) scheduleNext();
  run(step);
  if (done_) return;
  if (step.op == ScriptStep::Op::Quit) {
    done_ = true;
    timer_.stop();
    if (keypad_) keypad_->releaseAll();
    emit quitRequested();
    return;
  }
  if (last) {
    done_ = true;
    if (keypad_) keypad_->releaseAll();
    emit finished();
  }
}

void ScriptRunner::run(const ScriptStep& step) {
  using Op = ScriptStep::Op;
  switch (step.op) {
    case Op::Press:
      sendMouse(QEvent::MouseButtonPress, step.pos);
      break;
    case Op::Move:
      sendMouse(QEvent::MouseMove, step.pos);
      break;
    case Op::Release:
      sendMouse(QEvent::MouseButtonRelease, step.pos);
      break;
    case Op::KeyDown:
    case Op::KeyUp:
      if (!keypad_ || !keypad_->setKey(step.key, step.op == Op::KeyDown))
        std::fprintf(stderr, "heatlume-sim: script line %d: key not delivered\n", step.line);
      break;
    case Op::Screenshot:
      if (!writer_ || !writer_(step.file)) ++shotFailures_;
      break;
    case Op::Board:
      if (!power_ || !applyBoardChange(power_, step.change, step.value))
        std::fprintf(stderr, "heatlume-sim: script line %d: board change not made\n", step.line);
      break;
    case Op::Dialog:
      if (!answerDeviceDialog(window_, step.value != 0))
        std::fprintf(stderr, "heatlume-sim: script line %d: no dialog to answer\n", step.line);
      break;
    case Op::Quit:
      break;
  }
}

bool answerDeviceDialog(QWidget* window, bool confirm) {
  QDialog* top = nullptr;
  for (QWidget* w : deviceDialogs(window))
    if (auto* d = qobject_cast<QDialog*>(w)) top = d;
  if (!top) return false;
  if (confirm)
    top->accept();
  else
    top->reject();
  return true;
}

bool applyBoardChange(PowerControls* controls, BoardChange change, int value) {
  switch (change) {
    case BoardChange::Battery:
      return controls->setBatteryPercent(value);
    case BoardChange::Charger:
      return controls->setCharger(value != 0);
    case BoardChange::Card:
      return controls->setCardInserted(value != 0);
    case BoardChange::Motion:
      return controls->setHandled(value != 0);
  }
  return false;
}

void ScriptRunner::sendMouse(int type, QPoint windowPos) {
  touch_.send(static_cast<QEvent::Type>(type), windowPos, clock_.elapsed());
}

}  // namespace sim
