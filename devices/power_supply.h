#pragma once
// The power hardware as sysfs shows it: the fuel gauge, the charger, the
// backlight, and the SD card's block device node.
#include <QList>
#include <QString>

namespace power_supply {

inline constexpr const char* kCapacityPath = "/sys/class/power_supply/cw2015-battery/capacity";
inline constexpr const char* kChargerStatusPath =
    "/sys/devices/platform/charger/power_supply/charger/status";
inline constexpr const char* kChargerOnlinePath =
    "/sys/devices/platform/charger/power_supply/charger/online";
inline constexpr const char* kBacklightPath = "/sys/class/backlight/22120000.dsi.0/brightness";
inline constexpr const char* kSdCardNode = "/dev/mmcblk1p1";

// A decimal integer from a file (surrounding white space allowed); -1 when
// the file cannot be opened or does not hold a number.
int readIntFile(const QString& systemPath);

// 1 charging, 0 not, -1 when the status cannot be read.
int readChargingStatus();

// Sets the backlight for a brightness percentage (clamped to 0..100); 0, or -1.
int applyBacklightBrightness(int percent);

bool sdCardPresent();

// Smooths the gauge's readings: with five samples the mean of the middle
// three, otherwise the raw reading.
class BatterySmoother {
 public:
  struct Result {
    int percent;
    bool low;
  };
  Result add(int raw);
  void clear() { samples_.clear(); }
  int sampleCount() const { return samples_.size(); }

 private:
  QList<int> samples_;
};

}  // namespace power_supply
