#include "sim/screenshot.h"

#include <QPixmap>
#include <QWidget>
#include <cstdio>

namespace sim {

QImage grabScreen(QWidget* window) {
  // The window's own paint brings the panel's picture (the underlay's filter
  // draws it first), then every child over it.
  return window ? window->grab().toImage() : QImage();
}

bool saveScreenshot(QWidget* window, const QString& file) {
  const QImage shot = grabScreen(window);
  if (!shot.isNull() && shot.save(file)) return true;
  std::fprintf(stderr, "heatlume-sim: cannot write %s\n", qPrintable(file));
  return false;
}

}  // namespace sim
