#pragma once
// The few values that several parts of the interface observe. Setters
// normalise and signal only when the stored value really changes.
#include <QObject>

class AppController : public QObject {
  Q_OBJECT
  Q_PROPERTY(int paletteMode READ paletteMode WRITE setPaletteMode NOTIFY paletteModeChanged)
  Q_PROPERTY(int reticleType READ reticleType WRITE setReticleType NOTIFY reticleTypeChanged)
  Q_PROPERTY(int brightness READ brightness WRITE setBrightness NOTIFY brightnessChanged)
  Q_PROPERTY(int contrast READ contrast WRITE setContrast NOTIFY contrastChanged)
  Q_PROPERTY(int zeroX READ zeroX WRITE setZeroX NOTIFY zeroingChanged)
  Q_PROPERTY(int zeroY READ zeroY WRITE setZeroY NOTIFY zeroingChanged)
  Q_PROPERTY(
      int batteryPercent READ batteryPercent WRITE setBatteryPercent NOTIFY batteryPercentChanged)
  Q_PROPERTY(bool recording READ recording WRITE setRecording NOTIFY recordingChanged)

 public:
  explicit AppController(QObject* parent = nullptr);

  int paletteMode() const { return paletteMode_; }
  int reticleType() const { return reticleType_; }
  int brightness() const { return brightness_; }
  int contrast() const { return contrast_; }
  int zeroX() const { return zeroX_; }
  int zeroY() const { return zeroY_; }
  int batteryPercent() const { return batteryPercent_; }
  bool recording() const { return recording_; }

  void setPaletteMode(int v);
  void setReticleType(int v);
  void setBrightness(int v);
  void setContrast(int v);
  void setZeroX(int v);
  void setZeroY(int v);
  void setBatteryPercent(int v);
  void setRecording(bool v);

  void stepPaletteMode(int delta);
  void stepReticleType(int delta);
  void nudgeBrightness(int delta);
  void resetDefaults();

  static constexpr int kPaletteCount = 5;
  static constexpr int kReticleTypeCount = 4;

 signals:
  void paletteModeChanged();
  void reticleTypeChanged();
  void brightnessChanged();
  void contrastChanged();
  void zeroingChanged();
  void batteryPercentChanged();
  void recordingChanged();

 private:
  int paletteMode_ = 0;
  int reticleType_ = 3;
  int brightness_ = 50;
  int contrast_ = 50;
  int zeroX_ = 0;
  int zeroY_ = 0;
  int batteryPercent_ = 0;
  bool recording_ = false;
};

// Non-negative remainder: wrapModulo(-1, 5) == 4.
int wrapModulo(int value, int n);
