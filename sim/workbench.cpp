#include "sim/workbench.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/panel_underlay.h"
#include "sim/power_controls.h"
#include "sim/screenshot.h"
#include "sim/sim_kms.h"
#include "sim/thermal_core.h"
#include "sim/thermal_scene.h"
#include "sim/touch_input.h"

static void initWorkbenchResources() { Q_INIT_RESOURCE(workbench); }

namespace sim {

void FrameRateMeter::sample(uint64_t commits, int64_t ms) {
  if (lastMs_ >= 0 && ms > lastMs_ && commits >= lastCommits_)
    fps_ = static_cast<double>(commits - lastCommits_) * 1000.0 / static_cast<double>(ms - lastMs_);
  else if (lastMs_ >= 0 && commits < lastCommits_)
    fps_ = -1.0;  // a new display device counts from 0 again
  lastCommits_ = commits;
  lastMs_ = ms;
}

int fittingScale(const QSize& available, const std::function<QSize(int)>& windowAt) {
  for (int s = 3; s > 1; --s) {
    const QSize w = windowAt(s);
    if (w.width() <= available.width() && w.height() <= available.height()) return s;
  }
  return 1;
}

namespace {

constexpr int kDeviceW = 360, kDeviceH = 320;
// Re-rendering the device's window this often keeps the interface's own
// animations smooth; the live picture itself comes at the camera's 25 Hz.
constexpr int kScreenRefreshMs = 20;
constexpr int kStatusMs = 500;
constexpr int kKeysMs = 40;
constexpr int kTitleBarAllowance = 48;  // window manager decorations, roughly

// The housing's margins around the screen, in screen pixels at scale 1.
constexpr int kSide = 14, kTop = 26, kBottom = 18;

const char* const kStyle = R"(
QWidget { font-size: 13px; }
QWidget#workbench, QWidget#bench { background: #1e2226; }
QLabel, QCheckBox { color: #dfe3e7; }
QLabel:disabled, QCheckBox:disabled { color: #69737d; }
QComboBox, QDoubleSpinBox { background: #2d333a; color: #dfe3e7; border: 1px solid #434b54;
  border-radius: 4px; padding: 3px 8px; min-height: 20px; }
QComboBox:disabled, QDoubleSpinBox:disabled { color: #69737d; background: #252a30; border-color: #343a41; }
QComboBox::drop-down { border: none; width: 22px; }
QComboBox::down-arrow, QDoubleSpinBox::down-arrow { image: url(:/sim/workbench/down.png); }
QDoubleSpinBox::up-arrow { image: url(:/sim/workbench/up.png); }
QComboBox::down-arrow:disabled, QDoubleSpinBox::down-arrow:disabled {
  image: url(:/sim/workbench/down-disabled.png); }
QDoubleSpinBox::up-arrow:disabled { image: url(:/sim/workbench/up-disabled.png); }
QDoubleSpinBox::up-button, QDoubleSpinBox::down-button { border: none; width: 20px; }
QComboBox QAbstractItemView { background: #2d333a; color: #dfe3e7; border: 1px solid #434b54;
  selection-background-color: #c2561a; selection-color: #ffffff; outline: none; }
QToolTip { background: #2d333a; color: #dfe3e7; border: 1px solid #434b54; }
QGroupBox { border: 1px solid #363c42; border-radius: 6px; margin-top: 14px; padding: 10px 8px 8px 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: #8fa0b0;
  font-weight: bold; text-transform: uppercase; }
QPushButton { background: #2d333a; color: #dfe3e7; border: 1px solid #434b54; border-radius: 5px; padding: 5px 12px; }
QPushButton:hover { background: #353c44; }
QPushButton:pressed, QPushButton:checked { background: #c2561a; border-color: #e8793a; color: #ffffff; }
QSlider::groove:horizontal { height: 6px; background: #2d333a; border-radius: 3px; }
QSlider::sub-page:horizontal { background: #4caf50; border-radius: 3px; }
QSlider::handle:horizontal { width: 16px; margin: -6px 0; border-radius: 8px; background: #dfe3e7; }
QLabel#status { color: #aab4be; padding: 4px 10px; }
QLabel#hint { color: #7d8894; font-size: 12px; }
QWidget#statusbar { background: #16191c; border-top: 1px solid #2d333a; }
)";

QString keyName(BoardKey key) {
  switch (key) {
    case BoardKey::Shutter:
      return QStringLiteral("Shutter / Record");
    case BoardKey::Up:
      return QStringLiteral("Up");
    case BoardKey::Power:
      return QStringLiteral("Power");
  }
  return QString();
}

QString keyCap(BoardKey key) {
  switch (key) {
    case BoardKey::Shutter:
      return QStringLiteral("Space");
    case BoardKey::Up:
      return QStringLiteral("U");
    case BoardKey::Power:
      return QStringLiteral("P");
  }
  return QString();
}

QString keyHint(BoardKey key) {
  switch (key) {
    case BoardKey::Shutter:
      return QStringLiteral("Tap: photo, or stop a recording. Hold 2 s: start recording.");
    case BoardKey::Up:
      return QStringLiteral("Let go: super-resolution on or off.");
    case BoardKey::Power:
      return QStringLiteral("Hold 3 s: power off (the simulator closes).");
  }
  return QString();
}

// A board key: its name on the left, its keyboard key as a key cap on the right.
class KeyButton : public QPushButton {
 public:
  KeyButton(const QString& name, const QString& cap, QWidget* parent)
      : QPushButton(parent), name_(name), cap_(cap) {
    setMinimumHeight(40);
    setFocusPolicy(Qt::NoFocus);  // Space belongs to the board's key
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPushButton::paintEvent(e);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect r = rect().adjusted(14, 0, -10, 0);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(isDown() ? QColor(Qt::white) : palette().color(QPalette::ButtonText));
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, name_);
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    const int w = std::max(28, QFontMetrics(small).horizontalAdvance(cap_) + 14);
    const QRectF cap(r.right() - w, r.center().y() - 10, w, 20);
    p.setPen(QColor(isDown() ? 0xffd0b0 : 0x8a96a3));
    p.setBrush(QColor(isDown() ? 0x9a4415 : 0x23282e));
    p.drawRoundedRect(cap, 4, 4);
    p.drawText(cap, Qt::AlignCenter, cap_);
  }

 private:
  QString name_, cap_;
};

// A switch: a pill with a knob, green when on, its label beside it.
class Switch : public QCheckBox {
 public:
  Switch(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(24);
  }
  QSize sizeHint() const override {
    return QSize(kPill + 10 + fontMetrics().horizontalAdvance(text()), 24);
  }

 protected:
  bool hitButton(const QPoint&) const override { return true; }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF pill(0.5, height() / 2.0 - 9, kPill, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? QColor(0x4caf50) : QColor(0x434b54));
    if (!isEnabled()) p.setOpacity(0.5);
    p.drawRoundedRect(pill, 9, 9);
    p.setBrush(QColor(0xf2f4f6));
    const double x = isChecked() ? pill.right() - 16 : pill.left() + 2;
    p.drawEllipse(QRectF(x, pill.top() + 2, 14, 14));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(kPill + 10, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
  }

 private:
  static constexpr int kPill = 36;
};

}  // namespace

// The enlarged screen: the device's window rendered into a picture of its own
// size, drawn scale x scale per pixel; mouse presses on it become touches.
class DeviceScreen : public QWidget {
 public:
  DeviceScreen(QWidget* device, std::function<double()> light, QWidget* parent)
      : QWidget(parent),
        device_(device),
        light_(std::move(light)),
        image_(kDeviceW, kDeviceH, QImage::Format_ARGB32_Premultiplied),
        next_(kDeviceW, kDeviceH, QImage::Format_ARGB32_Premultiplied),
        touch_(device) {
    image_.fill(Qt::black);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    clock_.start();
    timer_.setInterval(kScreenRefreshMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_.start();
  }

  void setScale(int s) {
    scale_ = s;
    setFixedSize(kDeviceW * s, kDeviceH * s);
    update();
  }

  const QImage& image() const { return image_; }

  void refresh() {
    if (!device_) return;
    // Exactly as a screenshot renders it; drawn again only when it or the
    // backlight changed (a menu, the sleeping panel), enlarging costs more
    // than rendering.
    renderScreen(device_, &next_);
    const int shade = PanelUnderlay::backlightShade(light_ ? light_() : 1.0);
    if (next_ == image_ && shade == shade_) return;
    std::swap(next_, image_);
    shade_ = shade;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    // Whole factors and no smoothing: every device pixel a sharp square.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, kDeviceW * scale_, kDeviceH * scale_), image_);
    // The backlight lights both of the panel's planes.
    if (shade_ > 0) p.fillRect(rect(), QColor(0, 0, 0, shade_));
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) touch(QEvent::MouseButtonPress, e->pos());
  }
  // Qt turns a quick second press into a double-click; the device sees a
  // press, and makes its own double-click of it.
  void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (touch_.isDown()) touch(QEvent::MouseMove, e->pos());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && touch_.isDown())
      touch(QEvent::MouseButtonRelease, e->pos());
  }

 private:
  void touch(QEvent::Type type, QPoint pos) {
    // Device pixel under the mouse; a drag past the edge stays on the edge.
    const QPoint device(std::clamp(pos.x() / scale_, 0, kDeviceW - 1),
                        std::clamp(pos.y() / scale_, 0, kDeviceH - 1));
    touch_.send(type, device, clock_.elapsed());
  }

  QPointer<QWidget> device_;
  std::function<double()> light_;
  int shade_ = 0;
  QImage image_, next_;
  TouchInput touch_;
  QElapsedTimer clock_;
  QTimer timer_;
  int scale_ = 1;
};

namespace {

// The device's housing around the screen.
class Housing : public QWidget {
 public:
  explicit Housing(QWidget* parent) : QWidget(parent) {}
  void setScale(int s) {
    scale_ = s;
    setContentsMargins(kSide * s, kTop * s, kSide * s, kBottom * s);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int s = scale_;
    const QRectF body = QRectF(rect()).adjusted(1, 1, -1, -1);
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0, QColor(0x3a3f45));
    shell.setColorAt(1, QColor(0x26292d));
    p.setPen(QPen(QColor(0x4a5058), 1.5));
    p.setBrush(shell);
    p.drawRoundedRect(body, 14 * s, 14 * s);
    // The bezel: a black glass edge just outside the screen.
    const QRect screen = contentsRect();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0b0c0d));
    p.drawRoundedRect(QRectF(screen).adjusted(-4 * s, -4 * s, 4 * s, 4 * s), 4 * s, 4 * s);
    // The maker's name and the sensor, in the top margin.
    QFont f = font();
    f.setPixelSize(std::max(10, 9 * s));
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2.5 * s);
    p.setFont(f);
    p.setPen(QColor(0xb8c0c8));
    const QRect label(screen.left(), 0, screen.width(), screen.top() - 4 * s);
    p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("HEATLUME"));
    f.setBold(false);
    f.setPixelSize(std::max(9, 7 * s));
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 * s);
    p.setFont(f);
    p.setPen(QColor(0x7d8791));
    p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("LWIR 256 \u00d7 192"));
    // A small status lamp under the screen: lit while the program runs.
    p.setBrush(QColor(0x4caf50));
    const double r = 2.5 * s;
    p.drawEllipse(QPointF(screen.center().x(), screen.bottom() + kBottom * s / 2.0 + 1), r, r);
  }

 private:
  int scale_ = 1;
};

QLabel* hint(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QStringLiteral("hint"));
  l->setWordWrap(true);
  return l;
}

}  // namespace

Workbench::Workbench(const WorkbenchParts& parts, int scale, QWidget* parent)
    : QWidget(parent), parts_(parts) {
  initWorkbenchResources();
  setObjectName(QStringLiteral("workbench"));
  setWindowTitle(QStringLiteral("Heatlume simulator"));
  // The device's font follows its own screen scale; the bench keeps a
  // desktop's ordinary size.
  QFont f = QApplication::font();
  f.setPixelSize(13);
  setFont(f);
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
    fusion->setParent(this);
    setStyle(fusion);
  }
  QPalette dark = palette();
  dark.setColor(QPalette::Window, QColor(0x1e2226));
  dark.setColor(QPalette::WindowText, QColor(0xdfe3e7));
  dark.setColor(QPalette::Base, QColor(0x2d333a));
  dark.setColor(QPalette::AlternateBase, QColor(0x262b31));
  dark.setColor(QPalette::Text, QColor(0xdfe3e7));
  dark.setColor(QPalette::Button, QColor(0x2d333a));
  dark.setColor(QPalette::ButtonText, QColor(0xdfe3e7));
  dark.setColor(QPalette::Highlight, QColor(0xc2561a));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::ToolTipBase, QColor(0x2d333a));
  dark.setColor(QPalette::ToolTipText, QColor(0xdfe3e7));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, QColor(0x69737d));
  setPalette(dark);
  setStyleSheet(QString::fromLatin1(kStyle));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* top = new QHBoxLayout;
  top->setContentsMargins(16, 16, 16, 12);
  top->setSpacing(16);
  outer->addLayout(top);

  housing_ = new Housing(this);
  housing_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* housingLayout = new QVBoxLayout(housing_);
  housingLayout->setContentsMargins(0, 0, 0, 0);
  std::function<double()> light;
  if (PanelUnderlay* panel = parts_.panel) light = [panel] { return panel->backlightFactor(); };
  screen_ = new DeviceScreen(parts_.device, std::move(light), housing_);
  screen_->setObjectName(QStringLiteral("screen"));
  housingLayout->addWidget(screen_);
  top->addWidget(housing_, 0, Qt::AlignTop);

  auto* bench = new QWidget(this);
  bench->setObjectName(QStringLiteral("bench"));
  bench->setFixedWidth(300);
  auto* benchLayout = new QVBoxLayout(bench);
  benchLayout->setContentsMargins(0, 0, 0, 0);
  benchLayout->setSpacing(6);
  auto addGroup = [&](const char* title, void (Workbench::*build)(QWidget*)) {
    auto* box = new QGroupBox(QString::fromLatin1(title), bench);
    (this->*build)(box);
    benchLayout->addWidget(box);
  };
  addGroup("Keys", &Workbench::buildKeys);
  addGroup("Power and card", &Workbench::buildPower);
  addGroup("Scene", &Workbench::buildScene);
  if (parts_.language && parts_.setLanguage) addGroup("Device", &Workbench::buildDevice);
  addGroup("Touch", &Workbench::buildGestures);
  benchLayout->addStretch(1);
  top->addWidget(bench, 0, Qt::AlignTop);
  top->addStretch(1);

  // The status line, with the window's own controls at its end.
  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("statusbar"));
  bar->setAttribute(Qt::WA_StyledBackground);
  auto* barLayout = new QHBoxLayout(bar);
  barLayout->setContentsMargins(6, 4, 12, 4);
  barLayout->setSpacing(8);
  status_ = new QLabel(bar);
  status_->setObjectName(QStringLiteral("status"));
  status_->setTextFormat(Qt::RichText);
  barLayout->addWidget(status_, 1);
  scaleBox_ = new QComboBox(bar);
  scaleBox_->addItems({QStringLiteral("1\u00d7"), QStringLiteral("2\u00d7"),
                       QStringLiteral("3\u00d7")});
  scaleBox_->setToolTip(QStringLiteral("The screen's size: 360 x 320 pixels times this"));
  scaleBox_->setFocusPolicy(Qt::NoFocus);
  barLayout->addWidget(scaleBox_);
  shotButton_ = new QPushButton(QStringLiteral("Screenshot"), bar);
  shotButton_->setToolTip(
      QStringLiteral("Saves the device's screen alone, 360 x 320, as a PNG in your pictures"));
  shotButton_->setFocusPolicy(Qt::NoFocus);
  barLayout->addWidget(shotButton_);
  outer->addWidget(bar);

  connect(scaleBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int i) { setScale(i + 1); });
  connect(shotButton_, &QPushButton::clicked, this, &Workbench::saveScreenshot);

  shotFolder_ = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (shotFolder_.isEmpty()) shotFolder_ = QDir::homePath();

  if (scale < 1 || scale > 3) {
    QScreen* s = QGuiApplication::primaryScreen();
    scale = s ? fittingScale(s->availableGeometry().size() - QSize(0, kTitleBarAllowance),
                             [this](int k) {
                               setScale(k);
                               return sizeHint();
                             })
              : 2;
  }
  setScale(scale);

  qApp->installEventFilter(this);
  // The on-screen keys show what the keyboard holds, too.
  keysTimer_.setInterval(kKeysMs);
  connect(&keysTimer_, &QTimer::timeout, this, [this] {
    if (!parts_.keypad) return;
    for (BoardKey key : {BoardKey::Shutter, BoardKey::Up, BoardKey::Power}) {
      QPushButton* b = keys_[static_cast<int>(key)];
      const bool down = parts_.keypad->isDown(key);
      if (b->isDown() != down) b->setDown(down);
    }
  });
  keysTimer_.start();
  statusTimer_.setInterval(kStatusMs);
  connect(&statusTimer_, &QTimer::timeout, this, &Workbench::refreshStatus);
  statusTimer_.start();
  refreshStatus();
  screen_->refresh();
}

bool Workbench::eventFilter(QObject* watched, QEvent* event) {
  // A dialog the device opens stays off the desktop like the device's window
  // (polished just before it would be put on screen): the enlarged screen
  // shows it in place, and touches reach it there.
  if (event->type() == QEvent::Polish && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w->isWindow() && w != parts_.device && w->parentWidget() &&
        w->parentWidget()->window() == parts_.device) {
      w->setAttribute(Qt::WA_DontShowOnScreen);
      // Modal to the device alone: modal to the whole program, it would
      // block the workbench, the only way to reach it.
      if (w->windowModality() == Qt::ApplicationModal) {
        w->setWindowModality(Qt::WindowModal);
        // The platform window exists already and keeps what it was made with.
        if (QWindow* handle = w->windowHandle()) handle->setModality(Qt::WindowModal);
      }
    }
  }
  return false;
}

Workbench::~Workbench() {
  qApp->removeEventFilter(this);
  // A key held on screen must not stay down on the board.
  if (parts_.keypad) parts_.keypad->releaseAll();
}

void Workbench::buildKeys(QWidget* box) {
  auto* l = new QVBoxLayout(box);
  l->setSpacing(6);
  const BoardKey order[3] = {BoardKey::Shutter, BoardKey::Up, BoardKey::Power};
  for (BoardKey key : order) {
    auto* b = new KeyButton(keyName(key), keyCap(key), box);
    b->setToolTip(keyHint(key));
    keys_[static_cast<int>(key)] = b;
    // Down exactly as long as the mouse holds it, as the keyboard's keys are.
    connect(b, &QPushButton::pressed, this, [this, key] {
      if (parts_.keypad) parts_.keypad->press(key);
    });
    connect(b, &QPushButton::released, this, [this, key] {
      if (parts_.keypad) parts_.keypad->release(key);
    });
    l->addWidget(b);
  }
  l->addWidget(hint(QStringLiteral("Held as on the device: Shutter 2 s records, "
                                   "Power 3 s switches off."),
                    box));
}

void Workbench::buildPower(QWidget* box) {
  auto* l = new QGridLayout(box);
  l->setHorizontalSpacing(10);
  l->setVerticalSpacing(8);
  l->addWidget(new QLabel(QStringLiteral("Battery"), box), 0, 0);
  battery_ = new QSlider(Qt::Horizontal, box);
  battery_->setRange(0, 100);
  battery_->setPageStep(10);
  battery_->setTracking(false);  // one write when let go
  battery_->setFocusPolicy(Qt::NoFocus);
  battery_->setToolTip(QStringLiteral("The fuel gauge's charge. Keys: [ and ]"));
  l->addWidget(battery_, 0, 1);
  batteryText_ = new QLabel(box);
  batteryText_->setMinimumWidth(38);
  batteryText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->addWidget(batteryText_, 0, 2);
  charger_ = new Switch(QStringLiteral("Charger connected   (C)"), box);
  l->addWidget(charger_, 1, 0, 1, 3);
  handled_ = new Switch(QStringLiteral("Picked up, moving   (M)"), box);
  handled_->setToolTip(QStringLiteral("Off: the device lies still and goes to sleep when idle"));
  l->addWidget(handled_, 2, 0, 1, 3);
  cardText_ = new QLabel(box);
  l->addWidget(cardText_, 3, 0, 1, 2);
  cardButton_ = new QPushButton(box);
  cardButton_->setFocusPolicy(Qt::NoFocus);
  cardButton_->setToolTip(QStringLiteral("Take the SD card out or put it in. Key: S"));
  l->addWidget(cardButton_, 3, 1, 1, 2, Qt::AlignRight);
  folder_ = new QLabel(box);
  folder_->setOpenExternalLinks(true);
  folder_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  l->addWidget(folder_, 4, 0, 1, 3);
  l->setColumnStretch(1, 1);

  if (!parts_.power) {
    box->setEnabled(false);
    return;
  }
  connect(battery_, &QSlider::sliderMoved, this,
          [this](int v) { batteryText_->setText(QStringLiteral("%1 %").arg(v)); });
  connect(battery_, &QSlider::valueChanged, this, [this](int v) {
    parts_.power->setBatteryPercent(v);
    refreshStatus();
  });
  connect(charger_, &QCheckBox::toggled, this, [this](bool on) {
    parts_.power->setCharger(on);
    refreshStatus();
  });
  connect(handled_, &QCheckBox::toggled, this, [this](bool on) {
    parts_.power->setHandled(on);
    refreshStatus();
  });
  connect(cardButton_, &QPushButton::clicked, this, [this] {
    parts_.power->toggleCard();
    refreshStatus();
  });
}

void Workbench::buildScene(QWidget* box) {
  auto* l = new QGridLayout(box);
  l->setHorizontalSpacing(10);
  l->setVerticalSpacing(8);
  l->addWidget(new QLabel(QStringLiteral("Scene"), box), 0, 0);
  sceneBox_ = new QComboBox(box);
  sceneBox_->addItem(QStringLiteral("Field (night meadow)"), QStringLiteral("field"));
  sceneBox_->addItem(QStringLiteral("Bench (references)"), QStringLiteral("bench"));
  l->addWidget(sceneBox_, 0, 1);
  l->addWidget(new QLabel(QStringLiteral("Aim at"), box), 1, 0);
  viewBox_ = new QComboBox(box);
  l->addWidget(viewBox_, 1, 1);
  l->addWidget(new QLabel(QStringLiteral("Blackbody"), box), 2, 0);
  blackbody_ = new QDoubleSpinBox(box);
  // The set points the command line takes.
  blackbody_->setRange(-40.0, 550.0);
  blackbody_->setDecimals(1);
  blackbody_->setSingleStep(0.5);
  blackbody_->setSuffix(QStringLiteral(" \u00b0C"));
  blackbody_->setKeyboardTracking(false);
  blackbody_->setValue(parts_.blackbodyC);
  l->addWidget(blackbody_, 2, 1);
  l->setColumnStretch(1, 1);
  if (!parts_.core) {
    box->setEnabled(false);
    return;
  }
  const int i = sceneBox_->findData(parts_.scene.isEmpty() ? parts_.core->sceneName()
                                                           : parts_.scene);
  if (i >= 0) sceneBox_->setCurrentIndex(i);
  fillViews();
  connect(sceneBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int) { chooseScene(sceneBox_->currentData().toString()); });
  connect(viewBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &Workbench::chooseView);
  connect(blackbody_, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
          [this](double c) {
            parts_.blackbodyC = c;
            parts_.core->setSceneParam("blackbody", c);
          });
}

void Workbench::buildDevice(QWidget* box) {
  auto* l = new QGridLayout(box);
  l->setHorizontalSpacing(10);
  l->addWidget(new QLabel(QStringLiteral("Language"), box), 0, 0);
  languageBox_ = new QComboBox(box);
  // In the order of the device's language index.
  languageBox_->addItems({QStringLiteral("\u4e2d\u6587 (Chinese)"), QStringLiteral("English"),
                          QStringLiteral("\u0420\u0443\u0441\u0441\u043a\u0438\u0439 (Russian)")});
  languageBox_->setFocusPolicy(Qt::NoFocus);
  languageBox_->setToolTip(
      QStringLiteral("The device's language, as Menu \u2192 Language sets it (--language)"));
  languageBox_->setCurrentIndex(std::clamp(parts_.language(), 0, 2));
  l->addWidget(languageBox_, 0, 1);
  l->setColumnStretch(1, 1);
  connect(languageBox_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int index) { parts_.setLanguage(index); });
}

void Workbench::buildGestures(QWidget* box) {
  auto* l = new QVBoxLayout(box);
  l->setSpacing(2);
  // What the touch screen takes, page by page: the mouse is the finger.
  auto* sheet = new QLabel(box);
  sheet->setObjectName(QStringLiteral("gestures"));
  sheet->setTextFormat(Qt::RichText);
  sheet->setText(QStringLiteral(
      "<table cellspacing='0' cellpadding='1' style='color:#aab4be; font-size:12px;'>"
      "<tr><td colspan='2' style='color:#8fa0b0;'><b>Live view</b></td></tr>"
      "<tr><td>hold \u00bd s</td><td>menu</td></tr>"
      "<tr><td>double tap</td><td>zoom \u00d71 / \u00d72</td></tr>"
      "<tr><td>swipe up / down&nbsp;&nbsp;</td><td>palette</td></tr>"
      "<tr><td>swipe left / right</td><td>reticle</td></tr>"
      "<tr><td colspan='2' style='color:#8fa0b0;'><b>Menu and pages</b></td></tr>"
      "<tr><td>swipe left / right</td><td>next / previous item</td></tr>"
      "<tr><td>tap the middle</td><td>open it</td></tr>"
      "<tr><td>swipe up</td><td>back</td></tr>"
      "</table>"));
  l->addWidget(sheet);
}

void Workbench::fillViews() {
  const QSignalBlocker block(viewBox_);
  viewBox_->clear();
  viewBox_->addItem(QStringLiteral("Each in turn (tour)"), QString());
  for (const QString& stop : parts_.core->stopNames()) viewBox_->addItem(stop, stop);
  const int held = viewBox_->findData(parts_.aim);
  viewBox_->setCurrentIndex(held > 0 ? held : 0);
  viewBox_->setEnabled(viewBox_->count() > 1);
  blackbody_->setEnabled(!std::isnan(parts_.core->sceneParam("blackbody")));
}

void Workbench::chooseScene(const QString& scene) {
  QString error;
  // A stop of the old scene means nothing in the new one.
  const QString hold = scene == parts_.scene ? parts_.aim : QString();
  if (!parts_.core->switchScene(scene, parts_.blackbodyC, hold, &error)) {
    std::fprintf(stderr, "heatlume-sim: %s\n", qPrintable(error));
    const QSignalBlocker block(sceneBox_);
    sceneBox_->setCurrentIndex(sceneBox_->findData(parts_.scene));
    return;
  }
  std::printf("heatlume-sim: scene %s\n", qPrintable(scene));
  std::fflush(stdout);
  parts_.scene = scene;
  parts_.aim = hold;
  fillViews();
}

void Workbench::chooseView(int index) {
  const QString stop = viewBox_->itemData(index).toString();
  if (parts_.core->holdView(stop)) parts_.aim = stop;
}

void Workbench::setScale(int scale) {
  scale_ = std::clamp(scale, 1, 3);
  static_cast<Housing*>(housing_)->setScale(scale_);
  screen_->setScale(scale_);
  if (scaleBox_) {
    const QSignalBlocker block(scaleBox_);
    scaleBox_->setCurrentIndex(scale_ - 1);
  }
  // Recomputed now, not on the next layout pass: the size is asked for at once.
  housing_->layout()->invalidate();
  housing_->layout()->activate();
  if (layout()) {
    layout()->invalidate();
    layout()->activate();
  }
  adjustSize();
}

QImage Workbench::deviceScreen() const { return screen_->image(); }

void Workbench::refreshScreen() { screen_->refresh(); }

QPushButton* Workbench::keyButton(BoardKey key) const { return keys_[static_cast<int>(key)]; }

void Workbench::setRecording(bool recording) {
  recording_ = recording;
  refreshStatus();
}

void Workbench::refreshStatus() {
  if (parts_.power) {
    const int percent = parts_.power->batteryPercent();
    if (!battery_->isSliderDown()) {
      const QSignalBlocker block(battery_);
      battery_->setValue(std::max(percent, 0));
      batteryText_->setText(percent < 0 ? QStringLiteral("?") : QStringLiteral("%1 %").arg(percent));
    }
    const QSignalBlocker b1(charger_);
    charger_->setChecked(parts_.power->chargerConnected());
    const QSignalBlocker b2(handled_);
    handled_->setChecked(parts_.power->handled());
    const bool in = parts_.power->cardInserted();
    cardText_->setText(in ? QStringLiteral("SD card: <b>in</b>")
                          : QStringLiteral("SD card: <b style='color:#e8793a'>out</b>"));
    cardButton_->setText(in ? QStringLiteral("Remove card  (S)") : QStringLiteral("Insert card  (S)"));
  }

  updateFrameRate();
  QStringList parts;
  const double fps = rate_.fps();
  parts << (fps < 0 ? QStringLiteral("-- fps") : QStringLiteral("%1 fps").arg(fps, 0, 'f', 1));
  parts << (recording_ ? QStringLiteral("<b style='color:#ff4d4d'>\u25cf REC</b>")
                       : QStringLiteral("not recording"));
  if (parts_.timeScale > 1)
    parts << QStringLiteral("<b style='color:#e8b03a'>power timers \u00d7%1</b>")
                 .arg(parts_.timeScale);
  if (languageBox_ && !languageBox_->view()->isVisible()) {
    // The device's own language page may have changed it.
    const int lang = std::clamp(parts_.language(), 0, 2);
    if (languageBox_->currentIndex() != lang) {
      const QSignalBlocker block(languageBox_);
      languageBox_->setCurrentIndex(lang);
    }
  }
  const bool cardIn = !parts_.power || parts_.power->cardInserted();
  if (cardIn) {
    const int photos = QDir(parts_.cardFolder + QStringLiteral("/picture"))
                           .entryList({QStringLiteral("pic_*.jpg")}, QDir::Files)
                           .size();
    const int videos = QDir(parts_.cardFolder + QStringLiteral("/video"))
                           .entryList({QStringLiteral("video_*.mp4")}, QDir::Files)
                           .size();
    parts << QStringLiteral("card: %1 photo%2, %3 video%4")
                 .arg(photos)
                 .arg(photos == 1 ? "" : "s")
                 .arg(videos)
                 .arg(videos == 1 ? "" : "s");
  } else {
    parts << QStringLiteral("no card");
  }
  if (shotNoteTicks_ > 0) {
    --shotNoteTicks_;
    parts << shotNote_;
  }
  status_->setText(parts.join(QStringLiteral("&nbsp;&nbsp;\u00b7&nbsp;&nbsp;")));
  // Long folders lose their middle; the tooltip has the whole.
  const QString url = QUrl::fromLocalFile(parts_.cardFolder).toString();
  const QString shown = folder_->fontMetrics().elidedText(parts_.cardFolder, Qt::ElideMiddle, 170);
  folder_->setText(QStringLiteral("On this PC: <a style='color:#8fb8e0' href='%1'>%2</a>")
                       .arg(url.toHtmlEscaped(), shown.toHtmlEscaped()));
  folder_->setToolTip(QStringLiteral("The SD card's folder on this PC:\n%1").arg(parts_.cardFolder));
}

void Workbench::updateFrameRate() {
  if (!clock_.isValid()) clock_.start();
  if (parts_.kms) rate_.sample(parts_.kms->commits(), clock_.elapsed());
}

void Workbench::saveScreenshot() {
  QDir().mkpath(shotFolder_);
  const QString file =
      QDir(shotFolder_).filePath(QStringLiteral("heatlume-sim-%1.png")
                                     .arg(QDateTime::currentDateTime().toString(
                                         QStringLiteral("yyyyMMdd-HHmmss-zzz"))));
  screen_->refresh();
  const QImage shot = screen_->image();
  if (shot.save(file)) {
    lastShot_ = file;
    shotNote_ = QStringLiteral("saved %1").arg(QFileInfo(file).fileName().toHtmlEscaped());
    std::printf("heatlume-sim: screenshot %s\n", qPrintable(file));
    std::fflush(stdout);
  } else {
    shotNote_ = QStringLiteral("<span style='color:#e8793a'>cannot write %1</span>")
                    .arg(file.toHtmlEscaped());
    std::fprintf(stderr, "heatlume-sim: cannot write %s\n", qPrintable(file));
  }
  shotNoteTicks_ = 8;
  refreshStatus();
}

void Workbench::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closed();
}

}  // namespace sim
