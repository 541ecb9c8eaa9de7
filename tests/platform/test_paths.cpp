#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/temp_root.h"

TEST(Paths, SystemPathsResolveUnderTheRootAndNowhereElse) {
  {
    TempRoot root;
    EXPECT_EQ(platform::path("/etc/settings.ini"), root.dir().toStdString() + "/etc/settings.ini");
    EXPECT_EQ(platform::qpath("/dev/video0"), root.dir() + "/dev/video0");
    EXPECT_EQ(platform::settingsFile(), root.dir() + "/etc/settings.ini");
    // Relative paths are the caller's own and stay as they are.
    EXPECT_EQ(platform::path("pictures/a.png"), "pictures/a.png");
  }
  // Without a root the board's own paths are used.
  EXPECT_EQ(platform::path("/etc/settings.ini"), "/etc/settings.ini");
  platform::setRoot("/tmp/x///");
  EXPECT_EQ(platform::path("/dev/video0"), "/tmp/x/dev/video0");
  platform::setRoot("/");
  EXPECT_EQ(platform::path("/dev/video0"), "/dev/video0");
}
