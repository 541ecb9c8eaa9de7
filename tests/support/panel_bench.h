#pragma once
// The simulated board with its panel beneath a bare see-through 360 x 320
// window: what a test of the picture on the panel needs, and nothing of the
// application. Header only: the tests that use it link the simulator.
#include <QMainWindow>
#include <QString>
#include <QWidget>
#include <memory>

#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/support/temp_root.h"

namespace testsupport {

struct PanelBench {
  PanelBench() {
    QString error;
    ok = board.create(sim::SimBoardOptions{}, &error);
    if (!ok) return;
    board.install();
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.setFixedSize(360, 320);
    central = new QWidget;
    window.setCentralWidget(central);
    panel = std::make_unique<sim::PanelUnderlay>(&board.kms(), &window);
    window.show();
  }

  // Destroyed in reverse: the panel lets go of the window before it goes.
  TempRoot root;
  sim::SimBoard board;
  QMainWindow window;
  QWidget* central = nullptr;
  std::unique_ptr<sim::PanelUnderlay> panel;
  bool ok = false;
};

}  // namespace testsupport
