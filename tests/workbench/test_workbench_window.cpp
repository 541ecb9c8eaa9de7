// The workbench as a person meets it: a real window on an X server, the
// whole program behind it on the simulated board. The on-screen shutter key
// puts a photo on the card; the card button takes the card out and the home
// page's card icon changes; a double tap on the enlarged screen zooms.
#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "sim/keyboard_keys.h"
#include "sim/power_controls.h"
#include "sim/workbench.h"
#include "tests/e2e/e2e_device.h"
#include "tests/support/run_capture.h"
#include "ui/homepage.h"

namespace {

// As heatlume-sim does on a desktop: the device's window is never on screen,
// the bench shows it.
sim::WorkbenchParts benchParts(e2e::Device& d, sim::PowerControls& power) {
  d.window().hide();
  d.window().setAttribute(Qt::WA_DontShowOnScreen);
  d.window().show();
  sim::WorkbenchParts parts;
  parts.device = &d.window();
  parts.keypad = &d.keys();
  parts.power = &power;
  return parts;
}

TEST(WorkbenchWindow, ShutterCardAndTouchFromTheBench) {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    GTEST_SKIP() << "needs an X server (run through xvfb-run with QT_QPA_PLATFORM=xcb)";
  e2e::Device d;
  sim::PowerControls power(d.root().dir(), d.board().accel());
  sim::WorkbenchParts parts = benchParts(d, power);
  parts.core = &d.board().core();
  parts.kms = &d.board().kms();
  parts.cardFolder = d.root().file(QStringLiteral("/mnt/sdcard"));
  sim::Workbench bench(parts, 2);
  new sim::KeyboardKeys(&d.keys(), &bench, &power);
  bench.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bench, 5000));
  ASSERT_TRUE(d.waitForPicture());
  EXPECT_FALSE(d.window().isWindow() && d.window().windowHandle() &&
               d.window().windowHandle()->isExposed());

  // The shutter key on the bench: a photo of the device alone.
  QPushButton* shutter = bench.keyButton(sim::BoardKey::Shutter);
  QTest::mousePress(shutter, Qt::LeftButton);
  e2e::pump(80);
  QTest::mouseRelease(shutter, Qt::LeftButton);
  const QString photo = d.root().file(QStringLiteral("/mnt/sdcard/picture/pic_1.jpg"));
  ASSERT_TRUE(e2e::waitUntil([&] { return QFile::exists(photo) && !QImage(photo).isNull(); }, 5000));
  EXPECT_EQ(QImage(photo).size(), QSize(360, 320));
  e2e::pump(600);  // the status line counts the card's files twice a second
  EXPECT_TRUE(bench.statusLabel()->text().contains(QLatin1String("1 photo,")))
      << bench.statusLabel()->text().toStdString();

  // The card out: the home page's icon changes within the program's 1 s poll.
  HomePage* home = d.window().homePage();
  ASSERT_NE(home, nullptr);
  ASSERT_TRUE(home->sdCardPresent());
  const QImage band = d.interfacePicture().copy(0, 0, 360, 40);
  QTest::mouseClick(bench.cardButton(), Qt::LeftButton);
  EXPECT_FALSE(power.cardInserted());
  ASSERT_TRUE(e2e::waitUntil([&] { return !home->sdCardPresent(); }, 3000));
  e2e::pump(50);
  EXPECT_NE(d.interfacePicture().copy(0, 0, 360, 40), band);
  QTest::mouseClick(bench.cardButton(), Qt::LeftButton);
  ASSERT_TRUE(e2e::waitUntil([&] { return home->sdCardPresent(); }, 3000));

  // A double tap in the middle of the enlarged screen: zoom x2.
  QWidget* screen = bench.findChild<QWidget*>(QStringLiteral("screen"));
  ASSERT_NE(screen, nullptr);
  const QPoint middle(2 * 180, 2 * 160);
  QTest::mouseClick(screen, Qt::LeftButton, Qt::NoModifier, middle);
  QTest::mouseClick(screen, Qt::LeftButton, Qt::NoModifier, middle, 80);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.window().zoomTenths() == 20; }, 2000));

  // A modal dialog of the device's: it shows on the enlarged screen, and a
  // real click there (through the window system, where modality applies)
  // answers it.
  QDialog dialog(&d.window(), Qt::Dialog | Qt::FramelessWindowHint);
  dialog.setModal(true);
  dialog.setFixedSize(160, 100);
  auto* yes = new QPushButton(QStringLiteral("Yes"), &dialog);
  yes->setGeometry(10, 50, 60, 40);
  QObject::connect(yes, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.move(d.window().mapToGlobal(QPoint(100, 110)));
  QTimer::singleShot(100, [&] {
    const QPoint onYes = screen->mapTo(&bench, QPoint(2 * 140, 2 * 180));
    QTest::mouseClick(bench.windowHandle(), Qt::LeftButton, Qt::NoModifier, onYes);
  });
  QTimer::singleShot(4000, &dialog, &QDialog::reject);  // a guard, should the click miss
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);

  // What the window shows is the device's screen, enlarged pixel for pixel.
  bench.refreshScreen();
  const QImage device = bench.deviceScreen();
  const QImage shown = screen->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(720, 640));
  for (const QPoint p : {QPoint(5, 5), QPoint(180, 20), QPoint(300, 300)})
    EXPECT_EQ(shown.pixel(2 * p.x() + 1, 2 * p.y() + 1), device.pixel(p));
}

// A key held through the X server, whose auto-repeat is on (Xvfb's default,
// as on most desktops): it arrives as a press, then pairs of releases and
// presses many times a second. The board must see one hold: Space held 3 s
// starts a recording (no photos), P held 4 s powers off.
TEST(WorkbenchWindow, HeldKeysSurviveTheDesktopsAutoRepeat) {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    GTEST_SKIP() << "needs an X server (run through xvfb-run with QT_QPA_PLATFORM=xcb)";
  const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  if (xdotool.isEmpty())
    GTEST_SKIP() << "needs xdotool to hold keys on the X server (tools/setup-deps.sh installs it)";
  e2e::Device d;
  sim::PowerControls power(d.root().dir(), d.board().accel());
  sim::Workbench bench(benchParts(d, power), 1);
  new sim::KeyboardKeys(&d.keys(), &bench, &power);
  bench.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bench, 5000));
  bench.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&bench, 5000));
  ASSERT_TRUE(d.waitForPicture());
  auto xdo = [&](const QStringList& args) {
    return testsupport::runCapturing(xdotool, args).exitStatus == 0;
  };
  // The pointer over the window too: without a window manager the keyboard
  // may follow the pointer.
  const QPoint middle = bench.mapToGlobal(bench.rect().center());
  ASSERT_TRUE(
      xdo({QStringLiteral("mousemove"), QString::number(middle.x()), QString::number(middle.y())}));

  ASSERT_TRUE(xdo({QStringLiteral("keydown"), QStringLiteral("space")}));
  e2e::pump(3000);
  ASSERT_TRUE(xdo({QStringLiteral("keyup"), QStringLiteral("space")}));
  e2e::pump(400);
  EXPECT_TRUE(d.state().recording());
  EXPECT_TRUE(d.photos().isEmpty()) << d.photos().size() << " photos";
  // A tap stops it.
  ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("space")}));
  EXPECT_TRUE(e2e::waitUntil([&] { return !d.state().recording(); }, 3000));

  ASSERT_TRUE(xdo({QStringLiteral("keydown"), QStringLiteral("p")}));
  e2e::pump(4000);
  ASSERT_TRUE(xdo({QStringLiteral("keyup"), QStringLiteral("p")}));
  EXPECT_TRUE(d.window().poweringOff());
  EXPECT_TRUE(d.photos().isEmpty());
}

}  // namespace
