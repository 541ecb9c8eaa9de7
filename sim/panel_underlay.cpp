#include "sim/panel_underlay.h"

#include <drm_fourcc.h>
#include <libyuv.h>

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <atomic>
#include <cmath>
#include <mutex>

#include "devices/power_supply.h"
#include "platform/paths.h"

namespace sim {
namespace {

// A sysfs-style decimal attribute; -1 when missing or not a number.
int readAttribute(const QString& systemPath) {
  QFile f(platform::qpath(systemPath));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  bool ok = false;
  const int v = QString::fromLatin1(f.read(32)).trimmed().toInt(&ok);
  return ok ? v : -1;
}

QString backlightMaxPath() {
  return QFileInfo(QString::fromLatin1(power_supply::kBacklightPath)).path() +
         QStringLiteral("/max_brightness");
}

}  // namespace

// Shared with the commit listener, which runs on the committing thread and may
// outlive this object by a moment.
struct PanelUnderlay::Link {
  std::mutex mu;
  PanelUnderlay* target = nullptr;
  std::atomic<bool> pending{false};
};

PanelUnderlay::PanelUnderlay(SimKms* kms, QWidget* window)
    : QObject(nullptr), kms_(kms), window_(window), link_(std::make_shared<Link>()) {
  image_ = QImage(360, 320, QImage::Format_RGB32);
  image_.fill(Qt::black);
  link_->target = this;
  if (window_) window_->installEventFilter(this);
  // Polled rather than watched: the program rewrites the attribute in place,
  // and five small reads a second cost nothing beside the picture's repaints.
  backlightTimer_ = new QTimer(this);
  backlightTimer_->setInterval(kBacklightPollMs);
  connect(backlightTimer_, &QTimer::timeout, this, &PanelUnderlay::pollBacklight);
  backlightTimer_->start();
  pollBacklight();
  std::shared_ptr<Link> link = link_;
  kms_->setCommitListener([link] {
    // Coalesce: one repaint in flight at most, the latest picture wins.
    if (link->pending.exchange(true)) return;
    std::lock_guard<std::mutex> lock(link->mu);
    if (!link->target) return;
    QMetaObject::invokeMethod(link->target, "onCommitted", Qt::QueuedConnection);
  });
}

void PanelUnderlay::onCommitted() {
  link_->pending = false;
  refresh();
  if (window_) window_->update();
}

PanelUnderlay::~PanelUnderlay() {
  kms_->setCommitListener(nullptr);
  {
    std::lock_guard<std::mutex> lock(link_->mu);
    link_->target = nullptr;
  }
  if (window_) window_->removeEventFilter(this);
}

bool PanelUnderlay::portraitNv12ToLandscape(const uint8_t* nv12, int width, int height, int pitch,
                                            QImage* out, std::vector<uint8_t>* scratch) {
  if (!nv12 || width <= 0 || height <= 0 || pitch < width || (width | height) & 1) return false;
  const size_t portraitBytes = static_cast<size_t>(width) * height * 4;
  if (scratch->size() < portraitBytes) scratch->resize(portraitBytes);
  if (out->width() != height || out->height() != width || out->format() != QImage::Format_RGB32)
    *out = QImage(height, width, QImage::Format_RGB32);
  const uint8_t* uv = nv12 + static_cast<size_t>(pitch) * height;
  // Full-range BT.601, as everywhere in this system: the palettes use every
  // level, and the photos' copy of the frame converts it the same way.
  if (libyuv::NV12ToARGBMatrix(nv12, pitch, uv, pitch, scratch->data(), width * 4,
                               &libyuv::kYuvJPEGConstants, width, height) != 0)
    return false;
  // The display turned the landscape picture 90 degrees clockwise; turn it back.
  return libyuv::ARGBRotate(scratch->data(), width * 4, out->bits(),
                            static_cast<int>(out->bytesPerLine()), width, height,
                            libyuv::kRotate270) == 0;
}

void PanelUnderlay::refresh() {
  if (!kms_->overlayFrame(&frame_)) {
    image_.fill(Qt::black);
    return;
  }
  if (frame_.format == DRM_FORMAT_NV12) {
    if (!portraitNv12ToLandscape(frame_.bytes.data(), static_cast<int>(frame_.width),
                                 static_cast<int>(frame_.height), static_cast<int>(frame_.pitch),
                                 &image_, &scratch_))
      image_.fill(Qt::black);
  } else {
    image_.fill(Qt::darkGray);  // a format the board's display never uses
  }
}

void PanelUnderlay::pollBacklight() {
  const int level = readAttribute(QString::fromLatin1(power_supply::kBacklightPath));
  const int max = readAttribute(backlightMaxPath());
  const int newMax = max > 0 ? max : 255;
  backlightLevel_ = level;
  backlightMax_ = newMax;
}

double PanelUnderlay::backlightFactor() const {
  if (backlightLevel_ < 0) return 1.0;
  return std::clamp(static_cast<double>(backlightLevel_) / backlightMax_, 0.0, 1.0);
}

int PanelUnderlay::backlightShade(double factor) {
  // The backlight scales the light the panel gives off; the pixels' levels
  // are gamma-encoded, so the same dimming scales them by the factor's 1/2.2
  // power (half the light looks about three quarters as bright). Black laid
  // over at (1 - s) leaves each level at s of itself.
  const double s = std::pow(std::clamp(factor, 0.0, 1.0), 1.0 / 2.2);
  return static_cast<int>(std::lround(255.0 * (1.0 - s)));
}

bool PanelUnderlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Paint) {
    QPainter p(window_);
    p.drawImage(window_->rect(), image_);
  }
  return false;
}

}  // namespace sim
