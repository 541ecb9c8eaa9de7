#pragma once
// The main window's mirror of the persistent settings, and the three bulk
// operations on it: load at start-up, save all, factory reset. Kept apart
// from the window so the rules can be exercised without building one.
class AppController;
class QSettings;

struct ControllerSettings {
  int zoomTenths = 10;
  bool zoomRising = true;  // direction of the next zoom step; not persisted
  int reticleColor = 0;
  int reticleDotColor = 1;
  int language = 1;
  bool srEnabled = false;
  bool tempMeasureEnabled = false;
  double tempOffsetC = 0.0;
  bool energySavingEnabled = true;
  int idleSleepMinutes = 30;
  int autoPowerOffMinutes = 60;
};

// Reads the thirteen keys in order, writing the current value of any that is
// missing, normalises, hands brightness, reticle type and palette to the state
// object, then writes the energy keys back and syncs.
void loadControllerSettings(QSettings& s, ControllerSettings& c, AppController* state);
// Writes all thirteen keys from memory and syncs.
void saveControllerSettings(QSettings& s, const ControllerSettings& c, const AppController* state);
// Writes the factory values key by key into the file and memory, then syncs.
void resetControllerSettings(QSettings& s, ControllerSettings& c, AppController* state);
