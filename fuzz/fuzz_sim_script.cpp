// Arbitrary bytes as a simulator script (the file given with --script), parsed
// and laid out on its timeline as the simulator does before it starts.
#include <QString>
#include <QVector>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "sim/sim_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
  QVector<sim::ScriptAction> actions;
  QString error;
  if (!sim::parseScript(text, &actions, &error)) {
    if (!error.startsWith(QLatin1String("line "))) std::abort();
    return 0;
  }
  const QVector<sim::ScriptStep> steps = sim::scriptTimeline(actions);
  qint64 last = 0;
  for (const sim::ScriptStep& s : steps) {
    // Steps come in time order, and touches stay inside the window.
    if (s.atMs < last) std::abort();
    last = s.atMs;
    if (s.op == sim::ScriptStep::Op::Press || s.op == sim::ScriptStep::Op::Move ||
        s.op == sim::ScriptStep::Op::Release) {
      if (s.pos.x() < 0 || s.pos.x() >= 360 || s.pos.y() < 0 || s.pos.y() >= 320) std::abort();
    }
  }
  return 0;
}
