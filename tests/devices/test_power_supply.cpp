#include <gtest/gtest.h>

#include "devices/power_supply.h"
#include "tests/support/temp_root.h"

using power_supply::BatterySmoother;

namespace {
BatterySmoother::Result feed(std::initializer_list<int> readings) {
  BatterySmoother s;
  BatterySmoother::Result r{};
  for (int v : readings) r = s.add(v);
  return r;
}
}  // namespace

TEST(PowerSupply, SmoothingDropsOutliersAndDecidesLowPower) {
  EXPECT_EQ(feed({50, 50, 50, 50, 90}).percent, 50);
  auto r = feed({9, 10, 10, 11, 12});
  EXPECT_EQ(r.percent, 10);
  EXPECT_FALSE(r.low);
  r = feed({8, 9, 9, 9, 30});
  EXPECT_EQ(r.percent, 9);
  EXPECT_TRUE(r.low);
  EXPECT_EQ(feed({100, 100, 100, 100, 100}).percent, 100);
  // Fewer than five samples: the raw value, low at 9 % or less.
  r = feed({9});
  EXPECT_EQ(r.percent, 9);
  EXPECT_TRUE(r.low);
  r = feed({10, 40});
  EXPECT_EQ(r.percent, 40);
  EXPECT_FALSE(r.low);
  // Only the last five count.
  EXPECT_EQ(feed({0, 0, 0, 70, 70, 70, 70, 70}).percent, 70);
}

TEST(PowerSupply, SysfsFilesAreReadTolerantly) {
  TempRoot root;
  EXPECT_EQ(power_supply::readIntFile(power_supply::kCapacityPath), -1);  // missing
  root.write(power_supply::kCapacityPath, " 57\n");
  EXPECT_EQ(power_supply::readIntFile(power_supply::kCapacityPath), 57);
  root.write(power_supply::kCapacityPath, "full\n");
  EXPECT_EQ(power_supply::readIntFile(power_supply::kCapacityPath), -1);

  EXPECT_EQ(power_supply::readChargingStatus(), -1);
  root.write(power_supply::kChargerStatusPath, "  charging \n");
  EXPECT_EQ(power_supply::readChargingStatus(), 1);
  root.write(power_supply::kChargerStatusPath, QByteArray("Charging\0junk", 13));
  EXPECT_EQ(power_supply::readChargingStatus(), 1);
  root.write(power_supply::kChargerStatusPath, "Not charging\n");
  EXPECT_EQ(power_supply::readChargingStatus(), 0);

  EXPECT_FALSE(power_supply::sdCardPresent());
  root.write(power_supply::kSdCardNode, "");
  EXPECT_TRUE(power_supply::sdCardPresent());
}

TEST(PowerSupply, BacklightTakesThePercentageScaledTo255) {
  TempRoot root;
  EXPECT_EQ(power_supply::applyBacklightBrightness(50), -1);  // no backlight node
  root.write(power_supply::kBacklightPath, "0");
  const struct {
    int percent;
    const char* written;
  } cases[] = {{0, "0"}, {1, "3"}, {50, "128"}, {100, "255"}, {150, "255"}, {1, "3"}};
  for (const auto& c : cases) {
    ASSERT_EQ(power_supply::applyBacklightBrightness(c.percent), 0);
    EXPECT_EQ(root.read(power_supply::kBacklightPath), QByteArray(c.written)) << c.percent;
  }
}
