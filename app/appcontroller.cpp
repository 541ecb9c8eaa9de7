#include "app/appcontroller.h"

#include <QtGlobal>

int wrapModulo(int value, int n) {
  int r = value % n;
  return r < 0 ? r + n : r;
}

namespace {
// Stores v and emits when it differs; the one rule every setter follows.
template <typename T, typename Emit>
void store(T& field, T v, Emit emitChanged) {
  if (field == v) return;
  field = v;
  emitChanged();
}
}  // namespace

AppController::AppController(QObject* parent) : QObject(parent) {}

void AppController::setPaletteMode(int v) {
  store(paletteMode_, wrapModulo(v, kPaletteCount), [this] { emit paletteModeChanged(); });
}
void AppController::setReticleType(int v) {
  store(reticleType_, wrapModulo(v, kReticleTypeCount), [this] { emit reticleTypeChanged(); });
}
void AppController::setBrightness(int v) {
  store(brightness_, qBound(0, v, 100), [this] { emit brightnessChanged(); });
}
void AppController::setContrast(int v) {
  store(contrast_, qBound(0, v, 100), [this] { emit contrastChanged(); });
}
void AppController::setZeroX(int v) {
  store(zeroX_, qBound(-30, v, 30), [this] { emit zeroingChanged(); });
}
void AppController::setZeroY(int v) {
  store(zeroY_, qBound(-30, v, 30), [this] { emit zeroingChanged(); });
}
void AppController::setBatteryPercent(int v) {
  store(batteryPercent_, qBound(0, v, 100), [this] { emit batteryPercentChanged(); });
}
void AppController::setRecording(bool v) {
  store(recording_, v, [this] { emit recordingChanged(); });
}

void AppController::stepPaletteMode(int delta) { setPaletteMode(paletteMode_ + delta); }
void AppController::stepReticleType(int delta) { setReticleType(reticleType_ + delta); }
void AppController::nudgeBrightness(int delta) { setBrightness(brightness_ + delta); }

void AppController::resetDefaults() {
  setPaletteMode(0);
  setReticleType(3);
  setBrightness(50);
  setContrast(50);
  setZeroX(0);
  setZeroY(0);
  setBatteryPercent(100);
  setRecording(false);
}
