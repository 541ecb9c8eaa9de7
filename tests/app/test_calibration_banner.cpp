// The banner over the live view during a calibration run: its lines fit
// their labels, descenders and all, in every language and phase.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include "app/temperature_pages.h"
#include "thermal/calibration_flow.h"

TEST(CalibrationBanner, EveryLineFitsItsLabel) {
  for (double scale : {1.6, 2.0, 2.2}) {
    QWidget window;
    window.resize(360, 320);
    auto* central = new QWidget(&window);
    central->resize(360, 320);
    TemperaturePages pages(&window, central, scale, [](float* c) {
      *c = 30.0f;
      return true;
    });
    window.show();
    for (int lang = 0; lang < 3; ++lang) {
      pages.setLanguage(lang);
      pages.flow()->start();
      for (int second = 0; second < 11 && pages.flow()->isCalibrating(); ++second) {
        for (QLabel* l : pages.banner()->findChildren<QLabel*>()) {
          if (l->text().isEmpty()) continue;
          l->ensurePolished();
          const QFontMetrics fm(l->font());
          EXPECT_LE(fm.height(), l->height())
              << "scale " << scale << ": " << l->text().toStdString();
          EXPECT_LE(fm.horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
        }
        pages.flow()->tick();
      }
      EXPECT_FALSE(pages.flow()->isCalibrating());
    }
  }
}
