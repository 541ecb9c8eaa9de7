// The simulator's command line: scene choice and the bench's controls.
#include <gtest/gtest.h>

#include "sim/sim_board.h"
#include "sim/sim_options.h"

namespace {

TEST(SimOptions, SceneBlackbodyAndAimReachTheBoard) {
  sim::SimOptions o;
  QString error;
  ASSERT_TRUE(sim::parseSimOptions(
      {"--scene", "bench", "--blackbody", "62.5", "--aim", "blackbody"}, &o, &error))
      << error.toStdString();
  EXPECT_EQ(o.scene, QStringLiteral("bench"));
  EXPECT_DOUBLE_EQ(o.blackbodyC, 62.5);
  EXPECT_EQ(o.aim, QStringLiteral("blackbody"));
  for (const QStringList& bad :
       {QStringList{"--blackbody", "warm"}, QStringList{"--blackbody", "600"},
        QStringList{"--blackbody", "nan"}, QStringList{"--aim"}}) {
    EXPECT_FALSE(sim::parseSimOptions(bad, &o, &error)) << bad.join(' ').toStdString();
  }

  sim::SimBoard board;
  sim::SimBoardOptions b;
  b.scene = QStringLiteral("bench");
  b.blackbodyC = 62.5;
  b.holdView = QStringLiteral("blackbody");
  ASSERT_TRUE(board.create(b, &error)) << error.toStdString();
  EXPECT_NEAR(board.core().measureRegion(0, 116, 86, 136, 106), 63.3, 0.2);
  b.holdView = QStringLiteral("window");
  EXPECT_FALSE(board.create(b, &error));
  b.scene = QStringLiteral("mars");
  EXPECT_FALSE(board.create(b, &error));
}

}  // namespace
