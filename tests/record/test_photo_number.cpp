#include <gtest/gtest.h>

#include <QSettings>
#include <climits>

#include "platform/paths.h"
#include "record/photo_capture.h"
#include "tests/support/temp_root.h"

TEST(PhotoNumber, NextNumberIsWrittenBackAndStartsAgainAfterTheRange) {
  TempRoot root;
  const struct {
    QVariant stored;  // invalid: no key in the file
    int number;
  } cases[] = {{QVariant(), 1}, {41, 42},      {9999, 10000}, {10000, 0},
               {-1, 0},         {-5, 0},       {INT_MAX, 0},  {QStringLiteral("x"), 1}};
  for (const auto& c : cases) {
    {
      QSettings s(platform::settingsFile(), QSettings::IniFormat);
      s.clear();
      if (c.stored.isValid()) s.setValue("PictureFileNum", c.stored);
    }
    EXPECT_EQ(PhotoCapture::takePictureNumber(), c.number) << c.stored.toString().toStdString();
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(s.value("PictureFileNum").toInt(), c.number);
  }
}
