// Screenshots of the settings pages in Chinese, English and Russian at the
// window's 360 x 320 with interface scale 2.0, over a made-up thermal scene
// (on the device the live picture is on a display plane beneath the pages).
// Writes <page>_<lang>.png for every page and settings_<lang>.png, a contact
// sheet of all of them.
//
//   settingshots <output folder> [interface scale, 1.6-2.2; default 2.0]
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "devices/serial_number.h"
#include "platform/paths.h"
#include "ui/adjustpage.h"
#include "ui/deviceinfopage.h"
#include "ui/energyadjustpage.h"
#include "ui/energysavingpage.h"
#include "ui/factoryresetpage.h"
#include "ui/languagepage.h"
#include "tools/shotkit/shotkit.h"
#include "ui/palettepage.h"

namespace {

double kScale = 2.0;

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
  QApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: settingshots <output folder> [interface scale]\n");
    return 2;
  }
  if (argc == 3) kScale = std::clamp(QString::fromLocal8Bit(argv[2]).toDouble(), 1.6, 2.2);
  // A board root of its own with a serial number to show.
  QTemporaryDir root;
  platform::setRoot(root.path().toStdString());
  QDir().mkpath(root.filePath(QStringLiteral("proc")));
  QFile cpuinfo(root.filePath(QStringLiteral("proc/cpuinfo")));
  if (cpuinfo.open(QIODevice::WriteOnly)) cpuinfo.write("Serial\t\t: 5a1c0de5e7a1b00c\n");
  cpuinfo.close();

  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());
  const QImage scene = shotkit::fieldScene();
  const char* const langs[] = {"zh", "en", "ru"};
  bool ok = true;
  for (int lang = 0; lang < 3; ++lang) {
    QList<shotkit::Shot> shots;
    auto add = [&](const QString& name, QWidget* page) {
      shots.append({name, shotkit::shoot(page, scene)});
    };

    PalettePage palette(nullptr, kScale);
    palette.applyLanguage(lang);
    palette.setColors(1, 2);
    add(QStringLiteral("palette"), &palette);

    AdjustPage adjust(nullptr, kScale);
    adjust.applyLanguage(lang);
    adjust.setBrightness(65);
    add(QStringLiteral("brightness"), &adjust);

    LanguagePage language(nullptr, kScale);
    language.applyLanguage(lang);
    add(QStringLiteral("language"), &language);

    EnergySavingPage energy(nullptr, kScale);
    energy.applyLanguage(lang);
    energy.setState(true, 30, 60, lang, true);
    add(QStringLiteral("powersave"), &energy);

    EnergySavingPage energyOff(nullptr, kScale);
    energyOff.applyLanguage(lang);
    energyOff.setState(true, 30, 60, lang, false);
    add(QStringLiteral("powersave_nosensor"), &energyOff);

    EnergyAdjustPage idle(nullptr, kScale);
    idle.applyLanguage(lang);
    idle.setValue(EnergyAdjustPage::IdleSleep, 30, 100, lang);
    add(QStringLiteral("idlesleep"), &idle);

    EnergyAdjustPage powerOff(nullptr, kScale);
    powerOff.applyLanguage(lang);
    powerOff.setValue(EnergyAdjustPage::AutoPowerOff, 90, 120, lang);
    add(QStringLiteral("autopoweroff"), &powerOff);

    DeviceInfoPage info(nullptr, kScale, &serial_number::read);
    info.applyLanguage(lang);
    add(QStringLiteral("deviceinfo"), &info);

    FactoryResetPage reset(nullptr, kScale);
    reset.applyLanguage(lang);
    reset.setDeleteMediaChecked(true);
    add(QStringLiteral("factoryreset"), &reset);

    for (const shotkit::Shot& s : shots) {
      const QString file = out.filePath(QStringLiteral("%1_%2.png").arg(s.caption, langs[lang]));
      if (!s.image.save(file)) {
        std::fprintf(stderr, "settingshots: cannot write %s\n", qPrintable(file));
        ok = false;
      }
    }
    const QString sheet = out.filePath(QStringLiteral("settings_%1.png").arg(langs[lang]));
    if (!shotkit::contactSheet(shots).save(sheet)) {
      std::fprintf(stderr, "settingshots: cannot write %s\n", qPrintable(sheet));
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
