// The interface artwork, drawn from paths so that every picture stays
// editable and consistent: line glyphs in white and the accent colour on a
// dark translucent disc, at the exact pixel sizes the pages show them.
//
//   iconart <output folder>     (normally resources/pictures)
//   iconart --sheet <folder> <file.png>
//                               every picture of the folder on a dark,
//                               thermal-looking background, for review
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

const QColor kAccent(0x4e, 0xc6, 0xaf);
const QColor kWhite(255, 255, 255);
const QColor kDisc(16, 20, 24, 165);

// Glyphs are drawn on a 100 x 100 grid, centre (50, 50).
struct Style {
  QColor line;    // main strokes
  QColor detail;  // second colour for small parts
  double width;   // stroke width in grid units
};

QPen pen(const Style& s, double scale = 1.0) {
  QPen p(s.line, s.width * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  return p;
}

void reticleColor(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(44, 46), 20, 20);
  p.drawLine(QPointF(44, 18), QPointF(44, 32));
  p.drawLine(QPointF(44, 60), QPointF(44, 74));
  p.drawLine(QPointF(16, 46), QPointF(30, 46));
  p.drawLine(QPointF(58, 46), QPointF(72, 46));
  // A drop of colour resting on the reticle.
  QPainterPath drop;
  drop.moveTo(70, 56);
  drop.cubicTo(70, 56, 82, 68, 82, 75);
  drop.arcTo(QRectF(58, 63, 24, 24), 0, -180);
  drop.cubicTo(58, 68, 70, 56, 70, 56);
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawPath(drop);
}

void brightness(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(50, 50), 13, 13);
  for (int k = 0; k < 8; ++k) {
    const double a = qDegreesToRadians(45.0 * k);
    const QPointF d(std::cos(a), std::sin(a));
    p.drawLine(QPointF(50, 50) + d * 22, QPointF(50, 50) + d * 30);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawPie(QRectF(41, 41, 18, 18), 90 * 16, 180 * 16);
}

void temperature(QPainter& p, const Style& s) {
  QPainterPath tube;
  tube.moveTo(43, 60);
  tube.lineTo(43, 24);
  tube.arcTo(QRectF(43, 17, 14, 14), 180, -180);
  tube.lineTo(57, 60);
  tube.arcTo(QRectF(36, 56, 28, 28), 62, -304);
  tube.closeSubpath();
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawPath(tube);
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(50, 70), 7, 7);
  p.drawRoundedRect(QRectF(47.5, 38, 5, 32), 2.5, 2.5);
  QPen tick = pen(s);
  tick.setWidthF(s.width * 0.7);
  p.setPen(tick);
  for (int y : {28, 38, 48}) p.drawLine(QPointF(64, y), QPointF(72, y));
}

void calibration(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(50, 50), 27, 27);
  // Cross hairs with a gap, and the four adjustment marks outside.
  p.drawLine(QPointF(50, 30), QPointF(50, 42));
  p.drawLine(QPointF(50, 58), QPointF(50, 70));
  p.drawLine(QPointF(30, 50), QPointF(42, 50));
  p.drawLine(QPointF(58, 50), QPointF(70, 50));
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(50, 50), 4, 4);
  auto arrow = [&](double angle) {
    p.save();
    p.translate(50, 50);
    p.rotate(angle);
    QPainterPath a;
    a.moveTo(0, -31);
    a.lineTo(-6, -38);
    a.lineTo(6, -38);
    a.closeSubpath();
    p.drawPath(a);
    p.restore();
  };
  for (double a : {0.0, 90.0, 180.0, 270.0}) arrow(a);
}

void info(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(50, 50), 27, 27);
  p.drawLine(QPointF(50, 46), QPointF(50, 64));
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(50, 35), 4.5, 4.5);
}

void reset(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  // An open circle running clockwise from the top round to the left, where
  // the arrow points back up: start over.
  const double startDeg = 100.0;
  const double spanDeg = -290.0;
  p.drawArc(QRectF(24, 24, 52, 52), static_cast<int>(startDeg * 16),
            static_cast<int>(spanDeg * 16));
  const double end = qDegreesToRadians(startDeg + spanDeg);
  const QPointF at(50 + 26 * std::cos(end), 50 - 26 * std::sin(end));
  const QPointF along(std::sin(end), std::cos(end));  // clockwise on screen
  const QPointF out(std::cos(end), -std::sin(end));   // away from the centre
  QPainterPath head;
  head.moveTo(at + along * 12);
  head.lineTo(at - along * 3 + out * 10);
  head.lineTo(at - along * 3 - out * 10);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(s.line);
  p.drawPath(head);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(50, 50), 5, 5);
}

void language(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(50, 50), 27, 27);
  p.drawEllipse(QPointF(50, 50), 11, 27);
  QPen thin = pen(s);
  thin.setWidthF(s.width * 0.7);
  thin.setColor(s.detail);
  p.setPen(thin);
  p.drawLine(QPointF(23, 50), QPointF(77, 50));
  p.drawLine(QPointF(27, 37), QPointF(73, 37));
  p.drawLine(QPointF(27, 63), QPointF(73, 63));
}

void energySaving(QPainter& p, const Style& s) {
  // A leaf with its vein: the device rests when it lies still.
  QPainterPath leaf;
  leaf.moveTo(28, 74);
  leaf.cubicTo(22, 42, 44, 24, 76, 24);
  leaf.cubicTo(78, 56, 58, 76, 28, 74);
  leaf.closeSubpath();
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawPath(leaf);
  QPen vein = pen(s);
  vein.setColor(s.detail);
  vein.setWidthF(s.width * 0.8);
  p.setPen(vein);
  QPainterPath v;
  v.moveTo(24, 78);
  v.cubicTo(40, 62, 52, 50, 64, 36);
  p.drawPath(v);
}

void picture(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(22, 28, 56, 44), 6, 6);
  QPainterPath hills;
  hills.moveTo(26, 68);
  hills.lineTo(42, 50);
  hills.lineTo(54, 62);
  hills.lineTo(62, 54);
  hills.lineTo(74, 68);
  p.drawPath(hills);
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(63, 40), 5, 5);
}

void video(QPainter& p, const Style& s) {
  p.setPen(pen(s));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(20, 33, 42, 34), 6, 6);
  QPainterPath lens;
  lens.moveTo(62, 45);
  lens.lineTo(80, 35);
  lens.lineTo(80, 65);
  lens.lineTo(62, 55);
  p.drawPath(lens);
  p.setPen(Qt::NoPen);
  p.setBrush(s.detail);
  p.drawEllipse(QPointF(31, 44), 4, 4);
}

using Glyph = std::function<void(QPainter&, const Style&)>;

QImage blank(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

// A menu icon: the glyph on a dark disc; the selected one is larger, in the
// accent colour and ringed.
QImage menuIcon(const Glyph& glyph, int size, bool selected) {
  QImage img = blank(size, size);
  QPainter p(&img);
  p.setRenderHints(QPainter::Antialiasing);
  p.scale(size / 100.0, size / 100.0);
  p.setPen(Qt::NoPen);
  p.setBrush(kDisc);
  p.drawEllipse(QPointF(50, 50), 47, 47);
  if (selected) {
    p.setPen(QPen(kAccent, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 46, 46);
    glyph(p, Style{kAccent, kWhite, 5.5});
  } else {
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 46, 46);
    glyph(p, Style{kWhite, kAccent, 6.5});
  }
  return img;
}

QImage toggle(bool on) {
  QImage img = blank(90, 45);
  QPainter p(&img);
  p.setRenderHints(QPainter::Antialiasing);
  const QRectF track(3, 7, 84, 31);
  p.setPen(on ? Qt::NoPen : QPen(QColor(154, 160, 166), 2.0));
  p.setBrush(on ? kAccent : QColor(40, 44, 48, 190));
  p.drawRoundedRect(track, 15.5, 15.5);
  const QPointF knob(on ? 71.5 : 18.5, 22.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawEllipse(knob + QPointF(0, 1.5), 13, 13);
  p.setBrush(on ? kWhite : QColor(214, 218, 222));
  p.drawEllipse(knob, 12.5, 12.5);
  return img;
}

QImage sdCard(bool present) {
  QImage img = blank(18, 22);
  QPainter p(&img);
  p.setRenderHints(QPainter::Antialiasing);
  QPainterPath card;
  card.moveTo(6, 1.5);
  card.lineTo(14.5, 1.5);
  card.quadTo(16.5, 1.5, 16.5, 3.5);
  card.lineTo(16.5, 18.5);
  card.quadTo(16.5, 20.5, 14.5, 20.5);
  card.lineTo(3.5, 20.5);
  card.quadTo(1.5, 20.5, 1.5, 18.5);
  card.lineTo(1.5, 6);
  card.closeSubpath();
  const QColor line = present ? kWhite : QColor(154, 160, 166);
  p.setPen(QPen(line, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(0, 0, 0, 90));
  p.drawPath(card);
  p.setPen(QPen(present ? kAccent : line, 1.4, Qt::SolidLine, Qt::RoundCap));
  for (double x : {6.5, 9.5, 12.5}) p.drawLine(QPointF(x, 4.5), QPointF(x, 8));
  if (!present) {
    p.setPen(QPen(QColor(255, 80, 70), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2, 20), QPointF(16, 4));
  }
  return img;
}

QPainterPath star(QPointF c, double r, double turn) {
  QPainterPath s;
  for (int k = 0; k < 10; ++k) {
    const double rr = (k % 2) ? r * 0.382 : r;
    const double a = qDegreesToRadians(-90.0 + turn + 36.0 * k);
    const QPointF pt = c + QPointF(std::cos(a), std::sin(a)) * rr;
    if (k == 0)
      s.moveTo(pt);
    else
      s.lineTo(pt);
  }
  s.closeSubpath();
  return s;
}

void flagCn(QPainter& p, const QRectF& r) {
  p.fillRect(r, QColor(222, 41, 16));
  const double u = r.height() / 20.0;
  const QPointF o = r.topLeft();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 222, 0));
  p.drawPath(star(o + QPointF(5 * u, 5 * u), 3 * u, 0));
  const QPointF small[] = {{10, 2}, {12, 4}, {12, 7}, {10, 9}};
  for (const QPointF& s : small) {
    const double turn = qRadiansToDegrees(std::atan2(5 - s.y(), 5 - s.x())) + 90;
    p.drawPath(star(o + s * u, u, turn));
  }
}

void flagEn(QPainter& p, const QRectF& r) {
  p.fillRect(r, QColor(1, 33, 105));
  p.save();
  p.setClipRect(r);
  const QColor red(200, 16, 46);
  const double h = r.height();
  p.setPen(QPen(kWhite, h * 0.2));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.bottomLeft(), r.topRight());
  p.setPen(QPen(red, h * 0.08));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.bottomLeft(), r.topRight());
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  p.drawRect(QRectF(r.center().x() - h * 0.17, r.top(), h * 0.34, h));
  p.drawRect(QRectF(r.left(), r.center().y() - h * 0.17, r.width(), h * 0.34));
  p.setBrush(red);
  p.drawRect(QRectF(r.center().x() - h * 0.1, r.top(), h * 0.2, h));
  p.drawRect(QRectF(r.left(), r.center().y() - h * 0.1, r.width(), h * 0.2));
  p.restore();
}

void flagRu(QPainter& p, const QRectF& r) {
  const double t = r.height() / 3.0;
  p.fillRect(QRectF(r.left(), r.top(), r.width(), t), kWhite);
  p.fillRect(QRectF(r.left(), r.top() + t, r.width(), t), QColor(0, 57, 166));
  p.fillRect(QRectF(r.left(), r.top() + 2 * t, r.width(), r.height() - 2 * t), QColor(213, 43, 30));
}

// A flag button picture, 58 x 50: the flag with rounded corners; the
// selected one is ringed in the accent colour, the others are dimmed.
QImage flag(const std::function<void(QPainter&, const QRectF&)>& draw, bool selected) {
  QImage img = blank(58, 50);
  QPainter p(&img);
  p.setRenderHints(QPainter::Antialiasing);
  const QRectF r(6, 9, 46, 32);
  QPainterPath clip;
  clip.addRoundedRect(r, 4, 4);
  p.save();
  p.setClipPath(clip);
  draw(p, r);
  if (!selected) p.fillRect(r, QColor(0, 0, 0, 110));
  p.restore();
  p.setBrush(Qt::NoBrush);
  if (selected) {
    p.setPen(QPen(kAccent, 3.0));
    p.drawRoundedRect(r.adjusted(-3.5, -3.5, 3.5, 3.5), 7, 7);
  } else {
    p.setPen(QPen(QColor(154, 160, 166), 1.2));
    p.drawRoundedRect(r, 4, 4);
  }
  return img;
}

// A dark false-colour backdrop, like the live picture under the interface.
QImage thermalBackdrop(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  QLinearGradient g(0, 0, w, h);
  g.setColorAt(0.0, QColor(20, 12, 40));
  g.setColorAt(0.45, QColor(70, 20, 90));
  g.setColorAt(0.75, QColor(170, 60, 40));
  g.setColorAt(1.0, QColor(240, 170, 40));
  p.fillRect(img.rect(), g);
  return img;
}

int contactSheet(const QString& dir, const QString& file) {
  const QStringList names = QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
  const int cell = 130;
  const int cols = 8;
  const int rows = (names.size() + cols - 1) / cols;
  QImage sheet = thermalBackdrop(cols * cell, std::max(1, rows) * cell);
  QPainter p(&sheet);
  for (int i = 0; i < names.size(); ++i) {
    const QImage img(QDir(dir).filePath(names[i]));
    const QPoint at((i % cols) * cell + (cell - img.width()) / 2,
                    (i / cols) * cell + (cell - img.height()) / 2);
    p.drawImage(at, img);
  }
  p.end();
  return sheet.save(file) ? 0 : 1;
}

bool save(const QImage& img, const QString& dir, const QString& name) {
  const QString file = QDir(dir).filePath(name);
  if (!img.save(file, "PNG")) {
    std::fprintf(stderr, "iconart: cannot write %s\n", qPrintable(file));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc == 4 && QByteArray(argv[1]) == "--sheet")
    return contactSheet(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  if (argc != 2) {
    std::fprintf(stderr, "usage: iconart <output folder>\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "iconart: cannot create %s\n", argv[1]);
    return 1;
  }
  const std::pair<const char*, Glyph> items[] = {
      {"color", reticleColor}, {"brightness", brightness},
      {"temp", temperature},   {"calibration", calibration},
      {"info", info},          {"reset", reset},
      {"language", language},  {"energy-saving", energySaving},
      {"picture", picture},    {"video", video}};
  bool ok = true;
  for (const auto& [key, glyph] : items) {
    // Each at the size it is shown: 70 px in the side slots, 120 px in the
    // middle, so neither is ever rescaled.
    ok &= save(menuIcon(glyph, 70, false), out, QString::fromLatin1(key) + "_normal.png");
    ok &= save(menuIcon(glyph, 120, true), out, QString::fromLatin1(key) + "_selected.png");
  }
  ok &= save(toggle(true), out, QStringLiteral("temp_on.png"));
  ok &= save(toggle(false), out, QStringLiteral("temp_off.png"));
  ok &= save(sdCard(true), out, QStringLiteral("sd-card.png"));
  ok &= save(sdCard(false), out, QStringLiteral("sd-card-off.png"));
  const std::pair<const char*, std::function<void(QPainter&, const QRectF&)>> flags[] = {
      {"cn", flagCn}, {"en", flagEn}, {"ru", flagRu}};
  for (const auto& [key, draw] : flags) {
    ok &= save(flag(draw, false), out, QString::fromLatin1(key) + "_normal.png");
    ok &= save(flag(draw, true), out, QString::fromLatin1(key) + "_selected.png");
  }
  return ok ? 0 : 1;
}
