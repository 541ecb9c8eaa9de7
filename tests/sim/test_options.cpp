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

  // Checked here, before the simulator makes anything on disk; a view named
  // alone brings its scene.
  ASSERT_TRUE(sim::parseSimOptions({"--aim", "cup"}, &o, &error)) << error.toStdString();
  EXPECT_EQ(o.scene, QStringLiteral("bench"));
  const struct {
    QStringList args;
    const char* message;
  } refused[] = {
      {{"--scene", "mars"}, "--scene needs bench or field, not 'mars'"},
      {{"--aim", "window"}, "--aim needs cup, ice, hand or blackbody, not 'window'"},
      {{"--scene", "field", "--aim", "cup"}, "--aim: scene 'field' has no views to aim at"},
      {{"--scene", "bench", "--aim", "moon"},
       "--aim needs cup, ice, hand or blackbody, not 'moon'"},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(sim::parseSimOptions(r.args, &o, &error)) << r.args.join(' ').toStdString();
    EXPECT_EQ(error, QString::fromUtf8(r.message));
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

namespace {

TEST(SimOptions, ScaleVersionHelpAndTodaysMessages) {
  sim::SimOptions o;
  QString error;
  ASSERT_TRUE(sim::parseSimOptions({}, &o, &error));
  EXPECT_EQ(o.scale, 0);  // what fits the desktop
  const struct {
    const char* value;
    int scale;  // 0: refused
  } scales[] = {{"1", 1}, {"2", 2}, {"3x", 3}, {"0", 0}, {"4", 0}, {"big", 0}, {"2.5", 0}};
  for (const auto& s : scales) {
    error.clear();
    const bool ok = sim::parseSimOptions({"--scale", s.value}, &o, &error);
    EXPECT_EQ(ok, s.scale != 0) << s.value;
    if (ok) EXPECT_EQ(o.scale, s.scale) << s.value;
    else EXPECT_EQ(error, QStringLiteral("--scale needs 1, 2 or 3, not '%1'").arg(s.value));
  }

  ASSERT_TRUE(sim::parseSimOptions({"--version"}, &o, &error));
  EXPECT_TRUE(o.version);
  EXPECT_TRUE(sim::simVersion().startsWith(QLatin1String("heatlume-sim 1.")));
  for (const char* h : {"--help", "-h"}) {
    ASSERT_TRUE(sim::parseSimOptions({h}, &o, &error)) << h;
    EXPECT_TRUE(o.help);
  }
  ASSERT_TRUE(sim::parseSimOptions({"--headless", "--run-for", "2.5", "--root", "/tmp/x",
                                    "--card-full-after", "1000", "--screenshot", "a.png"},
                                   &o, &error))
      << error.toStdString();
  EXPECT_TRUE(o.headless);
  EXPECT_DOUBLE_EQ(o.runForSeconds, 2.5);
  EXPECT_EQ(o.root, QStringLiteral("/tmp/x"));
  EXPECT_EQ(o.cardFullAfterBytes, 1000);
  EXPECT_EQ(o.screenshot, QStringLiteral("a.png"));

  // The messages people already know.
  const struct {
    QStringList args;
    const char* message;
  } bad[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--headless", "extra"}, "unknown option 'extra'"},
      {{"--run-for"}, "--run-for needs a value"},
      {{"--run-for", "-1"}, "--run-for needs a number of seconds, not '-1'"},
      {{"--run-for", "inf"}, "--run-for needs a number of seconds, not 'inf'"},
      {{"--card-full-after", "lots"}, "--card-full-after needs a number of bytes, not 'lots'"},
  };
  for (const auto& b : bad) {
    error.clear();
    EXPECT_FALSE(sim::parseSimOptions(b.args, &o, &error)) << b.args.join(' ').toStdString();
    EXPECT_EQ(error, QString::fromLatin1(b.message));
  }
  // The fast clock and the language.
  ASSERT_TRUE(sim::parseSimOptions({"--time-scale", "600", "--language", "ru"}, &o, &error));
  EXPECT_EQ(o.timeScale, 600);
  EXPECT_EQ(o.language, 2);
  EXPECT_FALSE(sim::parseSimOptions({"--time-scale", "601"}, &o, &error));
  EXPECT_EQ(error, QStringLiteral("--time-scale needs a whole factor from 1 to 600, not '601'"));
  EXPECT_FALSE(sim::parseSimOptions({"--language", "de"}, &o, &error));
  EXPECT_EQ(error, QStringLiteral("--language needs zh, en or ru, not 'de'"));

  // Every option is in the help.
  for (const char* name : {"--root", "--scene", "--blackbody", "--aim", "--scale", "--headless",
                           "--run-for", "--screenshot", "--script", "--card-full-after",
                           "--time-scale", "--language", "--version", "--help"})
    EXPECT_TRUE(sim::simUsage().contains(QLatin1String(name))) << name;
}

}  // namespace
