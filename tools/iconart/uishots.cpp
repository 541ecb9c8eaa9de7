// Screenshots of the home page and the main menu in Chinese, English and
// Russian, rendered offscreen at the window's 360 x 320 with interface scale
// 2.0 over a made-up thermal scene (the live picture is on another display
// plane on the device, so it is painted here as a stand-in).
//
//   uishots <output folder>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/paths.h"
#include "tools/shotkit/shotkit.h"
#include "ui/homepage.h"
#include "ui/menupage.h"

namespace {

constexpr double kScale = 2.0;

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: uishots <output folder>\n");
    return 2;
  }
  // The pages look for the SD card; keep them away from the PC's own /dev.
  QTemporaryDir root;
  platform::setRoot(root.path().toStdString());
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  const QImage scene = shotkit::fieldScene();
  const char* const langs[] = {"zh", "en", "ru"};
  bool ok = true;
  for (int lang = 0; lang < 3; ++lang) {
    HomePage home(nullptr, kScale);
    home.applyLanguage(lang);
    home.setBatteryPercent(76);
    home.setSdCardPresent(true, true);
    home.setSrBadgeVisible(true);
    home.setRecordingVisible(true);
    home.setRecordingTime(true, 7, 5);
    home.setSleepCountdownVisible(true);
    home.setSleepCountdown(9);
    ok &= shotkit::save(shotkit::shoot(&home, scene), QDir(out).filePath(QStringLiteral("home_%1.png").arg(langs[lang])));

    MenuPage menu(nullptr, kScale);
    QList<QWidget*> targets;
    QWidget dummy;
    for (int i = 0; i < 10; ++i) targets.append(&dummy);
    menu.setItems(targets);
    menu.applyLanguage(lang);
    // Show an item with a long name in every language.
    for (int i = 0; i < 5; ++i) {
      menu.moveSelection(+1);
      while (menu.isAnimating()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    ok &= shotkit::save(shotkit::shoot(&menu, scene), QDir(out).filePath(QStringLiteral("menu_%1.png").arg(langs[lang])));
  }
  return ok ? 0 : 1;
}
