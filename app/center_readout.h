#pragma once
// The centre-spot readout. Once a second, while the readout is switched on,
// the thermal core measures the rectangle under the reticle and the overlay
// shows the value with the user's offset; a failed reading leaves the last
// value standing. A calibration run keeps the readout's box on screen but
// measures for itself.
#include <QObject>
#include <functional>

struct ControllerSettings;
class QTimer;
class aim;

class CenterReadout : public QObject {
  Q_OBJECT
 public:
  // What the window knows and the readout asks: whether the device is awake
  // (neither asleep nor powering off) and whether a live page is shown.
  struct Gates {
    std::function<bool()> awake;
    std::function<bool()> onLivePage;
  };

  // The switch, the offset, the zoom and super-resolution are read from
  // `cfg` as they stand at each reading.
  CenterReadout(const ControllerSettings* cfg, aim* overlay, Gates gates, QObject* parent);

  // The centre without the offset, as a calibration run measures it.
  bool measure(float* celsius) const;
  // One reading, as the timer takes it.
  void poll();
  void setCalibrating(bool on);
  // After the switch, sleep or power-off changed: the overlay's box and the
  // timer follow.
  void refresh();

 private:
  const ControllerSettings* cfg_;
  aim* overlay_;
  Gates gates_;
  QTimer* timer_;
  bool calibrating_ = false;
};
