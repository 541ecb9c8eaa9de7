// One calibration on the simulated bench, driven through the window's pages
// as a user's taps drive it, and the corrected readout afterwards on the
// blackbody and on the cup of boiling water.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "overlay/aim.h"
#include "app/center_readout.h"
#include "tests/e2e/e2e_device.h"
#include "thermal/calibration_flow.h"
#include "ui/temppages.h"
#include "ui/brightnesspillbutton.h"
#include "ui/toggleswitchbutton.h"

namespace {

template <class Page>
Page* pageAt(e2e::Device& d, int index) {
  return qobject_cast<Page*>(d.window().page(index));
}

void click(QWidget* b) { QTest::mouseClick(b, Qt::LeftButton); }

double shownCelsius(e2e::Device& d) {
  d.window().centerReadout()->poll();
  QString text = d.window().overlay()->centerTemperatureText();
  text.chop(3);  // " °C"
  bool ok = false;
  const double v = text.toDouble(&ok);
  EXPECT_TRUE(ok) << text.toStdString();
  return v;
}

}  // namespace

TEST(Calibration, BlackbodyRunThroughThePagesCorrectsTheReadout) {
  e2e::DeviceOptions o;
  o.scene = QStringLiteral("bench");
  o.holdView = QStringLiteral("blackbody");
  o.blackbodyC = 40.0;
  e2e::Device d(o);
  MainWindow& w = d.window();
  ASSERT_TRUE(d.waitForPicture());

  w.stack()->setCurrentIndex(MainWindow::kTempMeasurePage);
  auto* measure = pageAt<TempMeasurePage>(d, MainWindow::kTempMeasurePage);
  click(measure->switchButton());
  EXPECT_TRUE(d.setting("TempMeasureEnabled").toBool());
  click(measure->calibrationRow());
  ASSERT_EQ(w.stack()->currentIndex(), MainWindow::kTempCalRefPage);
  click(pageAt<TempCalRefPage>(d, MainWindow::kTempCalRefPage)->rowButton(3));
  ASSERT_EQ(w.stack()->currentIndex(), MainWindow::kTempCalBlackbodyPage);
  auto* blackbody = pageAt<TempCalBlackbodyPage>(d, MainWindow::kTempCalBlackbodyPage);
  for (int i = 0; i < 6; ++i) click(blackbody->plusButton());  // 37.0 -> 40.0
  EXPECT_DOUBLE_EQ(w.calibrationFlow()->blackbodyC(), 40.0);
  click(blackbody->nextButton());
  ASSERT_EQ(w.stack()->currentIndex(), MainWindow::kTempCalGuidePage);
  click(pageAt<TempCalGuidePage>(d, MainWindow::kTempCalGuidePage)->startButton());

  // The run shows the live view with its banner; the ticks come from the
  // window's one-second timer, taken here without the waiting.
  EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kHomePage);
  EXPECT_TRUE(w.calibrationPanel()->isVisible());
  for (int i = 0; i < 11; ++i) w.calibrationFlow()->tick();
  ASSERT_EQ(w.stack()->currentIndex(), MainWindow::kTempCalResultPage);
  EXPECT_FALSE(w.calibrationPanel()->isVisible());
  click(pageAt<TempCalResultPage>(d, MainWindow::kTempCalResultPage)->applyButton());
  EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kTempMeasurePage);
  const double offset = d.setting("TempMeasureOffsetC").toDouble();
  EXPECT_NEAR(offset, -0.8, 0.1);

  w.goHome();
  EXPECT_NEAR(shownCelsius(d), 40.0, 0.2);
  ASSERT_TRUE(d.board().core().holdView(QStringLiteral("cup")));
  EXPECT_NEAR(shownCelsius(d), 100.0, 1.0);
}
