#include "sim/sim_options.h"

namespace sim {

bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error) {
  SimOptions o;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](QString* dst) {
      if (i + 1 >= args.size()) {
        *error = QStringLiteral("%1 needs a value").arg(a);
        return false;
      }
      *dst = args[++i];
      return true;
    };
    if (a == QLatin1String("--headless")) {
      o.headless = true;
    } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      o.help = true;
    } else if (a == QLatin1String("--root")) {
      if (!value(&o.root)) return false;
    } else if (a == QLatin1String("--screenshot")) {
      if (!value(&o.screenshot)) return false;
    } else if (a == QLatin1String("--scene")) {
      if (!value(&o.scene)) return false;
    } else if (a == QLatin1String("--aim")) {
      if (!value(&o.aim)) return false;
    } else if (a == QLatin1String("--blackbody")) {
      QString v;
      if (!value(&v)) return false;
      bool ok = false;
      o.blackbodyC = v.toDouble(&ok);
      // From below freezing up to the hottest set point the calibration takes.
      if (!ok || !(o.blackbodyC >= -40.0 && o.blackbodyC <= 550.0)) {
        *error = QStringLiteral("--blackbody needs degrees Celsius (-40 to 550), not '%1'").arg(v);
        return false;
      }
    } else if (a == QLatin1String("--card-full-after")) {
      QString v;
      if (!value(&v)) return false;
      bool ok = false;
      o.cardFullAfterBytes = v.toLongLong(&ok);
      if (!ok || o.cardFullAfterBytes < 0) {
        *error = QStringLiteral("--card-full-after needs a number of bytes, not '%1'").arg(v);
        return false;
      }
    } else if (a == QLatin1String("--script")) {
      if (!value(&o.script)) return false;
    } else if (a == QLatin1String("--run-for")) {
      QString v;
      if (!value(&v)) return false;
      bool ok = false;
      o.runForSeconds = v.toDouble(&ok);
      // Also refuses nan, infinity and spans a timer cannot hold.
      if (!ok || !(o.runForSeconds >= 0 && o.runForSeconds <= 2e6)) {
        *error = QStringLiteral("--run-for needs a number of seconds, not '%1'").arg(v);
        return false;
      }
    } else {
      *error = QStringLiteral("unknown option '%1'").arg(a);
      return false;
    }
  }
  *out = o;
  return true;
}

QString simUsage() {
  return QStringLiteral(
      "Usage: heatlume-sim [options]\n"
      "The Heatlume thermal sight on a simulated board.\n\n"
      "  --root DIR           the simulated board's file tree (default: %1)\n"
      "  --scene NAME         thermal scene: field or bench (default: field)\n"
      "  --blackbody CELSIUS  set point of the bench's blackbody source (default: 37.0)\n"
      "  --aim STOP           keep the bench's view on one reference: cup, ice, hand or\n"
      "                       blackbody (default: the view visits each in turn)\n"
      "  --headless           no window on screen (offscreen platform)\n"
      "  --run-for SECONDS    quit after that long\n"
      "  --screenshot FILE    save the panel and interface as a PNG before quitting\n"
      "  --script FILE        run a script of timed actions\n"
      "  --card-full-after BYTES  the SD card fills up once recordings have written\n"
      "                       that many bytes\n"
      "  --help               this text\n");
}

}  // namespace sim
