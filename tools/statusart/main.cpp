// The full-screen status pictures of the overlay (low battery, power-off,
// the charging backdrop and the Russian Type-C hint), drawn with QPainter so
// that symbol, text and colours stay editable in one place. Each is an
// opaque 360 x 320 picture per interface language.
//
//   statusart <output folder>     (normally resources/pictures)
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace {

constexpr int kW = 360;
constexpr int kH = 320;

const QColor kText(0xf2, 0xf4, 0xf5);
const QColor kSubText(0xb8, 0xc0, 0xc6);
const QColor kOutline(0xe3, 0xe7, 0xea);
const QColor kAccent(0x4e, 0xc6, 0xaf);
const QColor kWarn(0xff, 0x55, 0x4d);

enum Lang { Zh = 0, En = 1, Ru = 2 };

struct Texts {
  QString title;
  QString line;
};

const char* dirName(Lang l) { return l == Zh ? "zh" : (l == Ru ? "ru" : "en"); }

QFont textFont(Lang l, int px, bool bold) {
  QFont f(l == Zh ? QStringLiteral("WenQuanYi Micro Hei") : QStringLiteral("DejaVu Sans"));
  f.setPixelSize(px);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

// One line, horizontally centred on the screen with its baseline at y;
// shrinks until it fits between 18 px margins.
void centredLine(QPainter& p, Lang l, const QString& text, int px, bool bold, const QColor& c,
                 double baseline) {
  QFont f = textFont(l, px, bold);
  while (px > 10 && QFontMetricsF(f).horizontalAdvance(text) > kW - 36) f = textFont(l, --px, bold);
  const double w = QFontMetricsF(f).horizontalAdvance(text);
  p.setFont(f);
  p.setPen(c);
  p.drawText(QPointF((kW - w) / 2.0, baseline), text);
}

void captions(QPainter& p, Lang l, const Texts& t) {
  centredLine(p, l, t.title, 28, true, kText, 240);
  centredLine(p, l, t.line, 18, false, kSubText, 274);
}

// A dark backdrop with a soft light behind the symbol, tinted by `tint`.
void backdrop(QPainter& p, const QColor& top, const QColor& bottom, const QColor& tint) {
  QLinearGradient g(0, 0, 0, kH);
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(QRect(0, 0, kW, kH), g);
  QRadialGradient glow(QPointF(180, 118), 150);
  QColor inner = tint;
  inner.setAlpha(60);
  QColor outer = tint;
  outer.setAlpha(0);
  glow.setColorAt(0, inner);
  glow.setColorAt(1, outer);
  p.fillRect(QRect(0, 0, kW, kH), glow);
}

// A horizontal battery outline centred at c, filled to `level` (0..1).
void battery(QPainter& p, QPointF c, double w, double h, double level, const QColor& fill) {
  const QRectF body(c.x() - w / 2 - 5, c.y() - h / 2, w, h);
  p.setPen(QPen(kOutline, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(body, 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(kOutline);
  p.drawRoundedRect(QRectF(body.right() + 5, c.y() - h * 0.2, 9, h * 0.4), 3, 3);
  const QRectF inner = body.adjusted(9, 9, -9, -9);
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(inner.left(), inner.top(), inner.width() * level, inner.height()), 4, 4);
}

void lowPower(QPainter& p, Lang l) {
  backdrop(p, QColor(0x16, 0x19, 0x1c), QColor(0x0b, 0x0d, 0x0f), kWarn);
  battery(p, QPointF(180, 120), 150, 74, 0.14, kWarn);
  // Exclamation mark in the empty part of the battery.
  p.setBrush(kWarn);
  p.drawRoundedRect(QRectF(179, 99, 10, 30), 5, 5);
  p.drawEllipse(QPointF(184, 140), 6, 6);
  const Texts t[] = {{QStringLiteral("电量低"), QStringLiteral("请及时充电")},
                     {QStringLiteral("Low battery"), QStringLiteral("Please charge")},
                     {QStringLiteral("Низкий заряд"), QStringLiteral("Зарядите устройство")}};
  captions(p, l, t[l]);
}

void powerOff(QPainter& p, Lang l) {
  backdrop(p, QColor(0x14, 0x18, 0x1b), QColor(0x09, 0x0b, 0x0d), kAccent);
  const QPointF c(180, 118);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kAccent, 11, Qt::SolidLine, Qt::RoundCap));
  // The power symbol: a ring open at the top and a bar through the gap.
  p.drawArc(QRectF(c.x() - 48, c.y() - 48, 96, 96), 125 * 16, 290 * 16);
  p.drawLine(QPointF(c.x(), c.y() - 60), QPointF(c.x(), c.y() - 8));
  const Texts t[] = {{QStringLiteral("正在关机"), QStringLiteral("请稍候")},
                     {QStringLiteral("Powering off"), QStringLiteral("Please wait")},
                     {QStringLiteral("Выключение"), QStringLiteral("Подождите")}};
  captions(p, l, t[l]);
}

// The charging screen draws its battery, figure and title over the middle
// of this picture; the backdrop keeps the middle calm and says below that a
// charger is connected.
void charging(QPainter& p, Lang l) {
  QLinearGradient g(0, 0, 0, kH);
  g.setColorAt(0, QColor(0x1f, 0x3d, 0x37));
  g.setColorAt(1, QColor(0x0e, 0x1c, 0x19));
  p.fillRect(QRect(0, 0, kW, kH), g);
  QRadialGradient glow(QPointF(180, 160), 170);
  glow.setColorAt(0, QColor(0x3b, 0x71, 0x65, 110));
  glow.setColorAt(1, QColor(0x3b, 0x71, 0x65, 0));
  p.fillRect(QRect(0, 0, kW, kH), glow);
  // Plug glyph above the caption.
  const QColor muted(0x9f, 0xc4, 0xbb);
  p.setPen(QPen(muted, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath plug;
  plug.addRoundedRect(QRectF(168, 244, 24, 16), 4, 4);
  p.drawPath(plug);
  p.drawLine(QPointF(174, 236), QPointF(174, 244));
  p.drawLine(QPointF(186, 236), QPointF(186, 244));
  p.drawLine(QPointF(180, 260), QPointF(180, 270));
  const QString line[] = {QStringLiteral("已连接充电器"), QStringLiteral("Charger connected"),
                          QStringLiteral("Зарядное устройство подключено")};
  centredLine(p, l, line[l], 16, false, muted, 296);
}

// Russian units name the Type-C socket on their low-battery screen.
void connectTypeC(QPainter& p) {
  backdrop(p, QColor(0x16, 0x19, 0x1c), QColor(0x0b, 0x0d, 0x0f), kWarn);
  // A small empty battery above the plug.
  battery(p, QPointF(180, 62), 64, 32, 0.16, kWarn);
  // A Type-C plug entering from the right: cable, grip, metal shell with
  // its tongue.
  const double cy = 140;
  p.setPen(QPen(QColor(0x8a, 0x94, 0x9c), 12, Qt::SolidLine, Qt::RoundCap));
  QPainterPath cable;
  cable.moveTo(330, cy + 40);
  cable.cubicTo(300, cy + 40, 290, cy, 246, cy);
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
  p.setPen(Qt::NoPen);
  QLinearGradient grip(0, cy - 24, 0, cy + 24);
  grip.setColorAt(0, QColor(0xee, 0xf1, 0xf3));
  grip.setColorAt(1, QColor(0xb4, 0xbc, 0xc2));
  p.setBrush(grip);
  p.drawRoundedRect(QRectF(170, cy - 24, 80, 48), 10, 10);
  p.setBrush(QColor(0x6b, 0x75, 0x7d));
  p.drawRect(QRectF(176, cy - 15, 4, 30));
  QPainterPath shell;
  shell.addRoundedRect(QRectF(112, cy - 15, 62, 30), 15, 15);
  p.setBrush(QColor(0xd0, 0xd6, 0xda));
  p.drawPath(shell);
  p.setBrush(QColor(0x2a, 0x2f, 0x33));
  p.drawRoundedRect(QRectF(120, cy - 8, 46, 16), 8, 8);
  p.setBrush(QColor(0xc8, 0xa4, 0x4a));
  p.drawRoundedRect(QRectF(126, cy - 2.5, 34, 5), 2.5, 2.5);
  // Arrow towards the socket.
  p.setPen(QPen(kAccent, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(98, cy), QPointF(52, cy));
  p.drawLine(QPointF(52, cy), QPointF(66, cy - 14));
  p.drawLine(QPointF(52, cy), QPointF(66, cy + 14));
  captions(p, Ru, {QStringLiteral("Низкий заряд"), QStringLiteral("Подключите кабель Type-C")});
}

bool save(const QString& dir, Lang l, const char* name,
          const std::function<void(QPainter&)>& draw) {
  QImage img(kW, kH, QImage::Format_RGB32);
  img.fill(Qt::black);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    draw(p);
  }
  const QString folder = dir + QLatin1Char('/') + QLatin1String(dirName(l));
  QDir().mkpath(folder);
  const QString path = folder + QLatin1Char('/') + QLatin1String(name);
  if (!img.save(path, "PNG", 9)) {
    std::fprintf(stderr, "statusart: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: statusart <output folder>\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  bool ok = true;
  for (Lang l : {Zh, En, Ru}) {
    ok &= save(out, l, "lowpower.png", [l](QPainter& p) { lowPower(p, l); });
    ok &= save(out, l, "poweroff.png", [l](QPainter& p) { powerOff(p, l); });
    ok &= save(out, l, "charging.png", [l](QPainter& p) { charging(p, l); });
  }
  ok &= save(out, Ru, "connectTypeC.png", [](QPainter& p) { connectTypeC(p); });
  return ok ? 0 : 1;
}
