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
#include "ui/palettepage.h"

namespace {

constexpr int kW = 360;
constexpr int kH = 320;
double kScale = 2.0;

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

// A cool night field with a warm figure and a warm vehicle.
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
      double t = 0.10 + 0.16 * y / kH;
      t += 0.62 * blob(x, y, 236, 172, 27, 56);
      t += 0.66 * blob(x, y, 236, 104, 15, 16);
      t += 0.40 * blob(x, y, 92, 230, 58, 22);
      t += 0.22 * blob(x, y, 70, 208, 90, 36);
      seed = seed * 1103515245u + 12345u;
      t += ((seed >> 16) % 1000) / 1000.0 * 0.03;
      line[x] = iron(t);
    }
  }
  return img;
}

QImage shoot(QWidget* page, const QImage& scene) {
  page->resize(kW, kH);
  page->show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  QImage out = scene.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  page->render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
  page->hide();
  return out;
}

struct Shot {
  QString name;
  QImage image;
};

QImage contactSheet(const QList<Shot>& shots) {
  constexpr int kCols = 3;
  constexpr int kGap = 12;
  constexpr int kCaption = 22;
  const int rows = (shots.size() + kCols - 1) / kCols;
  QImage sheet(kCols * kW + (kCols + 1) * kGap, rows * (kH + kCaption + kGap) + kGap,
               QImage::Format_RGB32);
  sheet.fill(QColor(32, 34, 36));
  QPainter p(&sheet);
  QFont f = p.font();
  f.setPixelSize(14);
  p.setFont(f);
  p.setPen(QColor(220, 220, 220));
  for (int i = 0; i < shots.size(); ++i) {
    const int x = kGap + (i % kCols) * (kW + kGap);
    const int y = kGap + (i / kCols) * (kH + kCaption + kGap);
    p.drawText(QRect(x, y, kW, kCaption), Qt::AlignLeft | Qt::AlignVCenter, shots[i].name);
    p.drawImage(x, y + kCaption, shots[i].image);
  }
  return sheet;
}

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
  const QImage scene = thermalScene();
  const char* const langs[] = {"zh", "en", "ru"};
  bool ok = true;
  for (int lang = 0; lang < 3; ++lang) {
    QList<Shot> shots;
    auto add = [&](const QString& name, QWidget* page) {
      shots.append({name, shoot(page, scene)});
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

    for (const Shot& s : shots) {
      const QString file = out.filePath(QStringLiteral("%1_%2.png").arg(s.name, langs[lang]));
      if (!s.image.save(file)) {
        std::fprintf(stderr, "settingshots: cannot write %s\n", qPrintable(file));
        ok = false;
      }
    }
    const QString sheet = out.filePath(QStringLiteral("settings_%1.png").arg(langs[lang]));
    if (!contactSheet(shots).save(sheet)) {
      std::fprintf(stderr, "settingshots: cannot write %s\n", qPrintable(sheet));
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
