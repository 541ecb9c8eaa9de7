// One calibration on the simulated bench, with the reading the main window
// takes (the reticle centre's rectangle through the sensor channel), and the
// corrected readout on the blackbody and on the cup of boiling water.
#include <gtest/gtest.h>

#include <cstdio>

#include "sim/sim_board.h"
#include "tests/support/temp_root.h"
#include "thermal/calibration_flow.h"
#include "thermal/sensor_channel.h"

namespace {

// The window's centre reading: reticle at (180, 160), zoom x1, no SR.
bool readCentre(float* celsius) {
  int x0, y0, x1, y1;
  if (!mapScreenToThermalRegion(180, 160, false, 10, 10, &x0, &y0, &x1, &y1)) return false;
  return queryRegionTemperature(x0, y0, x1, y1, celsius);
}

// The readout as the window shows it: offset added in single precision.
double readout(double offsetC) {
  float reading = 0.0f;
  EXPECT_TRUE(readCentre(&reading));
  return static_cast<float>(offsetC) + reading;
}

}  // namespace

TEST(BenchCalibration, BlackbodyCalibrationCorrectsTheReadout) {
  for (double setPoint : {37.0, 120.0}) {
    SCOPED_TRACE(setPoint);
    TempRoot root;
    sim::SimBoard board;
    sim::SimBoardOptions o;
    o.scene = QStringLiteral("bench");
    o.blackbodyC = setPoint;
    o.holdView = QStringLiteral("blackbody");
    QString error;
    ASSERT_TRUE(board.create(o, &error)) << error.toStdString();
    board.install();
    resetSensorChannel();

    const double before = readout(0.0);
    CalibrationFlow flow(readCentre);
    double applied = 0.0;
    QObject::connect(&flow, &CalibrationFlow::offsetApplied, [&applied](double v) { applied = v; });
    flow.selectReference(CalibrationFlow::Blackbody);
    flow.nudgeBlackbody(setPoint - flow.blackbodyC());
    flow.prepareGuide();
    flow.start();
    for (int i = 0; i < 11; ++i) flow.tick();
    ASSERT_EQ(flow.result().samples, 3);
    ASSERT_TRUE(flow.apply());

    const double blackbody = readout(applied);
    ASSERT_TRUE(board.core().holdView(QStringLiteral("cup")));
    const double cup = readout(applied);
    std::printf("set point %.1f: uncorrected %.2f, mean %.3f, offset %+.3f, "
                "blackbody %.2f, cup %.2f\n",
                setPoint, before, flow.result().measuredC, applied, blackbody, cup);
    EXPECT_NEAR(blackbody, setPoint, 0.2);
    EXPECT_NEAR(cup, 100.0, 1.0);
    resetSensorChannel();
  }
}
