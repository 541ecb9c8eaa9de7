#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "app/appcontroller.h"
#include "platform/settings_file.h"
#include "app/settings_store.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"

namespace {

const char* const kControllerKeys[] = {"scale",
                                       "brightness",
                                       "reticle/type",
                                       "reticle/color",
                                       "reticle/dotColor",
                                       "language",
                                       "ImageMode",
                                       "SrEnabled",
                                       "TempMeasureEnabled",
                                       "TempMeasureOffsetC",
                                       "EnergySavingEnabled",
                                       "IdleSleepMinutes",
                                       "AutoPowerOffMinutes"};

struct Loaded {
  ControllerSettings c;
  int brightness, reticleType, palette;
};

using Values = QList<QPair<QString, QVariant>>;

// Replaces the settings file's content. Written through QSettings, as the
// program itself would, so its cache of the file stays truthful.
void writeIni(const Values& values) {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  s.clear();
  for (const auto& kv : values) s.setValue(kv.first, kv.second);
  s.sync();
}

// Sets the file to `values` and loads it the way the main window does.
Loaded load(const Values& values) {
  writeIni(values);
  AppController state;
  Loaded out;
  loadControllerSettings(*settings::open(), out.c, &state);
  out.brightness = state.brightness();
  out.reticleType = state.reticleType();
  out.palette = state.paletteMode();
  return out;
}

QVariant stored(const char* key) {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  return s.value(key);
}

}  // namespace

TEST(Settings, AnEmptyFileIsCompletedWithEveryControllerKey) {
  TempRoot root;
  const Loaded l = load({});
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  for (const char* key : kControllerKeys) EXPECT_TRUE(s.contains(key)) << key;
  EXPECT_EQ(l.c.zoomTenths, 10);
  EXPECT_EQ(l.c.language, 1);
  EXPECT_EQ(l.brightness, 50);
  EXPECT_EQ(l.reticleType, 3);
  EXPECT_EQ(s.value("scale").toDouble(), 1.0);
  EXPECT_EQ(s.value("IdleSleepMinutes").toInt(), 30);
  EXPECT_EQ(s.value("AutoPowerOffMinutes").toInt(), 60);
  EXPECT_TRUE(s.value("EnergySavingEnabled").toBool());
}

TEST(Settings, ZoomIsRoundedToTenthsAndClamped) {
  TempRoot root;
  const struct {
    const char* stored;
    int tenths;
  } cases[] = {{"1.44", 14}, {"1.46", 15}, {"3.0", 20},  {"0.2", 10},  {"garbage", 10},
               {"1e300", 20}, {"-1e300", 10}, {"nan", 10}, {"inf", 10}};
  for (const auto& c : cases)
    EXPECT_EQ(load({{"scale", QString::fromLatin1(c.stored)}}).c.zoomTenths, c.tenths) << c.stored;
}

// What no calibration run can give reads as no offset: no "inf °C" or
// "-999993.1 °C" on the readout.
TEST(Settings, AnOffsetThatIsNoCalibrationIsZero) {
  TempRoot root;
  const struct {
    const char* stored;
    double offsetC;
  } cases[] = {{"-1.5", -1.5}, {"550", 550.0}, {"-212.3", -212.3}, {"inf", 0.0},
               {"nan", 0.0},   {"1e308", 0.0}, {"-1e6", 0.0},      {"1000.5", 0.0}};
  for (const auto& c : cases)
    EXPECT_EQ(load({{"TempMeasureOffsetC", c.stored}}).c.tempOffsetC, c.offsetC) << c.stored;
}

TEST(Settings, LanguageIsCorrectedInTheFileOnlyWhenOutOfRange) {
  TempRoot root;
  EXPECT_EQ(load({{"language", 7}}).c.language, 2);
  EXPECT_EQ(stored("language").toInt(), 2);
  EXPECT_EQ(load({{"language", -3}}).c.language, 0);
  EXPECT_EQ(stored("language").toInt(), 0);
  EXPECT_EQ(load({{"language", 0}}).c.language, 0);
}

TEST(Settings, EnergyPairIsNormalisedAndWrittenBack) {
  TempRoot root;
  Loaded l = load({{"IdleSleepMinutes", 200}, {"AutoPowerOffMinutes", 50}});
  EXPECT_EQ(l.c.idleSleepMinutes, 100);
  EXPECT_EQ(l.c.autoPowerOffMinutes, 100);
  EXPECT_EQ(stored("IdleSleepMinutes").toInt(), 100);
  EXPECT_EQ(stored("AutoPowerOffMinutes").toInt(), 100);
  l = load({{"IdleSleepMinutes", 3}, {"AutoPowerOffMinutes", 5}});
  EXPECT_EQ(l.c.idleSleepMinutes, 5);
  EXPECT_EQ(l.c.autoPowerOffMinutes, 10);
  l = load({{"IdleSleepMinutes", 100}, {"AutoPowerOffMinutes", 500}});
  EXPECT_EQ(l.c.autoPowerOffMinutes, 120);
  EXPECT_EQ(stored("AutoPowerOffMinutes").toInt(), 120);
}

TEST(Settings, StateObjectValuesAreReducedAndColoursClamped) {
  TempRoot root;
  const Loaded l = load({{"ImageMode", -1},
                         {"brightness", 300},
                         {"reticle/type", 6},
                         {"reticle/color", 9},
                         {"reticle/dotColor", -4}});
  EXPECT_EQ(l.reticleType, 2);
  EXPECT_EQ(l.palette, 4);
  EXPECT_EQ(l.brightness, 100);
  EXPECT_EQ(l.c.reticleColor, 2);
  EXPECT_EQ(l.c.reticleDotColor, 0);
}

TEST(Settings, SaveAndResetRoundTrip) {
  TempRoot root;
  AppController state;
  ControllerSettings c;
  c.zoomTenths = 20;
  c.language = 2;
  c.tempOffsetC = -1.5;
  c.srEnabled = true;
  state.setPaletteMode(3);
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    saveControllerSettings(s, c, &state);
  }
  ControllerSettings back;
  AppController state2;
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    loadControllerSettings(s, back, &state2);
  }
  EXPECT_EQ(back.zoomTenths, 20);
  EXPECT_EQ(back.language, 2);
  EXPECT_DOUBLE_EQ(back.tempOffsetC, -1.5);
  EXPECT_TRUE(back.srEnabled);
  EXPECT_EQ(state2.paletteMode(), 3);

  // Keys owned by others survive a factory reset untouched.
  settings::writePictureFileNum(17);
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    resetControllerSettings(s, c, &state);
  }
  EXPECT_EQ(c.zoomTenths, 10);
  EXPECT_EQ(c.language, 1);
  EXPECT_FALSE(c.srEnabled);
  EXPECT_EQ(state.paletteMode(), 0);
  EXPECT_EQ(stored("scale").toDouble(), 1.0);
  EXPECT_EQ(stored("TempMeasureOffsetC").toDouble(), 0.0);
  EXPECT_EQ(stored("PictureFileNum").toInt(), 17);
}

// QSettings would build whatever "@Variant(...)" names, in any spelling it
// unescapes: a list of a billion entries here, a bitmap there. Such lines are
// dropped before it reads the file; the plain ones beside them still count.
TEST(Settings, SerialisedObjectsInTheFileAreDroppedBeforeQSettingsReadsIt) {
  TempRoot root;
  const QString path = platform::settingsFile();
  auto put = [&path](const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  };
  put("[General]\n"
      "scale=@Variant(\\0\\0\\0\\t:\\xff\\xfb\\x99\\xcf)\n"
      "brightness=\"@Variant(\\0\\0\\0I\\0\\0\\0\\0)\"\n"
      "language=\\x40Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n"
      "ImageMode=3\r\n"
      "TempMeasureOffsetC=-1.5\n"
      "[reticle]\n"
      "type=1\n");
  AppController state;
  ControllerSettings c;
  loadControllerSettings(*settings::open(), c, &state);
  EXPECT_EQ(c.zoomTenths, 10);
  EXPECT_EQ(state.brightness(), 50);
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(state.paletteMode(), 3);
  EXPECT_EQ(state.reticleType(), 1);
  EXPECT_DOUBLE_EQ(c.tempOffsetC, -1.5);
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray now = f.readAll();
    EXPECT_FALSE(now.contains("Variant")) << now.constData();
    EXPECT_TRUE(now.contains("ImageMode=3")) << now.constData();
  }

  // What the program writes itself is left alone, byte for byte.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray clean = f.readAll();
  f.close();
  EXPECT_EQ(settings::scrubFile(path), 0);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), clean);
  f.close();

  // A file far larger than the program writes is not ours: it starts afresh instead of being read.
  put(QByteArray("language=2\n").repeated(10000));
  EXPECT_EQ(settings::scrubFile(path), 1);
  EXPECT_EQ(QFileInfo(path).size(), 0);
  EXPECT_EQ(settings::readIntOrInit("language", 1), 1);
}
