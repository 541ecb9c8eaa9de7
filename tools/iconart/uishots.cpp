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
#include "ui/homepage.h"
#include "ui/menupage.h"

namespace {

constexpr int kW = 360;
constexpr int kH = 320;
constexpr double kScale = 2.0;

// An iron-like false-colour ramp, t in [0, 1].
QRgb iron(double t) {
  struct Stop {
    double t;
    int r, g, b;
  } stops[] = {{0.00, 4, 2, 14},    {0.30, 40, 6, 80},    {0.50, 120, 14, 120},
               {0.68, 210, 60, 40}, {0.85, 250, 160, 20}, {1.00, 255, 250, 210}};
  t = std::clamp(t, 0.0, 1.0);
  for (int i = 1; i < 6; ++i) {
    if (t <= stops[i].t) {
      const Stop& a = stops[i - 1];
      const Stop& b = stops[i];
      const double u = (t - a.t) / (b.t - a.t);
      return qRgb(int(a.r + (b.r - a.r) * u), int(a.g + (b.g - a.g) * u),
                  int(a.b + (b.b - a.b) * u));
    }
  }
  return qRgb(255, 250, 210);
}

// A cool night field with a warm figure, a warm vehicle and a bit of
// sensor grain.
QImage thermalScene() {
  QImage img(kW, kH, QImage::Format_RGB32);
  auto blob = [](double x, double y, double cx, double cy, double sx, double sy) {
    const double dx = (x - cx) / sx;
    const double dy = (y - cy) / sy;
    return std::exp(-(dx * dx + dy * dy));
  };
  unsigned seed = 12345;
  for (int y = 0; y < kH; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      double t = 0.10 + 0.16 * y / kH;           // ground warmer than sky
      t += 0.62 * blob(x, y, 236, 172, 27, 56);  // body
      t += 0.66 * blob(x, y, 236, 104, 15, 16);  // head
      t += 0.40 * blob(x, y, 92, 230, 58, 22);   // engine
      t += 0.22 * blob(x, y, 70, 208, 90, 36);
      t += 0.08 * std::sin(x * 0.05) * blob(x, y, 180, 300, 300, 40);
      seed = seed * 1103515245u + 12345u;
      t += ((seed >> 16) % 1000) / 1000.0 * 0.03;
      line[x] = iron(t);
    }
  }
  return img;
}

bool shoot(QWidget* page, const QImage& scene, const QString& file) {
  page->resize(kW, kH);
  page->show();
  // Let layouts and the show-time relayout settle.
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  QImage out = scene.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  page->render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
  page->hide();
  if (!out.save(file)) {
    std::fprintf(stderr, "uishots: cannot write %s\n", qPrintable(file));
    return false;
  }
  return true;
}

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
  const QImage scene = thermalScene();
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
    ok &= shoot(&home, scene, QDir(out).filePath(QStringLiteral("home_%1.png").arg(langs[lang])));

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
    ok &= shoot(&menu, scene, QDir(out).filePath(QStringLiteral("menu_%1.png").arg(langs[lang])));
  }
  return ok ? 0 : 1;
}
