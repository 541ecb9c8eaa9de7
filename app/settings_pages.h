#pragma once
// The seven settings pages (reticle colours, brightness, device information,
// factory reset, language, power save and its minute editor): built for the
// window's stack and routed here, so the window only hears what it must act
// on itself (a language, the power-save switch, a minute nudge, a reset).
#include <QObject>

class AdjustPage;
class AppController;
class DeviceInfoPage;
class EnergyAdjustPage;
class EnergySavingPage;
class FactoryResetPage;
class LanguagePage;
class PalettePage;
class QWidget;
class aim;
struct ControllerSettings;

class SettingsPages : public QObject {
  Q_OBJECT
 public:
  // The pages are children of `parent`; `cfg` is the window's settings
  // mirror, which the colour page writes directly.
  SettingsPages(QWidget* parent, double uiScale, ControllerSettings* cfg, AppController* state);

  // The page for a stack index, or null for the indices of other pages.
  QWidget* page(int index) const;
  // Colours go straight to the overlay.
  void setOverlay(aim* overlay) { overlay_ = overlay; }

  // Pushes the current values back into the pages (after a language change
  // or a reset).
  void refresh(bool gsensorAvailable);
  void refreshEnergySaving(bool gsensorAvailable);
  // Sets the minute editor up for `target` (0 idle sleep, else power-off).
  void openEnergyAdjust(int target);
  int energyAdjustTarget() const;
  void untickFactoryReset();

  PalettePage* palette() const { return palette_; }
  FactoryResetPage* factoryReset() const { return factoryReset_; }

 signals:
  void backToMenuRequested();
  void showPageRequested(int index);
  void persistRequested();
  void languageSelected(int lang);
  void energySavingSwitched(bool on);
  void gsensorUnavailable();
  void energyMinutesNudged(int delta);
  void factoryResetConfirmed(bool deleteMedia);

 private:
  ControllerSettings* cfg_;
  AppController* state_;
  aim* overlay_ = nullptr;
  PalettePage* palette_;
  AdjustPage* adjust_;
  DeviceInfoPage* deviceInfo_;
  FactoryResetPage* factoryReset_;
  LanguagePage* language_;
  EnergySavingPage* energySaving_;
  EnergyAdjustPage* energyAdjust_;
};
