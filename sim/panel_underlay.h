#pragma once
// The panel on the PC. On the board the thermal picture never passes through
// Qt: it is scanned out from the overlay plane beneath the transparent
// interface. Here the same window shows it: an event filter on the main
// window paints the framebuffer latched on the simulated overlay plane, turned
// back to the landscape 360 x 320 view, whenever the window paints its own
// background, then lets the window and its children (the interface) paint on
// top. Being no widget of the central widget's tree, it never appears in what
// renders that tree (photos, the recording overlay); grabbing the window
// (screenshots) shows both, as the panel does.
//
// The panel's backlight is light, not pixels: the level the program writes to
// the simulated backlight attribute is read back every 200 ms (and at once by
// pollBacklight) as a share of max_brightness (full without the attribute),
// for the workbench, which dims everything the panel shows by it, picture and
// interface alike. The window's own paint, and so screenshots, photos and
// recordings, keep the full level.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "sim/sim_kms.h"

class QTimer;

namespace sim {

class PanelUnderlay : public QObject {
  Q_OBJECT

 public:
  // Installs itself on `window` and follows `kms`'s commits; both must
  // outlive it or be removed (the window may go first).
  PanelUnderlay(SimKms* kms, QWidget* window);
  ~PanelUnderlay() override;

  // The picture as painted: landscape, 360 x 320, black before any commit.
  QImage picture() const { return image_; }
  // Re-reads the latched framebuffer now (the commit listener does it queued).
  void refresh();

  // Reads the backlight attribute now.
  void pollBacklight();
  // The share of full light the panel gives off, 0..1.
  double backlightFactor() const;
  // How opaque a black laid over the panel's pixels makes them look lit at
  // `factor` of full light: 0 (full light) to 255 (dark).
  static int backlightShade(double factor);
  static constexpr int kBacklightPollMs = 200;

  // NV12 portrait (width x height, luma pitch; chroma follows at pitch *
  // height) to an RGB landscape image, undoing the display's 90-degree turn.
  static bool portraitNv12ToLandscape(const uint8_t* nv12, int width, int height, int pitch,
                                      QImage* out, std::vector<uint8_t>* scratch);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  // Queued from the committing thread by name: a functor built there would
  // reach this thread through Qt's event queue, whose ordering a thread
  // sanitizer cannot see.
  void onCommitted();

 private:
  struct Link;
  SimKms* kms_;
  QPointer<QWidget> window_;
  std::shared_ptr<Link> link_;
  SimKms::PanelFrame frame_;
  std::vector<uint8_t> scratch_;
  QImage image_;
  QTimer* backlightTimer_ = nullptr;
  int backlightLevel_ = -1;  // -1: no attribute, full brightness
  int backlightMax_ = 255;
};

}  // namespace sim
