// Contact sheets of the temperature pages (readout switch, reference choice,
// blackbody set point, guide, result and a failed run) in Chinese, English
// and Russian, rendered offscreen at the window's 360 x 320 with interface
// scale 2.0 over a made-up bench scene standing in for the live picture.
//
//   calshots <output folder>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/paths.h"
#include "tools/shotkit/shotkit.h"
#include "ui/temppages.h"

namespace {

constexpr int kW = shotkit::kWidth;
constexpr int kH = shotkit::kHeight;
constexpr double kScale = 2.0;
constexpr int kGap = 12;
constexpr int kCaption = 26;

// A grey-hot ramp with a touch of blue in the shadows, t in [0, 1].
QRgb greyHot(double t) {
  t = std::clamp(t, 0.0, 1.0);
  const int v = static_cast<int>(20 + 225 * t);
  return qRgb(v, v, std::min(255, v + 12));
}

// A room-temperature wall and bench with a warm square source in the
// middle, as the view rests on the blackbody.
QImage benchScene() {
  QImage img(kW, kH, QImage::Format_RGB32);
  unsigned seed = 777;
  for (int y = 0; y < kH; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      double t = y < 196 ? 0.26 - 0.04 * y / 196.0 : 0.18 + 0.05 * (y - 196) / 124.0;
      const double dx = std::abs(x - 180.0), dy = std::abs(y - 150.0);
      if (dx < 62 && dy < 62) t = 0.34;                        // housing
      if (dx < 44 && dy < 44) t = 0.78 - 0.04 * (dx + dy) / 88;  // emitter
      if (dx < 12 && y > 212 && y < 280) t = 0.30;             // stand
      seed = seed * 1103515245u + 12345u;
      t += ((seed >> 16) % 1000) / 1000.0 * 0.025;
      line[x] = greyHot(t);
    }
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: calshots <output folder>\n");
    return 2;
  }
  QTemporaryDir root;
  platform::setRoot(root.path().toStdString());
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  const QImage scene = benchScene();
  const char* const langs[] = {"zh", "en", "ru"};
  bool ok = true;
  for (int lang = 0; lang < 3; ++lang) {
    QList<shotkit::Shot> shots;
    TempMeasurePage measure(nullptr, kScale);
    measure.setState(true, lang);
    shots.append({QStringLiteral("TempMeasurePage (on)"), shotkit::shoot(&measure, scene)});

    TempCalRefPage ref(nullptr, kScale);
    ref.applyLanguage(lang);
    shots.append({QStringLiteral("TempCalRefPage"), shotkit::shoot(&ref, scene)});

    TempCalBlackbodyPage blackbody(nullptr, kScale);
    blackbody.setSetPoint(lang, 120.5);
    shots.append({QStringLiteral("TempCalBlackbodyPage (120.5)"), shotkit::shoot(&blackbody, scene)});

    TempCalGuidePage guide(nullptr, kScale);
    guide.setReference(0, lang, 100.0);
    shots.append({QStringLiteral("TempCalGuidePage (boiling water)"), shotkit::shoot(&guide, scene)});

    TempCalResultPage result(nullptr, kScale);
    result.setResult(lang, 35.0, 36.2, -1.2);
    shots.append({QStringLiteral("TempCalResultPage"), shotkit::shoot(&result, scene)});

    TempCalResultPage failed(nullptr, kScale);
    failed.setFailedResult(lang, 100.0);
    shots.append({QStringLiteral("TempCalResultPage (failed run)"), shotkit::shoot(&failed, scene)});

    const QString file = QDir(out).filePath(QStringLiteral("temperature_%1.png").arg(langs[lang]));
    if (!shotkit::contactSheet(shots, 3).save(file)) {
      std::fprintf(stderr, "calshots: cannot write %s\n", qPrintable(file));
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
