#include "sim/screenshot.h"

#include <QApplication>
#include <algorithm>
#include <QWidget>
#include <cstdio>

namespace sim {

QVector<QWidget*> deviceDialogs(QWidget* window) {
  QVector<QWidget*> out;
  if (!window) return out;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == window || !w->isVisible() || !w->parentWidget() ||
        w->parentWidget()->window() != window)
      continue;
    out << w;
  }
  // The modal one, if any, on top: it is the one the user answers.
  std::stable_partition(out.begin(), out.end(), [](QWidget* w) { return !w->isModal(); });
  return out;
}

QPoint dialogOffset(QWidget* window, QWidget* dialog) {
  return dialog->mapToGlobal(QPoint()) - window->mapToGlobal(QPoint());
}

void renderScreen(QWidget* window, QImage* image) {
  image->fill(Qt::black);
  if (!window) return;
  // The window's own paint brings the panel's picture (the underlay's filter
  // draws it first), then every child over it.
  window->render(image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  for (QWidget* d : deviceDialogs(window))
    d->render(image, dialogOffset(window, d), QRegion(),
              QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

QImage grabScreen(QWidget* window) {
  if (!window) return QImage();
  QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
  renderScreen(window, &image);
  return image;
}

bool saveScreenshot(QWidget* window, const QString& file) {
  const QImage shot = grabScreen(window);
  if (!shot.isNull() && shot.save(file)) return true;
  std::fprintf(stderr, "heatlume-sim: cannot write %s\n", qPrintable(file));
  return false;
}

}  // namespace sim
