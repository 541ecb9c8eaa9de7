#pragma once
// What the documentation's page screenshots share: made-up thermal
// backdrops (a pixel of the real pipeline is not needed to judge a page's
// layout), a page rendered over one at 360 x 320, and a captioned contact
// sheet of several.
#include <QImage>
#include <QList>
#include <QString>

class QWidget;

namespace shotkit {

constexpr int kWidth = 360;
constexpr int kHeight = 320;

// An iron-like false-colour ramp, t in [0, 1].
QRgb iron(double t);
// A cool night field with a warm figure, a warm vehicle and sensor grain.
QImage fieldScene();

// The page shown at 360 x 320, laid out, and drawn over the backdrop; hidden
// again afterwards unless `keepShown` (a dialog over it is shot next).
QImage shoot(QWidget* page, const QImage& backdrop, bool keepShown = false);

struct Shot {
  QString caption;
  QImage image;
};
// The shots in rows of `columns`, each under its caption.
QImage contactSheet(const QList<Shot>& shots, int columns = 3);

// Writes `image`; false with one line on standard error.
bool save(const QImage& image, const QString& file);

}  // namespace shotkit
