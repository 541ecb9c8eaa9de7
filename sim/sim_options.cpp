#include "sim/sim_options.h"

#include <QCommandLineParser>
#include <vector>

#include "platform/constants.h"
#include "sim/thermal_scene.h"

namespace sim {
namespace {

struct OptionText {
  const char* name;
  const char* value;  // null: a switch
  const char* help;   // continuation lines start with '\n'
};

// One table for the parser and the help text, which keeps today's layout.
const std::vector<OptionText>& optionTable() {
  static const std::vector<OptionText> table = {
      {"root", "DIR", "the simulated board's file tree (default: %1)"},
      {"scene", "NAME", "thermal scene: field or bench (default: field)"},
      {"blackbody", "CELSIUS", "set point of the bench's blackbody source (default: 37.0)"},
      {"aim", "STOP",
       "keep the bench's view on one reference: cup, ice, hand or\n"
       "blackbody; implies --scene bench (default: the view visits\n"
       "each in turn)"},
      {"scale", "1|2|3",
       "size of the device's screen in the workbench window\n"
       "(default: the largest that fits the desktop)"},
      {"headless", nullptr, "no window on screen (offscreen platform)"},
      {"run-for", "SECONDS", "quit after that long"},
      {"screenshot", "FILE", "save the panel and interface as a PNG before quitting"},
      {"script", "FILE", "run a script of timed actions"},
      {"time-scale", "N",
       "run the device's power timers (motion, idle sleep, automatic\n"
       "power-off) N times faster, 1 to 600 (default: 1)"},
      {"language", "zh|en|ru", "the device's language, as its language page sets it"},
      {"card-full-after", "BYTES",
       "the SD card fills up once recordings have written\n"
       "that many bytes"},
      {"version", nullptr, "the simulator's version"},
      {"help", nullptr, "this text"},
  };
  return table;
}

bool takesValue(const QString& arg) {
  if (!arg.startsWith(QLatin1String("--")) || arg.contains(QLatin1Char('='))) return false;
  const QByteArray name = arg.mid(2).toLatin1();
  for (const OptionText& o : optionTable())
    if (o.value && name == o.name) return true;
  return false;
}

// The scene and the view stop exist; a stop named alone chooses its scene.
bool checkScene(bool sceneGiven, SimOptions* o, QString* error) {
  const QStringList scenes = ThermalScene::builtinNames();
  if (sceneGiven && !scenes.contains(o->scene)) {
    *error = QStringLiteral("--scene needs %1, not '%2'")
                 .arg(scenes.join(QStringLiteral(" or ")), o->scene);
    return false;
  }
  if (o->aim.isEmpty()) return true;
  QStringList candidates = sceneGiven ? QStringList{o->scene} : scenes;
  // The default scene first, so a stop both had would keep it.
  candidates.removeAll(o->scene);
  candidates.prepend(o->scene);
  QStringList known;
  for (const QString& name : candidates) {
    ThermalScene scene;
    QString ignored;
    if (!scene.loadBuiltin(name, &ignored)) continue;
    const QStringList stops = scene.stopNames();
    if (stops.contains(o->aim)) {
      o->scene = name;
      return true;
    }
    for (const QString& s : stops)
      if (!known.contains(s)) known << s;
  }
  if (known.isEmpty()) {
    *error = QStringLiteral("--aim: scene '%1' has no views to aim at").arg(o->scene);
  } else {
    QString choices = known.last();
    if (known.size() > 1)
      choices = known.mid(0, known.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
                choices;
    *error = QStringLiteral("--aim needs %1, not '%2'").arg(choices, o->aim);
  }
  return false;
}

// A whole factor from 1 to `most`, written "3" or "3x".
bool parseFactor(const QString& text, int most, int* out) {
  QString digits = text.trimmed();
  if (digits.endsWith(QLatin1Char('x'))) digits.chop(1);
  bool ok = false;
  const int v = digits.toInt(&ok);
  if (!ok || v < 1 || v > most) return false;
  *out = v;
  return true;
}

}  // namespace

bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error) {
  // A value option as the last word: the parser's own message would name
  // neither the option as typed nor what is missing in our words.
  if (!args.isEmpty() && takesValue(args.last())) {
    *error = QStringLiteral("%1 needs a value").arg(args.last());
    return false;
  }
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const OptionText& o : optionTable()) {
    QStringList names{QString::fromLatin1(o.name)};
    if (qstrcmp(o.name, "help") == 0) names << QStringLiteral("h");
    QCommandLineOption option(names, QString::fromLatin1(o.help));
    if (o.value) option.setValueName(QString::fromLatin1(o.value));
    parser.addOption(option);
  }
  if (!parser.parse(QStringList{QStringLiteral("heatlume-sim")} + args)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      // As typed, dashes and all.
      QString typed = unknown.first();
      for (const QString& a : args)
        if (a.section(QLatin1Char('='), 0, 0).endsWith(QLatin1Char('-') + unknown.first())) {
          typed = a;
          break;
        }
      *error = QStringLiteral("unknown option '%1'").arg(typed);
    } else {
      *error = parser.errorText();
    }
    return false;
  }
  if (!parser.positionalArguments().isEmpty()) {
    *error = QStringLiteral("unknown option '%1'").arg(parser.positionalArguments().first());
    return false;
  }

  SimOptions o;
  o.help = parser.isSet(QStringLiteral("help"));
  o.version = parser.isSet(QStringLiteral("version"));
  o.headless = parser.isSet(QStringLiteral("headless"));
  auto text = [&](const char* name, QString* dst) {
    if (parser.isSet(QString::fromLatin1(name))) *dst = parser.value(QString::fromLatin1(name));
  };
  text("root", &o.root);
  text("screenshot", &o.screenshot);
  text("scene", &o.scene);
  text("aim", &o.aim);
  text("script", &o.script);
  if (parser.isSet(QStringLiteral("blackbody"))) {
    const QString v = parser.value(QStringLiteral("blackbody"));
    bool ok = false;
    o.blackbodyC = v.toDouble(&ok);
    // From below freezing up to the hottest set point the calibration takes.
    if (!ok || !(o.blackbodyC >= -40.0 && o.blackbodyC <= 550.0)) {
      *error = QStringLiteral("--blackbody needs degrees Celsius (-40 to 550), not '%1'").arg(v);
      return false;
    }
  }
  if (parser.isSet(QStringLiteral("card-full-after"))) {
    const QString v = parser.value(QStringLiteral("card-full-after"));
    bool ok = false;
    o.cardFullAfterBytes = v.toLongLong(&ok);
    if (!ok || o.cardFullAfterBytes < 0) {
      *error = QStringLiteral("--card-full-after needs a number of bytes, not '%1'").arg(v);
      return false;
    }
  }
  if (parser.isSet(QStringLiteral("run-for"))) {
    const QString v = parser.value(QStringLiteral("run-for"));
    bool ok = false;
    o.runForSeconds = v.toDouble(&ok);
    // Also refuses nan, infinity and spans a timer cannot hold.
    if (!ok || !(o.runForSeconds >= 0 && o.runForSeconds <= 2e6)) {
      *error = QStringLiteral("--run-for needs a number of seconds, not '%1'").arg(v);
      return false;
    }
  }
  if (parser.isSet(QStringLiteral("scale"))) {
    const QString v = parser.value(QStringLiteral("scale"));
    if (!parseFactor(v, 3, &o.scale)) {
      *error = QStringLiteral("--scale needs 1, 2 or 3, not '%1'").arg(v);
      return false;
    }
  }
  if (parser.isSet(QStringLiteral("time-scale"))) {
    const QString v = parser.value(QStringLiteral("time-scale"));
    if (!parseFactor(v, kMaxTimeScale, &o.timeScale)) {
      *error = QStringLiteral("--time-scale needs a whole factor from 1 to %1, not '%2'")
                   .arg(kMaxTimeScale)
                   .arg(v);
      return false;
    }
  }
  if (parser.isSet(QStringLiteral("language"))) {
    const QString v = parser.value(QStringLiteral("language"));
    // The language page's order: Chinese, English, Russian.
    o.language =
        QStringList{QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ru")}.indexOf(
            v.trimmed().toLower());
    if (o.language < 0) {
      *error = QStringLiteral("--language needs zh, en or ru, not '%1'").arg(v);
      return false;
    }
  }
  if (!checkScene(parser.isSet(QStringLiteral("scene")), &o, error)) return false;
  *out = o;
  return true;
}

QString simUsage() {
  QString out = QStringLiteral(
      "Usage: heatlume-sim [options]\n"
      "The Heatlume thermal sight on a simulated board.\n\n");
  constexpr int kColumn = 23;  // where the descriptions start
  for (const OptionText& o : optionTable()) {
    QString head = QStringLiteral("  --") + QString::fromLatin1(o.name);
    if (o.value) head += QLatin1Char(' ') + QString::fromLatin1(o.value);
    const QStringList lines = QString::fromLatin1(o.help).split(QLatin1Char('\n'));
    if (head.size() + 1 > kColumn) {
      out += head + QStringLiteral("  ") + lines.first() + QLatin1Char('\n');
    } else {
      out += head.leftJustified(kColumn) + lines.first() + QLatin1Char('\n');
    }
    for (int i = 1; i < lines.size(); ++i)
      out += QString(kColumn, QLatin1Char(' ')) + lines[i] + QLatin1Char('\n');
  }
  return out;
}

QString simVersion() {
  QString v = QString::fromLatin1(heatlume::kVersionText);
  v.remove(QStringLiteral("version:"));
  return QStringLiteral("heatlume-sim ") + v;
}

}  // namespace sim
