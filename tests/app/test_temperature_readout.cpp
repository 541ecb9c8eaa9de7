#include <gtest/gtest.h>

#include <QStackedWidget>
#include <cerrno>
#include <cstring>
#include <string>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "app/center_readout.h"
#include "overlay/aim.h"
#include "platform/devio.h"
#include "platform/sensor_channel_abi.h"
#include "tests/support/temp_root.h"
#include "thermal/sensor_channel.h"

namespace {

// The core's sub-device answering every region query with one raw value;
// every other device is absent.
class Core : public platform::LinuxDeviceIo {
 public:
  int open(const char* path, int, mode_t) override {
    if (std::string(path) == platform::kSensorSubdevPath) return 1000;
    errno = ENOENT;
    return -1;
  }
  int close(int) override { return 0; }
  int ioctl(int fd, unsigned long request, void* arg) override {
    if (fd != 1000 || failing) {
      errno = EIO;
      return -1;
    }
    auto* t = static_cast<platform::SensorTransfer*>(arg);
    if (request == platform::kSensorIocRead) {
      auto* b = static_cast<uint8_t*>(t->buffer);
      std::memset(b, 0, t->length);
      b[4] = raw & 0xFF;
      b[5] = raw >> 8;
    }
    return 0;
  }
  unsigned raw = static_cast<unsigned>((23.44 + 273.15) * 135);
  bool failing = false;
};

}  // namespace

TEST(TemperatureReadout, ShowsTheCalibratedReadingOnlyOnTheLivePages) {
  TempRoot root;
  root.write("/etc/settings.ini", "[General]\nTempMeasureEnabled=true\nTempMeasureOffsetC=-1.0\n");
  Core core;
  resetSensorChannel();
  platform::setDeviceIo(&core);
  {
    AppController state;
    MainWindow w(&state);
    aim* o = w.overlay();
    EXPECT_TRUE(o->tempMeasureEnabled());
    EXPECT_EQ(o->centerTemperatureText(), QString::fromUtf8("--.- \u00B0C"));
    w.centerReadout()->poll();
    EXPECT_EQ(o->centerTemperatureText(), QString::fromUtf8("22.4 \u00B0C"));

    // A failing core keeps the last value; other pages take no reading.
    core.failing = true;
    w.centerReadout()->poll();
    EXPECT_EQ(o->centerTemperatureText(), QString::fromUtf8("22.4 \u00B0C"));
    core.failing = false;
    core.raw = static_cast<unsigned>((-2.0 + 1.0 + 273.15) * 135 + 1);
    w.stack()->setCurrentIndex(MainWindow::kMenuPage);
    w.centerReadout()->poll();
    EXPECT_EQ(o->centerTemperatureText(), QString::fromUtf8("22.4 \u00B0C"));
    w.goHome();
    w.centerReadout()->poll();
    EXPECT_EQ(o->centerTemperatureText(), QString::fromUtf8("-2.0 \u00B0C"));
  }
  platform::setDeviceIo(nullptr);
  resetSensorChannel();
}
