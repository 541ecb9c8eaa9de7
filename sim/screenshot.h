#pragma once
// What the simulator's screenshots hold: the window as the panel shows it,
// the thermal picture beneath with the interface drawn over it, 360 x 320.
//
// A dialog the interface opens is a window of its own on a PC; on the panel
// it is part of the one picture. So the device's dialogs that are showing are
// drawn over the window where they stand.
#include <QImage>
#include <QPoint>
#include <QString>
#include <QVector>

class QWidget;

namespace sim {

// The visible windows opened over `window` by its widgets (dialogs), lowest first.
QVector<QWidget*> deviceDialogs(QWidget* window);
// Where `dialog` stands in `window`'s coordinates.
QPoint dialogOffset(QWidget* window, QWidget* dialog);

// Renders the window and its dialogs into *image, which must be the window's size.
void renderScreen(QWidget* window, QImage* image);
QImage grabScreen(QWidget* window);
// Saves grabScreen() as a PNG (or what the name's suffix says); false with
// one line on stderr if the file cannot be written.
bool saveScreenshot(QWidget* window, const QString& file);

}  // namespace sim
