#pragma once
// Rendering and pixel helpers shared by the overlay tests.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <functional>

#include "overlay/aim.h"

namespace overlaytest {

// A flat backdrop no reticle colour can be confused with.
inline const QColor kBackdrop(64, 72, 80);

inline QImage blankImage() {
  QImage img(360, 320, QImage::Format_ARGB32_Premultiplied);
  img.fill(kBackdrop);
  return img;
}

// What the widget's paint event draws, over the backdrop.
inline QImage render(aim& overlay) {
  overlay.resize(360, 320);
  QImage img = blankImage();
  overlay.render(&img);
  return img;
}

inline QImage drawn(const std::function<void(QPainter*)>& draw) {
  QImage img = blankImage();
  QPainter p(&img);
  draw(&p);
  return img;
}

inline bool near(QColor a, QColor b, int tol = 40) {
  return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
         std::abs(a.blue() - b.blue()) <= tol;
}

inline QColor at(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

inline bool isBackdrop(const QImage& img, int x, int y) { return at(img, x, y) == kBackdrop; }

// Pixels in `r` (clipped to the image) that satisfy `pred`.
inline int count(const QImage& img, const QRect& r, const std::function<bool(QColor)>& pred) {
  const QRect c = r.intersected(img.rect());
  int n = 0;
  for (int y = c.top(); y <= c.bottom(); ++y)
    for (int x = c.left(); x <= c.right(); ++x)
      if (pred(img.pixelColor(x, y))) ++n;
  return n;
}

inline int countNear(const QImage& img, const QRect& r, QColor colour, int tol = 40) {
  return count(img, r, [&](QColor c) { return near(c, colour, tol); });
}

inline int countChanged(const QImage& img, const QRect& r) {
  return count(img, r, [](QColor c) { return c != kBackdrop; });
}

}  // namespace overlaytest
