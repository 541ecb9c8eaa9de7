// The temperature pages' own behaviour: what they offer and what a tap or a
// gesture asks for.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>

#include "tests/ui/ui_test_util.h"
#include "ui/temppages.h"
#include "ui/toggleswitchbutton.h"

TEST(TempMeasurePage, SwitchGesturesAndTheCalibrationRow) {
  TempMeasurePage page(nullptr, 2.0);
  page.resize(360, 320);
  page.show();
  QSignalSpy toggle(&page, &TempMeasurePage::toggleRequested);
  QSignalSpy calibrate(&page, &TempMeasurePage::calibrateRequested);
  QSignalSpy back(&page, &UiPage::backToMenuRequested);

  // Off: the calibration row is neither shown nor reachable by touch.
  page.setState(false, 1);
  EXPECT_FALSE(page.calibrationRow()->isVisible());
  uitest::touch(&page, QPoint(180, 146));
  EXPECT_EQ(calibrate.size(), 0);
  page.switchButton()->click();
  ASSERT_EQ(toggle.size(), 1);
  EXPECT_TRUE(toggle.takeFirst()[0].toBool());

  page.setState(true, 1);
  EXPECT_TRUE(page.calibrationRow()->isVisible());
  EXPECT_TRUE(page.switchButton()->isOn());
  uitest::touch(&page, QPoint(180, 146));
  EXPECT_TRUE(uitest::waitFor([&] { return calibrate.size() == 1; }));
  page.switchButton()->click();
  EXPECT_FALSE(toggle.takeFirst()[0].toBool());

  // Right swipe asks for on, left for off, upwards goes back.
  uitest::drag(&page, QPoint(100, 250), QPoint(160, 255));
  uitest::drag(&page, QPoint(200, 250), QPoint(140, 245));
  uitest::drag(&page, QPoint(180, 280), QPoint(180, 240));
  ASSERT_EQ(toggle.size(), 2);
  EXPECT_TRUE(toggle[0][0].toBool());
  EXPECT_FALSE(toggle[1][0].toBool());
  EXPECT_EQ(back.size(), 1);
}

TEST(TempCalRefPage, EachRowNamesItsReference) {
  TempCalRefPage page(nullptr, 2.0);
  page.resize(360, 320);
  page.show();
  QSignalSpy selected(&page, &TempCalRefPage::refSelected);
  for (int row = 0; row < TempCalRefPage::kRows; ++row) {
    const QPushButton* b = page.rowButton(row);
    uitest::touch(&page, b->geometry().center());
    EXPECT_TRUE(uitest::waitFor([&] { return selected.size() == row + 1; }));
  }
  ASSERT_EQ(selected.size(), 4);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(selected[row][0].toInt(), row);
}
