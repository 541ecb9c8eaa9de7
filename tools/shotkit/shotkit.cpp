#include "tools/shotkit/shotkit.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace shotkit {

QRgb iron(double t) {
  struct Stop {
    double t;
    int r, g, b;
  } stops[] = {{0.00, 4, 2, 14},    {0.30, 40, 6, 80},    {0.50, 120, 14, 120},
               {0.68, 210, 60, 40}, {0.85, 250, 160, 20}, {1.00, 255, 250, 210}};
  t = std::clamp(t, 0.0, 1.0);
  for (int i = 1; i < 6; ++i) {
    if (t <= stops[i].t) {
      const Stop& a = stops[i - 1];
      const Stop& b = stops[i];
      const double u = (t - a.t) / (b.t - a.t);
      return qRgb(int(a.r + (b.r - a.r) * u), int(a.g + (b.g - a.g) * u),
                  int(a.b + (b.b - a.b) * u));
    }
  }
  return qRgb(255, 250, 210);
}

QImage fieldScene() {
  QImage img(kWidth, kHeight, QImage::Format_RGB32);
  auto blob = [](double x, double y, double cx, double cy, double sx, double sy) {
    const double dx = (x - cx) / sx;
    const double dy = (y - cy) / sy;
    return std::exp(-(dx * dx + dy * dy));
  };
  unsigned seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      double t = 0.10 + 0.16 * y / kHeight;      // ground warmer than sky
      t += 0.62 * blob(x, y, 236, 172, 27, 56);  // body
      t += 0.66 * blob(x, y, 236, 104, 15, 16);  // head
      t += 0.40 * blob(x, y, 92, 230, 58, 22);   // engine
      t += 0.22 * blob(x, y, 70, 208, 90, 36);
      t += 0.08 * std::sin(x * 0.05) * blob(x, y, 180, 300, 300, 40);
      seed = seed * 1103515245u + 12345u;
      t += ((seed >> 16) % 1000) / 1000.0 * 0.03;
      line[x] = iron(t);
    }
  }
  return img;
}

QImage shoot(QWidget* page, const QImage& backdrop, bool keepShown) {
  page->resize(kWidth, kHeight);
  page->show();
  // Let layouts and the show-time relayout settle.
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  QImage out = backdrop.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  page->render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
  if (!keepShown) page->hide();
  return out;
}

QImage contactSheet(const QList<Shot>& shots, int columns) {
  constexpr int kGap = 12;
  constexpr int kCaption = 22;
  const int rows = (shots.size() + columns - 1) / columns;
  QImage sheet(columns * kWidth + (columns + 1) * kGap, rows * (kHeight + kCaption + kGap) + kGap,
               QImage::Format_RGB32);
  sheet.fill(QColor(28, 30, 34));
  QPainter p(&sheet);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(14);
  p.setFont(f);
  p.setPen(QColor(210, 212, 216));
  for (int i = 0; i < shots.size(); ++i) {
    const int x = kGap + (i % columns) * (kWidth + kGap);
    const int y = kGap + (i / columns) * (kHeight + kCaption + kGap);
    p.drawText(QRect(x, y, kWidth, kCaption), Qt::AlignLeft | Qt::AlignVCenter, shots[i].caption);
    p.drawImage(x, y + kCaption, shots[i].image);
  }
  return sheet;
}

bool save(const QImage& image, const QString& file) {
  if (image.save(file)) return true;
  std::fprintf(stderr, "shots: cannot write %s\n", qPrintable(file));
  return false;
}

}  // namespace shotkit
