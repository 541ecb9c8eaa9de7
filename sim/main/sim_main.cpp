// heatlume-sim: the application on a simulated board, on a PC.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "platform/paths.h"
#include "sim/board_root.h"
#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "sim/sim_options.h"

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
  if (opt.headless) qputenv("QT_QPA_PLATFORM", "offscreen");

  startup::beforeApplication();
  QApplication app(argc, argv);
  startup::configureApplication(app);

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

  const QString root = QDir(opt.root.isEmpty() ? sim::defaultBoardRoot() : opt.root).absolutePath();
  if (!sim::ensureBoardRoot(root)) return 1;
  platform::setRoot(root.toStdString());
  std::printf("heatlume-sim: board root %s\n", qPrintable(root));
  std::fflush(stdout);

  int rc = 0;
  {
    auto state = std::make_unique<AppController>();
    auto window = std::make_unique<MainWindow>(state.get());
    sim::PanelUnderlay panel(&board.kms(), window.get());
    window->show();
    if (opt.runForSeconds >= 0) {
      QTimer::singleShot(static_cast<int>(opt.runForSeconds * 1000), &app, [&] {
        if (!opt.screenshot.isEmpty()) {
          const QImage shot = window->grab().toImage();
          if (!shot.save(opt.screenshot))
            std::fprintf(stderr, "heatlume-sim: cannot write %s\n", qPrintable(opt.screenshot));
        }
        QCoreApplication::exit(0);
      });
    }
    rc = app.exec();
    window.reset();
    state.reset();
  }
  board.uninstall();
  return rc;
}
