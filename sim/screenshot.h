#pragma once
// What the simulator's screenshots hold: the window as the panel shows it,
// the thermal picture beneath with the interface drawn over it, 360 x 320.
#include <QImage>
#include <QString>

class QWidget;

namespace sim {

QImage grabScreen(QWidget* window);
// Saves grabScreen() as a PNG (or what the name's suffix says); false with
// one line on stderr if the file cannot be written.
bool saveScreenshot(QWidget* window, const QString& file);

}  // namespace sim
