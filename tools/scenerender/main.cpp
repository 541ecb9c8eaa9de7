// scenerender OUTDIR COUNT SCENE...
//
// Writes COUNT pictures of each scene (a compiled-in name or a .scene file)
// as OUTDIR/NAME_NNN.png: 768 x 576 grey, the view at three times the
// sensor's resolution at COUNT moments spread over SPAN seconds (80, or the
// environment variable SCENERENDER_SPAN). Each picture has passed a lens
// matched to the finer grid (a blur of one of its pixels; the simulated
// core's wider blur stands for its lens and its coarse pixels together, and
// here the pixels' part is the 3 x 3 reduction) and a stretch of its 1st to
// 99th percentile to 0..255, as the core's gain does; the sensor's own noise
// is left to whoever reduces the picture to sensor size.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/thermal_scene.h"

namespace {

constexpr int kScale = 3;
constexpr int kW = sim::ThermalScene::kWidth * kScale;
constexpr int kH = sim::ThermalScene::kHeight * kScale;
constexpr double kLensSigma = 1.0;  // in pixels of the finer grid
constexpr double kMinSpanK = 2.0;

void blur(std::vector<float>& img, double sigma) {
  const int r = static_cast<int>(std::ceil(3 * sigma));
  std::vector<float> k(2 * r + 1);
  double sum = 0;
  for (int i = -r; i <= r; ++i)
    sum += k[i + r] = static_cast<float>(std::exp(-i * i / (2 * sigma * sigma)));
  for (float& v : k) v = static_cast<float>(v / sum);
  std::vector<float> tmp(img.size());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * img[y * kW + std::clamp(x + i, 0, kW - 1)];
      tmp[y * kW + x] = s;
    }
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * tmp[std::clamp(y + i, 0, kH - 1) * kW + x];
      img[y * kW + x] = s;
    }
}

QImage stretch(const std::vector<float>& img) {
  std::vector<float> sorted(img);
  std::sort(sorted.begin(), sorted.end());
  double lo = sorted[sorted.size() / 100], hi = sorted[sorted.size() * 99 / 100];
  if (hi - lo < kMinSpanK) {
    const double mid = (lo + hi) / 2;
    lo = mid - kMinSpanK / 2;
    hi = mid + kMinSpanK / 2;
  }
  QImage out(kW, kH, QImage::Format_Grayscale8);
  for (int y = 0; y < kH; ++y) {
    uchar* row = out.scanLine(y);
    for (int x = 0; x < kW; ++x) {
      const double v = (img[y * kW + x] - lo) / (hi - lo) * 255.0;
      row[x] = static_cast<uchar>(std::clamp(v + 0.5, 0.0, 255.0));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: scenerender OUTDIR COUNT SCENE...\n");
    return 2;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  const int count = std::atoi(argv[2]);
  const char* spanEnv = std::getenv("SCENERENDER_SPAN");
  const double span = spanEnv ? std::atof(spanEnv) : 80.0;
  if (count < 1 || count > 10000 || !(span > 0)) {
    std::fprintf(stderr, "scenerender: COUNT 1..10000 and a positive span\n");
    return 2;
  }
  std::vector<float> img(static_cast<size_t>(kW) * kH);
  for (int a = 3; a < argc; ++a) {
    const QString arg = QString::fromLocal8Bit(argv[a]);
    sim::ThermalScene scene;
    QString error, name = arg;
    bool ok;
    if (arg.endsWith(QLatin1String(".scene"))) {
      QFile f(arg);
      ok = f.open(QIODevice::ReadOnly) && scene.parse(QString::fromUtf8(f.readAll()), &error);
      if (!f.isOpen()) error = f.errorString();
      name = QFileInfo(arg).completeBaseName();
    } else {
      ok = scene.loadBuiltin(arg, &error);
    }
    if (!ok) {
      std::fprintf(stderr, "scenerender: %s: %s\n", argv[a], qPrintable(error));
      return 1;
    }
    for (int i = 0; i < count; ++i) {
      // Moments between whole seconds, so periodic motions do not repeat.
      const double t = span * (i + 0.37) / count;
      scene.render(t, img.data(), kScale);
      blur(img, kLensSigma);
      const QString path =
          QStringLiteral("%1/%2_%3.png").arg(outDir, name).arg(i, 3, 10, QLatin1Char('0'));
      if (!stretch(img).save(path)) {
        std::fprintf(stderr, "scenerender: cannot write %s\n", qPrintable(path));
        return 1;
      }
    }
  }
  return 0;
}
