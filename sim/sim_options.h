#pragma once
// Command line of heatlume-sim (the board's program has none).
#include <QString>
#include <QStringList>

namespace sim {

struct SimOptions {
  QString root;                             // --root DIR; empty: defaultBoardRoot()
  bool headless = false;                    // --headless: offscreen platform
  double runForSeconds = -1.0;              // --run-for SECONDS; < 0: run until closed
  QString screenshot;                       // --screenshot FILE: grab before quitting
  QString scene = QStringLiteral("field");  // --scene NAME
  double blackbodyC = 37.0;                 // --blackbody CELSIUS (bench scene)
  QString aim;                              // --aim STOP: keep the view there
  QString script;                           // --script FILE
  long long cardFullAfterBytes = -1;        // --card-full-after BYTES; < 0: never
  int scale = 0;                            // --scale 1|2|3; 0: what fits the desktop
  int timeScale = 1;                        // --time-scale N: the power timers N times faster
  int language = -1;                        // --language zh|en|ru: 0, 1, 2; -1: as stored
  bool help = false;
  bool version = false;
};

constexpr int kMaxTimeScale = 600;

// Parses argv[1..]; false with a message in *error for an unknown option or a
// missing or bad value. Scene and view are checked against the compiled-in
// scenes here, before anything is made on disk; a view named without a scene
// picks the scene that has it.
bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error);
// The help text; "%1" in it stands for the default board root.
QString simUsage();
// "heatlume-sim 1.0.6".
QString simVersion();

}  // namespace sim
