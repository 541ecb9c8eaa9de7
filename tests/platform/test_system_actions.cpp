#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include "platform/system_actions.h"
#include "tests/support/temp_root.h"

TEST(SystemActions, ProgramsGetTheirArgumentsVerbatimWithNoShell) {
  TempRoot root;
  platform::LinuxSystemActions sys(false);
  // A path with spaces and shell syntax is one argument, never a command.
  const std::string odd = root.dir().toStdString() + "/a b; touch pwned $(x).txt";
  EXPECT_EQ(sys.runProgram({"sh", "-c", "test \"$1\" = \"$2\"", "sh", odd, odd}), 0);
  EXPECT_EQ(sys.runProgram({"sh", "-c", "printf x > \"$1\"", "sh", odd}), 0);
  EXPECT_TRUE(root.exists(QStringLiteral("/a b; touch pwned $(x).txt")));
  EXPECT_FALSE(root.exists(QStringLiteral("/pwned")));
  EXPECT_EQ(sys.runProgram({"sh", "-c", "exit 3"}), 3);
  EXPECT_EQ(sys.runProgram({"no-such-program-heatlume"}), -1);
  EXPECT_EQ(sys.runProgram({}), -1);
}

TEST(SystemActions, AProgramPastItsDeadlineIsKilledWithWhatItStarted) {
  TempRoot root;
  platform::LinuxSystemActions sys(false);
  // Within its deadline a program's status comes back as without one.
  EXPECT_EQ(sys.runProgram({"sh", "-c", "exit 3"}, 5000), 3);

  // What it started goes with it: nothing of it writes anything later.
  const std::string late = root.dir().toStdString() + "/late";
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(
      sys.runProgram({"sh", "-c", "(sleep 0.5; echo late > \"$1\") & sleep 30", "sh", late}, 200),
      platform::kProgramTimedOut);
  EXPECT_LT(t.elapsed(), 1500);
  QThread::msleep(1000);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(late)));
}

TEST(SystemActions, RemoveFileWorksUnderTheRootAndReportsFailure) {
  TempRoot root;
  platform::LinuxSystemActions sys(false);
  ASSERT_TRUE(root.write("/mnt/sdcard/video/video_1.h264", "x"));
  EXPECT_TRUE(sys.removeFile("/mnt/sdcard/video/video_1.h264"));
  EXPECT_FALSE(root.exists("/mnt/sdcard/video/video_1.h264"));
  EXPECT_FALSE(sys.removeFile("/mnt/sdcard/video/video_1.h264"));
}

TEST(SystemActions, OffTheBoardTheFinalExitOnlyEndsTheEventLoop) {
  TempRoot root;  // no device tree here: not the board
  EXPECT_FALSE(platform::onBoardHardware());
  root.write("/proc/device-tree/compatible",
             QByteArray("rockchip,rv1126b-evb\0rockchip,rv1126b", 36));
  EXPECT_TRUE(platform::onBoardHardware());

  // Whatever the build, the process-wide default never reboots.
  auto* fallback = dynamic_cast<platform::LinuxSystemActions*>(&platform::sys());
  ASSERT_NE(fallback, nullptr);
  EXPECT_FALSE(fallback->onBoard());

  platform::LinuxSystemActions sys(false);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(42); });
  guard.start(5000);
  sys.finalExit();
  EXPECT_EQ(QCoreApplication::exec(), 0);
}
