// The board's program: the application over the real Linux devices.
#include <QApplication>
#include <memory>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "platform/system_actions.h"

int main(int argc, char** argv) {
  startup::beforeApplication();
  QApplication app(argc, argv);
  startup::configureApplication(app);

#if defined(HEATLUME_BOARD)
  // Power-off reboots only in a build for the board that runs on the board.
  platform::LinuxSystemActions boardActions(platform::onBoardHardware());
  platform::setSystemActions(&boardActions);
#endif

  int rc = 0;
  {
    auto state = std::make_unique<AppController>();
    auto window = std::make_unique<MainWindow>(state.get());
    window->show();
    rc = app.exec();
    window.reset();  // joins the worker threads
    state.reset();
  }
#if defined(HEATLUME_BOARD)
  platform::setSystemActions(nullptr);
#endif
  return rc;
}
