#include "app/settings_store.h"

#include <QSettings>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

#include "app/appcontroller.h"
#include "platform/settings_file.h"

using namespace settings::key;

namespace {

int toInt(const QVariant& v, int fallback) {
  bool ok = false;
  const int i = v.toInt(&ok);
  return ok ? i : fallback;
}

// A hand-edited "nan" or "inf" converts without complaint; it would show as
// nonsense on every reading (or be undefined when rounded), so it counts as
// unreadable.
double toDouble(const QVariant& v, double fallback) {
  bool ok = false;
  const double d = v.toDouble(&ok);
  return ok && std::isfinite(d) ? d : fallback;
}

// Far beyond what a calibration run can give (reference 0..550 degC against
// a reading of the core's -273..212 degC): a larger offset is no calibration.
constexpr double kMaxTempOffsetC = 1000.0;

}  // namespace

void loadControllerSettings(QSettings& s, ControllerSettings& c, AppController* state) {
  // The key as stored, or the current value, which is then written: so the
  // first start completes the file.
  auto read = [&s](const char* key, const QVariant& current) -> QVariant {
    if (s.contains(key)) return s.value(key);
    s.setValue(key, current);
    return current;
  };

  const double scale = toDouble(read(kScale, c.zoomTenths / 10.0), c.zoomTenths / 10.0);
  // Bounded before rounding: a hand-edited 1e300 has no integer to round to.
  c.zoomTenths = qRound(qBound(10.0, scale * 10.0, 20.0));

  const int brightness = toInt(read(kBrightness, state ? state->brightness() : 50), 50);
  if (state) state->setBrightness(brightness);
  const int reticleType = toInt(read(kReticleType, state ? state->reticleType() : 3), 3);
  if (state) state->setReticleType(reticleType);

  c.reticleColor = qBound(0, toInt(read(kReticleColor, c.reticleColor), 0), 2);
  c.reticleDotColor = qBound(0, toInt(read(kReticleDotColor, c.reticleDotColor), 1), 2);

  const int storedLanguage = toInt(read(kLanguage, c.language), 1);
  c.language = qBound(0, storedLanguage, 2);
  if (c.language != storedLanguage) s.setValue(kLanguage, c.language);

  const int palette = toInt(read(kImageMode, state ? state->paletteMode() : 0), 0);
  if (state) state->setPaletteMode(palette);

  c.srEnabled = read(kSrEnabled, c.srEnabled).toBool();
  c.tempMeasureEnabled = read(kTempMeasureEnabled, c.tempMeasureEnabled).toBool();
  c.tempOffsetC = toDouble(read(kTempMeasureOffsetC, c.tempOffsetC), 0.0);
  if (std::fabs(c.tempOffsetC) > kMaxTempOffsetC) c.tempOffsetC = 0.0;
  c.energySavingEnabled = read(kEnergySavingEnabled, c.energySavingEnabled).toBool();
  c.idleSleepMinutes = toInt(read(kIdleSleepMinutes, c.idleSleepMinutes), 30);
  c.autoPowerOffMinutes = toInt(read(kAutoPowerOffMinutes, c.autoPowerOffMinutes), 60);

  // Idle first; power-off is then never before idle sleep.
  c.idleSleepMinutes = qBound(5, c.idleSleepMinutes, 100);
  c.autoPowerOffMinutes =
      c.autoPowerOffMinutes > 120 ? 120 : std::max({c.autoPowerOffMinutes, 10, c.idleSleepMinutes});
  s.setValue(kEnergySavingEnabled, c.energySavingEnabled);
  s.setValue(kIdleSleepMinutes, c.idleSleepMinutes);
  s.setValue(kAutoPowerOffMinutes, c.autoPowerOffMinutes);
  s.sync();
}

void saveControllerSettings(QSettings& s, const ControllerSettings& c, const AppController* state) {
  s.setValue(kScale, c.zoomTenths / 10.0);
  s.setValue(kBrightness, state ? state->brightness() : 50);
  s.setValue(kReticleType, state ? state->reticleType() : 3);
  s.setValue(kReticleColor, c.reticleColor);
  s.setValue(kReticleDotColor, c.reticleDotColor);
  s.setValue(kLanguage, c.language);
  s.setValue(kImageMode, state ? state->paletteMode() : 0);
  s.setValue(kSrEnabled, c.srEnabled);
  s.setValue(kTempMeasureEnabled, c.tempMeasureEnabled);
  s.setValue(kTempMeasureOffsetC, c.tempOffsetC);
  s.setValue(kEnergySavingEnabled, c.energySavingEnabled);
  s.setValue(kIdleSleepMinutes, c.idleSleepMinutes);
  s.setValue(kAutoPowerOffMinutes, c.autoPowerOffMinutes);
  s.sync();
}

void resetControllerSettings(QSettings& s, ControllerSettings& c, AppController* state) {
  s.setValue(kScale, 1.0);
  c.zoomTenths = 10;
  s.setValue(kBrightness, 50);
  if (state) state->setBrightness(50);
  s.setValue(kReticleType, 3);
  if (state) state->setReticleType(3);
  s.setValue(kReticleColor, 0);
  c.reticleColor = 0;
  s.setValue(kReticleDotColor, 1);
  c.reticleDotColor = 1;
  s.setValue(kLanguage, 1);
  c.language = 1;
  s.setValue(kImageMode, 0);
  if (state) state->setPaletteMode(0);
  s.setValue(kSrEnabled, false);
  c.srEnabled = false;
  s.setValue(kTempMeasureEnabled, false);
  c.tempMeasureEnabled = false;
  s.setValue(kTempMeasureOffsetC, 0.0);
  c.tempOffsetC = 0.0;
  s.setValue(kEnergySavingEnabled, true);
  c.energySavingEnabled = true;
  s.setValue(kIdleSleepMinutes, 30);
  c.idleSleepMinutes = 30;
  s.setValue(kAutoPowerOffMinutes, 60);
  c.autoPowerOffMinutes = 60;
  s.sync();
}
