// Review pictures of the heads-up overlay: the four reticles, the zeroing
// page with its cross-hair and the status screens in every language, drawn
// by the real overlay over a synthetic thermal scene.
//
//   overlayshots <output folder>     (normally docs/overlay)
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "overlay/aim.h"
#include "overlay/zeroingpage.h"
#include "platform/paths.h"

namespace {

// A white-hot scene: cool sky and ground, a warm figure and a few bushes,
// softened the way a 256 x 192 sensor blurs it.
QImage thermalScene() {
  QImage small(180, 160, QImage::Format_RGB32);
  QPainter p(&small);
  p.setRenderHint(QPainter::Antialiasing, true);
  QLinearGradient sky(0, 0, 0, 160);
  sky.setColorAt(0.0, QColor(38, 40, 43));
  sky.setColorAt(0.55, QColor(58, 60, 62));
  sky.setColorAt(1.0, QColor(92, 92, 90));
  p.fillRect(small.rect(), sky);
  p.setPen(Qt::NoPen);
  // Tree line.
  p.setBrush(QColor(74, 75, 76));
  for (int i = 0; i < 12; ++i) p.drawEllipse(QPointF(i * 17.0 - 4, 86 + (i % 3) * 3), 14, 11);
  // Warm bushes.
  for (QPointF c : {QPointF(28, 118), QPointF(150, 124), QPointF(120, 140)}) {
    QRadialGradient g(c, 16);
    g.setColorAt(0, QColor(140, 140, 138));
    g.setColorAt(1, QColor(140, 140, 138, 0));
    p.setBrush(g);
    p.drawEllipse(c, 16, 10);
  }
  // A person standing right of the centre: face and hands warmest.
  p.setBrush(QColor(200, 200, 196));
  p.drawRoundedRect(QRectF(111, 66, 18, 30), 6, 6);     // torso
  p.drawRoundedRect(QRectF(107, 68, 5, 24), 2.5, 2.5);  // arms
  p.drawRoundedRect(QRectF(128, 68, 5, 24), 2.5, 2.5);
  p.drawRoundedRect(QRectF(112, 94, 7, 30), 3, 3);  // legs
  p.drawRoundedRect(QRectF(121, 94, 7, 30), 3, 3);
  p.setBrush(QColor(238, 238, 234));
  p.drawEllipse(QRectF(113.5, 51, 13, 15));  // head
  p.drawEllipse(QRectF(106.5, 90, 6, 6));    // hands
  p.drawEllipse(QRectF(127.5, 90, 6, 6));
  p.end();
  // Up-scaling smoothly gives the soft look of the sensor picture.
  return small.scaled(360, 320, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool save(const QImage& img, const QString& dir, const QString& name) {
  const QString path = dir + QLatin1Char('/') + name;
  if (!img.convertToFormat(QImage::Format_RGB32).save(path, "PNG", 9)) {
    std::fprintf(stderr, "overlayshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

QImage shot(QWidget& w) {
  QImage img = thermalScene();
  w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: overlayshots <output folder>\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  // The overlay reads its language from the settings file: keep it away
  // from the machine's /etc.
  QTemporaryDir root;
  QDir(root.path()).mkpath(QStringLiteral("etc"));
  platform::setRoot(root.path().toStdString());

  bool ok = true;
  {
    aim overlay;
    overlay.resize(360, 320);
    overlay.slot_recv_reticle_color(0);
    overlay.slot_recv_reticle_dot_color(1);
    const char* names[] = {"reticle_0_dot.png", "reticle_1_ticks.png", "reticle_2_circle.png",
                           "reticle_3_full.png"};
    for (int type = 0; type < 4; ++type) {
      overlay.slot_recv_reticle_type(type);
      ok &= save(shot(overlay), out, QLatin1String(names[type]));
    }
    // White lines with the centre temperature, at zoom 2 about a zeroed centre.
    overlay.slot_recv_reticle_color(2);
    overlay.slot_recv_temp_measure_enabled(true);
    overlay.slot_recv_center_temperature(QStringLiteral("31.4 °C"));
    overlay.slot_set_center(-6, 4);
    overlay.slot_update(2.0);
    ok &= save(shot(overlay), out, QStringLiteral("reticle_3_white_zoom2_temperature.png"));
  }

  {
    QWidget window;
    window.resize(360, 320);
    window.setAttribute(Qt::WA_TranslucentBackground);
    ZeroingPage page(&window, 1.6);
    page.setGeometry(0, 0, 360, 320);
    page.applyLanguage(1);
    page.setOffsets(6, 4);
    aim overlay(&window);
    overlay.setGeometry(0, 0, 360, 320);
    overlay.slot_recv_reticle_type(3);
    overlay.slot_reticle_update(3, 6, 4);
    ok &= save(shot(window), out, QStringLiteral("zeroing_preview.png"));
  }

  const char* langs[] = {"zh", "en", "ru"};
  for (int lang = 0; lang < 3; ++lang) {
    QSettings(platform::settingsFile(), QSettings::IniFormat).setValue("language", lang);
    const QString suffix = QStringLiteral("_%1.png").arg(QLatin1String(langs[lang]));
    aim overlay;
    overlay.resize(360, 320);
    overlay.slot_recv_reticle_type(3);
    overlay.slot_recv_language(lang);
    overlay.slot_recv_lowpower(true);
    ok &= save(shot(overlay), out, QStringLiteral("status_lowpower") + suffix);
    overlay.slot_recv_lowpower(false);
    overlay.slot_recv_poweroff(true);
    ok &= save(shot(overlay), out, QStringLiteral("status_poweroff") + suffix);
    overlay.slot_recv_poweroff(false);
    overlay.slot_recv_battery_percent(64);
    overlay.slot_recv_chargeOnline(true);
    ok &= save(shot(overlay), out, QStringLiteral("status_charging") + suffix);
    overlay.slot_recv_battery_percent(100);
    if (lang == 1) ok &= save(shot(overlay), out, QStringLiteral("status_charged_en.png"));
  }
  platform::setRoot(std::string());
  return ok ? 0 : 1;
}
