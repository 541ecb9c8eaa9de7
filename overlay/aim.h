#pragma once
// The heads-up overlay: a transparent widget over the live picture that
// paints the reticle, the zoom, the centre-spot temperature and the
// full-screen charging, low-battery and power-off screens. It takes no input;
// everything reaches it through its slots, and every change repaints.
#include <QMetaType>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "overlay/aim_cross.h"

class QSettings;

// What the overlay draws when no zoom is shown: 0 only with the zoom (live
// view), otherwise the reticle alone (the colour page previews it).
enum reticle_mode_e {
  RETICLE_MODE_WITH_ZOOM = 0,
  RETICLE_MODE_ALWAYS = 1,
};
Q_DECLARE_METATYPE(reticle_mode_e)

class aim : public QWidget {
  Q_OBJECT

 public:
  explicit aim(QWidget* parent = nullptr);
  ~aim() override;

  // Reads "aim/center_x" / "aim/center_y" (a missing or unreadable key is
  // written with the current value), then reports and repaints.
  virtual void loadCenter(QSettings& settings);
  // Back to the window centre (180, 160), written to `settings`.
  virtual void resetCenter(QSettings& settings);

  // Draws everything the paint event draws, for a painter on a 360 x 320
  // surface. The caller owns the painter state.
  void paintOverlay(QPainter& painter);

  // Read access for the window, the recording overlay and tests.
  double centerX() const { return centerX_; }
  double centerY() const { return centerY_; }
  int previewMode() const { return previewMode_; }
  int previewOffsetX() const { return previewOffsetX_; }
  int previewOffsetY() const { return previewOffsetY_; }
  double zoom() const { return zoom_; }
  bool zoomHidden() const { return zoomHidden_; }
  int reticleType() const { return reticleType_; }
  int reticleColor() const { return reticleColor_; }
  int reticleDotColor() const { return reticleDotColor_; }
  int language() const { return language_; }
  bool powerOffShown() const { return powerOffShown_; }
  bool lowPowerShown() const { return lowPowerShown_; }
  int reticleMode() const { return reticleMode_; }
  bool chargerConnected() const { return chargerConnected_; }
  bool charging() const { return charging_; }
  int batteryPercent() const { return batteryPercent_; }
  bool saveImageShown() const { return saveImageShown_; }
  QString centerTemperatureText() const { return centerTemperatureText_; }
  bool tempMeasureEnabled() const { return tempMeasureEnabled_; }
  const aim_cross_base* currentReticle() const { return currentReticle_; }

  static QString noTemperatureText();

 signals:
  // The centre in window pixels, truncated towards zero.
  void send_real_center(int x, int y);
  // A confirmed zeroing moved the centre; the owner persists it.
  void centerConfirmed(double x, double y);

 public slots:
  void slot_update(double val);
  void slot_reticle_update(int mode, int x_offset, int y_offset);
  void slot_set_center(int x_cell, int y_cell);
  void slot_recv_reticle_type(int type);
  void slot_recv_reticle_mode(reticle_mode_e mode);
  void slot_recv_reticle_color(int color);
  void slot_recv_reticle_dot_color(int color);
  void slot_recv_poweroff(bool enable);
  void slot_recv_lowpower(bool enable);
  void slot_recv_language(int lang);
  void slot_recv_chargeOnline(bool isOnline);
  void slot_recv_charge(bool isCharge);
  void slot_recv_battery_percent(int percent);
  void slot_recv_saveimage(bool isSave);
  void slot_recv_center_temperature(QString text);
  void slot_recv_temp_measure_enabled(bool enabled);
  void drawIcoTimer_function();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool inPreview() const { return previewMode_ >= 1 && previewMode_ <= 3; }
  bool statusImageShown() const { return powerOffShown_ || lowPowerShown_; }
  bool temperatureVisible() const;
  void drawTemperature(QPainter& painter);
  void reportCenter();

  double centerX_ = 180.0;
  double centerY_ = 160.0;
  int previewMode_ = 0;
  double zoom_ = 1.0;
  bool zoomHidden_ = false;
  int previewOffsetX_ = 0;
  int previewOffsetY_ = 0;
  int reticleType_ = 0;
  int reticleColor_ = 0;
  int reticleDotColor_ = 1;
  int language_ = 0;
  bool powerOffShown_ = false;
  bool lowPowerShown_ = false;
  int reticleMode_ = RETICLE_MODE_WITH_ZOOM;
  bool chargerConnected_ = false;
  bool charging_ = false;
  int batteryPercent_ = 0;
  std::array<std::unique_ptr<aim_cross_base>, 4> reticles_;
  aim_cross_base* currentReticle_ = nullptr;
  bool saveImageShown_ = false;
  QTimer iconTimer_;
  QString centerTemperatureText_;
  bool tempMeasureEnabled_ = false;
};
