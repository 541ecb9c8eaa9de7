#include "overlay/aim.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QSettings>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/settings_file.h"
#include "ui/logging.h"

namespace {

constexpr double kMinZoomShown = 0.95;
// 25 px along the down-right diagonal: the text sits clear of the reticle.
constexpr double kTempTextOffset = 17.68;

// Truncation towards zero that stays defined for any stored value.
int truncToInt(double v) {
  if (!(v > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (!(v < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

// How far the centre may lie outside the window: one window size. Beyond that
// the reticle could never be seen or zeroed back, and pixel arithmetic on it
// would overflow.
constexpr double kWindowW = 360.0, kWindowH = 320.0;
double boundCoordinate(double v, double extent) { return std::clamp(v, -extent, 2 * extent); }

// A stored centre coordinate: a finite number, or nothing.
bool readCoordinate(QSettings& s, const char* key, double* out) {
  if (!s.contains(QLatin1String(key))) return false;
  bool ok = false;
  const double v = s.value(QLatin1String(key)).toDouble(&ok);
  if (!ok || !std::isfinite(v)) {
    qCWarning(lcInterface, "aim: ignoring unreadable %s", key);
    return false;
  }
  *out = v;
  return true;
}

}  // namespace

aim::aim(QWidget* parent)
    : QWidget(parent),
      reticles_{std::make_unique<aim_cross_one>(), std::make_unique<aim_cross_two>(),
                std::make_unique<aim_cross_three>(), std::make_unique<aim_cross_four>()},
      currentReticle_(reticles_[0].get()),
      centerTemperatureText_(noTemperatureText()) {
  qRegisterMetaType<reticle_mode_e>("reticle_mode_e");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  iconTimer_.setSingleShot(false);
  connect(&iconTimer_, &QTimer::timeout, this, &aim::drawIcoTimer_function);
}

aim::~aim() = default;

QString aim::noTemperatureText() { return QStringLiteral("--.- °C"); }

void aim::loadCenter(QSettings& settings) {
  double v = 0.0;
  if (readCoordinate(settings, settings::key::kAimCenterX, &v)) {
    centerX_ = boundCoordinate(v, kWindowW);
  } else {
    settings.setValue(QLatin1String(settings::key::kAimCenterX), centerX_);
  }
  if (readCoordinate(settings, settings::key::kAimCenterY, &v)) {
    centerY_ = boundCoordinate(v, kWindowH);
  } else {
    settings.setValue(QLatin1String(settings::key::kAimCenterY), centerY_);
  }
  reportCenter();
  update();
}

void aim::resetCenter(QSettings& settings) {
  centerX_ = 180.0;
  centerY_ = 160.0;
  settings.setValue(QLatin1String(settings::key::kAimCenterX), centerX_);
  settings.setValue(QLatin1String(settings::key::kAimCenterY), centerY_);
  reportCenter();
  update();
}

void aim::reportCenter() { emit send_real_center(truncToInt(centerX_), truncToInt(centerY_)); }

void aim::slot_update(double val) {
  previewMode_ = 0;
  // A non-finite zoom would put the reticle nowhere; keep the last one.
  if (std::isfinite(val)) {
    if (val >= 0) zoom_ = val;
    zoomHidden_ = val < 0;
  }
  update();
}

void aim::slot_reticle_update(int mode, int x_offset, int y_offset) {
  previewMode_ = mode;
  previewOffsetX_ = x_offset;
  previewOffsetY_ = y_offset;
  update();
}

void aim::slot_set_center(int x_cell, int y_cell) {
  centerX_ = boundCoordinate(centerX_ + x_cell, kWindowW);
  centerY_ = boundCoordinate(centerY_ - y_cell, kWindowH);
  emit centerConfirmed(centerX_, centerY_);
  reportCenter();
  update();
}

void aim::slot_recv_reticle_type(int type) {
  if (type >= 0 && type < static_cast<int>(reticles_.size())) reticleType_ = type;
  currentReticle_ = reticles_[reticleType_].get();
  update();
}

void aim::slot_recv_reticle_mode(reticle_mode_e mode) {
  reticleMode_ = mode;
  update();
}

void aim::slot_recv_reticle_color(int color) {
  if (color >= 0 && color <= 2) reticleColor_ = color;
  update();
}

void aim::slot_recv_reticle_dot_color(int color) {
  if (color >= 0 && color <= 2) reticleDotColor_ = color;
  update();
}

void aim::slot_recv_poweroff(bool enable) {
  powerOffShown_ = enable;
  update();
}

void aim::slot_recv_lowpower(bool enable) {
  lowPowerShown_ = enable;
  update();
}

void aim::slot_recv_language(int lang) {
  language_ = qBound(0, lang, 2);
  update();
}

void aim::slot_recv_chargeOnline(bool isOnline) {
  chargerConnected_ = isOnline;
  update();
}

void aim::slot_recv_charge(bool isCharge) {
  charging_ = isCharge;
  update();
}

void aim::slot_recv_battery_percent(int percent) {
  percent = qBound(0, percent, 100);
  if (percent == batteryPercent_) return;
  batteryPercent_ = percent;
  // Only the charging screen shows the figure.
  if (chargerConnected_) update();
}

void aim::slot_recv_saveimage(bool isSave) {
  saveImageShown_ = isSave;
  iconTimer_.start(1000);
  update();
}

void aim::slot_recv_center_temperature(QString text) {
  centerTemperatureText_ = text.isEmpty() ? noTemperatureText() : text;
  update();
}

void aim::slot_recv_temp_measure_enabled(bool enabled) {
  tempMeasureEnabled_ = enabled;
  if (!enabled) centerTemperatureText_ = noTemperatureText();
  update();
}

void aim::drawIcoTimer_function() {
  saveImageShown_ = false;
  iconTimer_.stop();
  update();
}

bool aim::temperatureVisible() const {
  if (!tempMeasureEnabled_ || chargerConnected_ || statusImageShown()) return false;
  if (inPreview()) return true;
  if (zoomHidden_) return false;
  if (zoom_ >= kMinZoomShown) return true;
  return reticleMode_ != RETICLE_MODE_WITH_ZOOM;
}

void aim::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  paintOverlay(painter);
}

void aim::paintOverlay(QPainter& painter) {
  aim_cross_base* r = currentReticle_;
  if (chargerConnected_) {
    r->drawChargingScreen(&painter, language_, batteryPercent_);
    return;
  }
  const QColor line = aimdraw::reticleColor(reticleColor_);
  const QColor dot = aimdraw::reticleColor(reticleDotColor_);
  if (inPreview()) {
    r->drawStatusImages(&painter, powerOffShown_, language_, lowPowerShown_);
    if (!statusImageShown()) {
      r->drawZeroPreview(&painter, line, dot, centerX_, centerY_, zoom_, previewMode_,
                         previewOffsetX_, previewOffsetY_, language_);
    }
  } else if (zoom_ >= kMinZoomShown && !zoomHidden_) {
    r->drawStatusImages(&painter, powerOffShown_, language_, lowPowerShown_);
    if (!statusImageShown()) {
      r->drawReticle(&painter, line, dot, centerX_, centerY_, zoom_);
      r->drawZoomText(&painter, centerX_, centerY_, zoom_);
    }
  } else if (reticleMode_ != RETICLE_MODE_WITH_ZOOM) {
    r->drawStatusImages(&painter, powerOffShown_, language_, lowPowerShown_);
    if (!statusImageShown()) r->drawReticle(&painter, line, dot, centerX_, centerY_, zoom_);
  }
  if (temperatureVisible()) drawTemperature(painter);
}

void aim::drawTemperature(QPainter& painter) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  QFont f = painter.font();
  f.setPixelSize(15);
  f.setWeight(63);
  painter.setFont(f);
  painter.setPen(QPen(Qt::white, 1.0));
  const QFontMetricsF fm(f);
  const QPointF c = aimdraw::drawnCenter(centerX_, centerY_, zoom_);
  const QRectF box(c.x() + kTempTextOffset, c.y() + kTempTextOffset,
                   fm.horizontalAdvance(centerTemperatureText_) + 2.0, fm.height());
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, centerTemperatureText_);
  painter.restore();
}
