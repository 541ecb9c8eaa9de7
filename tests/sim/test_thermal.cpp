// The scene descriptions and the thermal core: what the sensor sees and how
// it reports it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sim/thermal_core.h"
#include "sim/thermal_scene.h"

namespace {

using sim::ThermalCore;
using sim::ThermalScene;

constexpr int kPixels = ThermalCore::kWidth * ThermalCore::kHeight;

std::vector<uint8_t> frame(ThermalCore& core, double t) {
  std::vector<uint8_t> f(ThermalCore::kFrameBytes);
  EXPECT_TRUE(core.captureYuyv(t, f.data(), f.size()));
  return f;
}

std::vector<int> sortedLuma(const std::vector<uint8_t>& yuyv) {
  std::vector<int> y;
  for (size_t i = 0; i < yuyv.size(); i += 2) y.push_back(yuyv[i]);
  std::sort(y.begin(), y.end());
  return y;
}

TEST(ThermalScene, DescriptionsParseAndBadOnesChangeNothing) {
  ThermalScene s;
  QString error;
  for (const QString& name : ThermalScene::builtinNames())
    EXPECT_TRUE(s.loadBuiltin(name, &error)) << name.toStdString() << ": " << error.toStdString();
  ASSERT_TRUE(s.loadBuiltin(QStringLiteral("bench"), &error));
  EXPECT_FALSE(s.loadBuiltin(QStringLiteral("garden"), &error));

  std::vector<float> before(kPixels), after(kPixels);
  s.render(3.0, before.data());
  const char* const bad[] = {"rect 0 0 10 10 5\nrect 0 0 10\n",
                             "# comment\n\nsquare 0 0 4 4 1\n",
                             "rect 0 0 4 4 $nowhere\n",
                             "object a path 0 0 1 1 2\nrect 0 0 4 4 1\n",
                             "end\n",
                             "stop far 100 0 5\nrect 0 0 4 4 1\n",  // leaves the world
                             "rect 0 0 4 4 1 glow 3\n",
                             "rect 0 0 -4 4 1\n",
                             "world 100 100\n",
                             ""};
  for (const char* b : bad) EXPECT_FALSE(s.parse(QString::fromLatin1(b), &error)) << b;
  // A refused description leaves the scene as it was.
  s.render(3.0, after.data());
  EXPECT_EQ(before, after);
  EXPECT_EQ(s.name(), QStringLiteral("bench"));
}

// The finer grid shows the same view: averaged back over each sensor pixel's
// 3 x 3 block it matches the sensor-size rendering except where an edge or
// the fine structure falls inside a pixel.
TEST(ThermalScene, ThreefoldRenderingAveragesToTheSensorView) {
  ThermalScene s;
  QString error;
  for (const QString& name : ThermalScene::builtinNames()) {
    ASSERT_TRUE(s.loadBuiltin(name, &error));
    const double t = 7.3;  // mid-pan on the bench, objects under way in the field
    std::vector<float> coarse(kPixels), fine(kPixels * 9);
    s.render(t, coarse.data());
    s.render(t, fine.data(), 3);
    double meanErr = 0;
    int close = 0;
    for (int y = 0; y < ThermalScene::kHeight; ++y)
      for (int x = 0; x < ThermalScene::kWidth; ++x) {
        double sum = 0;
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) sum += fine[(3 * y + i) * 768 + 3 * x + j];
        const double err = std::fabs(sum / 9 - coarse[y * ThermalScene::kWidth + x]);
        meanErr += err / kPixels;
        close += err < 0.5;
      }
    // a sixth of a sensor pixel's shift already doubles the mean error
    EXPECT_LT(meanErr, 0.05) << name.toStdString();
    EXPECT_GT(close, kPixels * 97 / 100) << name.toStdString();
  }
}

TEST(ThermalCore, RegionQueryReturnsKnownTemperaturesWithTheBias) {
  ThermalCore core;
  QString error;
  ASSERT_TRUE(
      core.setSceneText(QStringLiteral("rect 0 0 128 192 10\nrect 128 0 128 192 60\n"), &error))
      << error.toStdString();
  // Grid 252 wide across the 256 columns: column 125 of the grid is image 127.
  EXPECT_NEAR(core.measureRegion(0, 10, 10, 100, 180), 10.8, 0.1);
  EXPECT_NEAR(core.measureRegion(0, 140, 10, 240, 180), 60.8, 0.1);
  // Corners in either order, and clamped to the grid.
  EXPECT_NEAR(core.measureRegion(0, 400, 500, 200, 150), core.measureRegion(0, 200, 150, 251, 191),
              0.1);
  EXPECT_NEAR(core.measureRegion(0, -5, -5, 3, 3), 10.8, 0.1);
  // Straddling the edge: between the two.
  const double mixed = core.measureRegion(0, 115, 90, 135, 100);
  EXPECT_GT(mixed, 25.0);
  EXPECT_LT(mixed, 45.0);

  sim::ThermalCoreOptions exact;
  exact.measureBiasC = 0.0;
  ThermalCore unbiased(exact);
  ASSERT_TRUE(unbiased.setSceneText(QStringLiteral("rect 0 0 256 192 -12.5\n"), &error));
  EXPECT_NEAR(unbiased.measureRegion(0, 0, 0, 251, 191), -12.5, 0.1);
}

TEST(ThermalCore, ObjectsMoveAlongTheirPathsInTime) {
  ThermalCore core;
  QString error;
  ASSERT_TRUE(core.setSceneText(QStringLiteral("rect 0 0 256 192 20\n"
                                               "object ball path 20 96 220 96 10\n"
                                               "ellipse 0 0 12 12 80\n"
                                               "end\n"),
                                &error))
      << error.toStdString();
  // Grid column for image column x is about x * 251 / 255.
  auto at = [&](double t, int x) { return core.measureRegion(t, x - 2, 94, x + 2, 98); };
  EXPECT_NEAR(at(0.0, 20), 80.8, 0.5);
  EXPECT_NEAR(at(0.0, 118), 20.8, 0.5);
  EXPECT_NEAR(at(2.5, 118), 80.8, 0.5);  // half way out at a quarter period
  EXPECT_NEAR(at(2.5, 20), 20.8, 0.5);
  EXPECT_NEAR(at(10.0, 20), 80.8, 0.5);  // and back
}

TEST(ThermalCore, AutomaticGainSpreadsTheSceneAndFollowsItSmoothly) {
  ThermalCore core;
  QString error;
  ASSERT_TRUE(core.loadScene(QStringLiteral("field"), &error)) << error.toStdString();
  std::vector<uint8_t> f;
  for (int i = 0; i < 3; ++i) f = frame(core, i * 0.04);
  const std::vector<int> y = sortedLuma(f);
  EXPECT_LE(y[kPixels / 100], 12);
  EXPECT_GE(y[kPixels * 99 / 100], 243);
  for (size_t i = 1; i < f.size(); i += 2) ASSERT_EQ(f[i], 128) << "chroma is flat";

  // A cold scene, then a hot one: the stretch moves towards it, not at once.
  ASSERT_TRUE(core.setSceneText(QStringLiteral("gradient 0 0 256 192 0 10\n"), &error));
  for (int i = 0; i < 5; ++i) frame(core, 0);
  double lowCold, highCold;
  core.agcWindow(&lowCold, &highCold);
  EXPECT_NEAR(lowCold, 0.1, 0.5);
  EXPECT_NEAR(highCold, 9.9, 0.5);
  // Swapping the description starts the stretch afresh, as a new scene;
  // within one scene a change is followed gradually.
  ASSERT_TRUE(core.setSceneText(QStringLiteral("param t 0\ngradient 0 0 256 192 $t 10\n"
                                               "rect 0 0 256 96 $t\n"),
                                &error));
  frame(core, 0);
  ASSERT_TRUE(core.setSceneParam("t", 50));
  EXPECT_FALSE(core.setSceneParam("nothing", 1));
  frame(core, 0);
  double low1, high1;
  core.agcWindow(&low1, &high1);
  EXPECT_GT(high1, 12.0);
  EXPECT_LT(high1, 45.0);
  for (int i = 0; i < 60; ++i) frame(core, 0);
  double low60, high60;
  core.agcWindow(&low60, &high60);
  EXPECT_NEAR(high60, 50.0, 1.0);
}

TEST(ThermalCore, TemporalNoiseIsAboutFortyMillikelvin) {
  ThermalCore core;
  QString error;
  ASSERT_TRUE(core.setSceneText(QStringLiteral("rect 0 0 256 192 25\n"), &error));
  frame(core, 0);
  const std::vector<uint8_t> a = frame(core, 0), b = frame(core, 0);
  double low, high;
  core.agcWindow(&low, &high);
  const double kelvinPerLevel = (high - low) / 255.0;
  double sum2 = 0;
  for (size_t i = 0; i < a.size(); i += 2) {
    const double d = (double(a[i]) - b[i]) * kelvinPerLevel;
    sum2 += d * d;
  }
  // Two frames' noise in each difference.
  const double rms = std::sqrt(sum2 / kPixels / 2.0);
  EXPECT_GT(rms, 0.03);
  EXPECT_LT(rms, 0.05);
}

TEST(ThermalCore, BenchReferencesReadAsTheCalibrationExpects) {
  ThermalCore core;
  QString error;
  ASSERT_TRUE(core.loadScene(QStringLiteral("bench"), &error)) << error.toStdString();
  // The reticle's default 21 x 21 rectangle at the grid's centre.
  auto centre = [&] { return core.measureRegion(1.0, 116, 86, 136, 106); };
  const struct {
    const char* stop;
    double reference;
    double tolerance;
  } refs[] = {
      {"cup", 100.0, 1.5}, {"ice", 0.0, 1.0}, {"hand", 35.0, 3.0}, {"blackbody", 37.0, 0.2}};
  for (const auto& r : refs) {
    ASSERT_TRUE(core.holdView(QString::fromLatin1(r.stop)));
    EXPECT_NEAR(centre(), r.reference + 0.8, r.tolerance) << r.stop;
  }
  ASSERT_TRUE(core.setSceneParam("blackbody", 120.0));
  EXPECT_NEAR(centre(), 120.8, 0.2);
  EXPECT_FALSE(core.holdView(QStringLiteral("kettle")));
  // The tour visits every stop: the cup first, then the ice water.
  ASSERT_TRUE(core.holdView(QString()));
  EXPECT_NEAR(core.measureRegion(1.0, 116, 86, 136, 106), 100.8, 1.5);
  EXPECT_NEAR(core.measureRegion(16 + 2.5 + 1.0, 116, 86, 136, 106), 0.8, 1.0);
}

}  // namespace
