// A script that answers the device's delete question: the tap that opens the
// modal dialog returns at once for the script, the dialog is in the script's
// screenshot where the device shows it, and the script's own taps answer it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "sim/sim_script.h"
#include "tests/e2e/e2e_device.h"

TEST(ScriptDialog, AScriptDeletesAPhotoThroughTheDialogAndEndsByItsOwnQuit) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  QTemporaryDir shots;
  const QString asked = shots.filePath(QStringLiteral("asked.png"));
  // Menu coordinates as the README's page map gives them.
  const QString text = QStringLiteral(
                           "key shutter tap\n"
                           "wait 1200\n"
                           "long-press 180 160  # the menu\n"
                           "wait 400\n"
                           "tap 55 210          # back one item: Video\n"
                           "wait 400\n"
                           "tap 55 210          # Picture\n"
                           "wait 400\n"
                           "tap 180 210         # open it\n"
                           "wait 500\n"
                           "tap 180 285         # Delete: the question\n"
                           "wait 300\n"
                           "screenshot %1\n"
                           "dialog cancel\n"
                           "wait 300\n"
                           "tap 180 285\n"
                           "wait 300\n"
                           "tap 244 222         # Confirm\n"
                           "wait 300\n"
                           "quit\n")
                           .arg(asked);
  QVector<sim::ScriptAction> actions;
  QString error;
  ASSERT_TRUE(sim::parseScript(text, &actions, &error)) << error.toStdString();
  sim::ScriptRunner runner(actions, &d.window(), &d.keys());
  bool quit = false;
  QObject::connect(&runner, &sim::ScriptRunner::quitRequested, [&] { quit = true; });
  // Should a dialog hold the script up, it is sent away now and then, so the
  // test fails rather than waits for ever.
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [&] { sim::answerDeviceDialog(&d.window(), false); });
  guard.start(12000);
  QElapsedTimer t;
  t.start();
  runner.start();
  // About five seconds of script; a dialog that held up its clock would
  // leave it waiting for ever.
  ASSERT_TRUE(e2e::waitUntil([&] { return quit; }, 15000));
  EXPECT_LT(t.elapsed(), 12000);

  ASSERT_EQ(d.photos().size(), 1);
  EXPECT_FALSE(QFileInfo::exists(d.root().file(d.photos().first())));
  // The question, centred on the screen over the gallery.
  const QImage shot(asked);
  ASSERT_EQ(shot.size(), QSize(360, 320));
  EXPECT_EQ(shot.pixel(52, 175), qRgb(0xeb, 0xeb, 0xf2));
  EXPECT_NE(shot.pixel(30, 175), qRgb(0xeb, 0xeb, 0xf2));
}
