// heatlume-sim: the application on a simulated board, on a PC.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "platform/card_write.h"
#include "platform/constants.h"
#include "platform/paths.h"
#include "power/power_manager.h"
#include "sim/board_root.h"
#include "sim/keyboard_keys.h"
#include "sim/panel_underlay.h"
#include "sim/power_controls.h"
#include "sim/screenshot.h"
#include "sim/sim_board.h"
#include "sim/sim_options.h"
#include "sim/sim_script.h"
#include "sim/workbench.h"

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  sim::SimOptions opt;
  QString error;
  if (!sim::parseSimOptions(args, &opt, &error)) {
    std::fprintf(stderr, "heatlume-sim: %s\n\n%s", qPrintable(error),
                 qPrintable(sim::simUsage().arg(sim::defaultBoardRoot())));
    return 2;
  }
  if (opt.help) {
    std::printf("%s", qPrintable(sim::simUsage().arg(sim::defaultBoardRoot())));
    return 0;
  }
  if (opt.version) {
    std::printf("%s\n", qPrintable(sim::simVersion()));
    return 0;
  }
  // A script is checked whole before anything starts.
  QVector<sim::ScriptAction> script;
  if (!opt.script.isEmpty() &&
      !sim::loadScript(opt.script, &script, &error,
                       QSize(heatlume::kWindowWidth, heatlume::kWindowHeight))) {
    std::fprintf(stderr, "heatlume-sim: %s\n", qPrintable(error));
    return 2;
  }
  if (opt.headless) qputenv("QT_QPA_PLATFORM", "offscreen");

  startup::beforeApplication();
  QApplication app(argc, argv);
  startup::configureApplication(app);

  // The board's tree lives in a folder of its own: never the PC's own root,
  // whose /etc, /dev and /mnt the program would otherwise write.
  const QString root = QDir(opt.root.isEmpty() ? sim::defaultBoardRoot() : opt.root).absolutePath();
  QDir().mkpath(root);
  const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
  if (canonicalRoot.isEmpty() || canonicalRoot == QLatin1String("/")) {
    std::fprintf(stderr, "heatlume-sim: %s cannot be the board's root\n", qPrintable(root));
    return 2;
  }
  if (!sim::ensureBoardRoot(canonicalRoot)) return 1;
  platform::setRoot(canonicalRoot.toStdString());
  std::printf("heatlume-sim: board root %s\n", qPrintable(canonicalRoot));
  std::fflush(stdout);

  // The simulated devices answer for the board's nodes before any program
  // code opens one.
  sim::SimBoard board;
  sim::SimBoardOptions boardOptions;
  boardOptions.scene = opt.scene;
  boardOptions.blackbodyC = opt.blackbodyC;
  boardOptions.holdView = opt.aim;
  if (!board.create(boardOptions, &error)) {
    std::fprintf(stderr, "heatlume-sim: %s\n", qPrintable(error));
    return 2;
  }
  board.install();
  if (opt.cardFullAfterBytes >= 0) platform::setCardWriteFault(opt.cardFullAfterBytes, ENOSPC);

  // The bench's power hardware (charge, charger, card, motion), for the
  // keyboard and the script.
  sim::PowerControls power(canonicalRoot, board.accel());

  int rc = 0;
  {
    auto state = std::make_unique<AppController>();
    auto window = std::make_unique<MainWindow>(state.get());
    // As the language page would choose it: stored, and the interface
    // translated at once.
    if (opt.language >= 0) window->setLanguage(opt.language);
    if (opt.timeScale > 1) {
      window->powerManager()->setTimeScale(opt.timeScale);
      std::printf("heatlume-sim: power timers run %d times faster\n", opt.timeScale);
      std::fflush(stdout);
    }
    sim::PanelUnderlay panel(&board.kms(), window.get());
    // On a desktop the device's window stays 360 x 320 and off the screen:
    // the workbench shows it enlarged beside the bench's controls, so photos
    // and screenshots, which render that window, hold the device alone.
    std::unique_ptr<sim::Workbench> bench;
    if (!opt.headless) {
      window->setAttribute(Qt::WA_DontShowOnScreen);
      sim::WorkbenchParts parts;
      parts.device = window.get();
      parts.keypad = &board.keypad();
      parts.power = &power;
      parts.core = &board.core();
      parts.kms = &board.kms();
      parts.cardFolder = platform::qpath("/mnt/sdcard");
      parts.scene = opt.scene;
      parts.blackbodyC = opt.blackbodyC;
      parts.aim = opt.aim;
      parts.panel = &panel;
      parts.timeScale = opt.timeScale;
      MainWindow* device = window.get();
      parts.language = [device] { return device->language(); };
      parts.setLanguage = [device](int lang) { device->setLanguage(lang); };
      bench = std::make_unique<sim::Workbench>(parts, opt.scale);
      QObject::connect(state.get(), &AppController::recordingChanged, bench.get(),
                       [&bench, &state] { bench->setRecording(state->recording()); });
      QObject::connect(bench.get(), &sim::Workbench::closed, &app,
                       [] { QCoreApplication::exit(0); });
    }
    // Space, U and P are the board's keys while the simulator has the
    // keyboard; [ ] C S M work the power hardware.
    new sim::KeyboardKeys(&board.keypad(), bench ? static_cast<QWidget*>(bench.get()) : window.get(),
                          &power);
    window->show();
    if (bench) bench->show();
    // Every way out (run time over, the script's quit, power-off by key, the
    // window closed) passes one of these, so --screenshot is always written.
    // The run time and the script's quit take it before they end the event
    // loops, while a dialog the device has open is still on the screen.
    bool shot = false;
    bool shotFailed = false;
    auto shoot = [&] {
      if (shot || opt.screenshot.isEmpty()) return;
      shot = true;
      if (!sim::saveScreenshot(window.get(), opt.screenshot)) shotFailed = true;
    };
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, shoot);
    auto finish = [&shoot] {
      shoot();
      QCoreApplication::exit(0);
    };
    if (opt.runForSeconds >= 0)
      QTimer::singleShot(static_cast<int>(opt.runForSeconds * 1000), &app, finish);
    std::unique_ptr<sim::ScriptRunner> runner;
    if (!opt.script.isEmpty()) {
      runner = std::make_unique<sim::ScriptRunner>(script, window.get(), &board.keypad());
      runner->setPowerControls(&power);
      QObject::connect(runner.get(), &sim::ScriptRunner::quitRequested, &app, finish);
      runner->start();
    }
    rc = app.exec();
    // A script or tool waiting for the picture must not take a run without
    // it for a good one.
    if (rc == 0 && shotFailed) rc = 1;
    runner.reset();
    bench.reset();
    window.reset();
    state.reset();
  }
  board.uninstall();
  return rc;
}
