#include "devices/power_monitor.h"

#include <algorithm>

using namespace power_supply;

void PowerMonitor::resetCharger() {
  chargingState_ = -2;
  chargerOnline_ = -2;
}

void PowerMonitor::refreshCharger() {
  const int status = readChargingStatus();
  const int online = readIntFile(QString::fromLatin1(kChargerOnlinePath));
  if (status != -1 && status != chargingState_) {
    chargingState_ = status;
    emit chargingChanged(status == 1);
  }
  if (online >= 0 && online != chargerOnline_) {
    chargerOnline_ = online;
    // Smoothing starts afresh after plugging or unplugging.
    samples_.clear();
    emit chargerOnlineChanged(online > 0);
  }
}

void PowerMonitor::poll() {
  refreshCharger();
  int raw = readIntFile(QString::fromLatin1(kCapacityPath));
  if (raw >= 0) {
    raw = std::min(raw, 100);
    const BatterySmoother::Result r = samples_.add(raw);
    percent_ = r.percent;
    emit batteryPercentRead(r.percent);
    // Running on external power is never low power.
    const bool low = chargerOnline_ < 1 ? r.low : false;
    if (low != lowPower_) {
      lowPower_ = low;
      emit lowPowerChanged(low);
    }
  }
  sdPresent_ = sdCardPresent();
  emit sdPresentRead(sdPresent_);
}
