#include "sim/thermal_scene.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdint>

static void initSceneResources() { Q_INIT_RESOURCE(scenes); }

namespace sim {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// Triangle wave 0 -> 1 -> 0 over one period.
double pingPong(double t, double period) {
  if (period <= 0) return 0;
  double ph = std::fmod(t / period, 1.0);
  if (ph < 0) ph += 1.0;
  return ph < 0.5 ? 2.0 * ph : 2.0 - 2.0 * ph;
}

// Smooth, deterministic fine structure in [-1, 1]: two octaves of value noise.
std::vector<float> makeTexture(int w, int h) {
  std::vector<float> out(static_cast<size_t>(w) * h, 0.0f);
  uint32_t state = 0x9E3779B9u;
  auto rnd = [&state]() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>((state >> 8) & 0xFFFF) / 32767.5f - 1.0f;
  };
  const int cells[2] = {4, 16};
  const float weights[2] = {0.45f, 0.55f};
  for (int o = 0; o < 2; ++o) {
    const int c = cells[o];
    const int gw = w / c + 2, gh = h / c + 2;
    std::vector<float> grid(static_cast<size_t>(gw) * gh);
    for (float& g : grid) g = rnd();
    for (int y = 0; y < h; ++y) {
      const float fy = static_cast<float>(y) / c;
      const int iy = static_cast<int>(fy);
      const float ty = fy - iy;
      for (int x = 0; x < w; ++x) {
        const float fx = static_cast<float>(x) / c;
        const int ix = static_cast<int>(fx);
        const float tx = fx - ix;
        const float a = grid[iy * gw + ix], b = grid[iy * gw + ix + 1];
        const float cc = grid[(iy + 1) * gw + ix], d = grid[(iy + 1) * gw + ix + 1];
        const float top = a + (b - a) * tx, bottom = cc + (d - cc) * tx;
        out[static_cast<size_t>(y) * w + x] += weights[o] * (top + (bottom - top) * ty);
      }
    }
  }
  return out;
}

}  // namespace

QStringList ThermalScene::builtinNames() {
  return {QStringLiteral("bench"), QStringLiteral("field")};
}

bool ThermalScene::loadBuiltin(const QString& name, QString* error) {
  initSceneResources();
  QFile f(QStringLiteral(":/sim/scenes/%1.scene").arg(name));
  if (!builtinNames().contains(name) || !f.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("unknown scene '%1' (known: %2)")
                 .arg(name, builtinNames().join(QStringLiteral(", ")));
    return false;
  }
  if (!parse(QString::fromUtf8(f.readAll()), error)) {
    *error = QStringLiteral("%1.scene: %2").arg(name, *error);
    return false;
  }
  name_ = name;
  return true;
}

bool ThermalScene::parse(const QString& text, QString* error) {
  ThermalScene s;
  const QStringList lines = text.split(QLatin1Char('\n'));
  int currentObject = -1;
  for (int ln = 0; ln < lines.size(); ++ln) {
    QString line = lines[ln];
    const int hash = line.indexOf(QLatin1Char('#'));
    if (hash >= 0) line.truncate(hash);
    const QStringList tok =
        line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (tok.isEmpty()) continue;
    auto fail = [&](const QString& why) {
      *error = QStringLiteral("line %1: %2").arg(ln + 1).arg(why);
      return false;
    };
    bool ok = true;
    auto num = [&](int i) -> float {
      if (i >= tok.size()) {
        ok = false;
        return 0;
      }
      bool good = false;
      const double v = tok[i].toDouble(&good);
      if (!good || !std::isfinite(v)) ok = false;
      return static_cast<float>(v);
    };
    const QString& cmd = tok[0];
    if (cmd == QLatin1String("world")) {
      s.worldW_ = static_cast<int>(num(1));
      s.worldH_ = static_cast<int>(num(2));
      if (!ok || s.worldW_ < kWidth || s.worldH_ < kHeight || s.worldW_ > 8192 || s.worldH_ > 8192)
        return fail(QStringLiteral("world needs a size of at least 256 x 192"));
    } else if (cmd == QLatin1String("param")) {
      const double v = num(2);
      if (!ok || tok.size() != 3) return fail(QStringLiteral("param needs a name and a value"));
      s.paramNames_.push_back(tok[1].toStdString());
      s.paramValues_.push_back(v);
    } else if (cmd == QLatin1String("view")) {
      s.panSeconds_ = num(2);
      if (!ok || tok.value(1) != QLatin1String("pan") || s.panSeconds_ < 0)
        return fail(QStringLiteral("expected: view pan SECONDS"));
    } else if (cmd == QLatin1String("stop")) {
      Stop st{tok.value(1), num(2), num(3), num(4)};
      if (!ok || st.dwell < 0) return fail(QStringLiteral("expected: stop NAME X Y SECONDS"));
      s.stops_.push_back(st);
    } else if (cmd == QLatin1String("object")) {
      if (currentObject >= 0) return fail(QStringLiteral("objects do not nest"));
      Object o{num(3), num(4), num(5), num(6), num(7), tok.value(8) == QLatin1String("loop")};
      if (!ok || tok.value(2) != QLatin1String("path") || o.period <= 0 ||
          tok.size() > (o.loop ? 9 : 8))
        return fail(QStringLiteral("expected: object NAME path X0 Y0 X1 Y1 PERIOD [loop]"));
      s.objects_.push_back(o);
      currentObject = static_cast<int>(s.objects_.size()) - 1;
    } else if (cmd == QLatin1String("end")) {
      if (currentObject < 0) return fail(QStringLiteral("end without object"));
      currentObject = -1;
    } else if (cmd == QLatin1String("gradient") || cmd == QLatin1String("rect") ||
               cmd == QLatin1String("ellipse")) {
      Shape sh;
      sh.kind = cmd == QLatin1String("gradient") ? Shape::Gradient
                : cmd == QLatin1String("rect")   ? Shape::Rect
                                                 : Shape::Ellipse;
      sh.x = num(1);
      sh.y = num(2);
      sh.w = num(3);
      sh.h = num(4);
      int i = 5;
      if (tok.value(i).startsWith(QLatin1Char('$'))) {
        const std::string p = tok[i].mid(1).toStdString();
        const auto it = std::find(s.paramNames_.begin(), s.paramNames_.end(), p);
        if (it == s.paramNames_.end()) return fail(QStringLiteral("unknown param %1").arg(tok[i]));
        sh.paramIndex = static_cast<int>(it - s.paramNames_.begin());
      } else {
        sh.t0 = num(i);
      }
      ++i;
      if (sh.kind == Shape::Gradient) {
        sh.t1 = num(i++);
        sh.hasEdge = true;
      }
      while (ok && i < tok.size()) {
        const QString opt = tok[i++];
        if (opt == QLatin1String("edge")) {
          sh.t1 = num(i++);
          sh.hasEdge = true;
        } else if (opt == QLatin1String("soft")) {
          sh.soft = std::max(0.05f, num(i++));
          sh.softGiven = true;
        } else if (opt == QLatin1String("texture")) {
          sh.texture = num(i++);
        } else if (opt == QLatin1String("flicker")) {
          sh.flickerAmp = num(i++);
          sh.flickerPeriod = num(i++);
          if (sh.flickerPeriod <= 0) ok = false;
        } else if (opt == QLatin1String("osc")) {
          sh.oscDx = num(i++);
          sh.oscDy = num(i++);
          sh.oscPeriod = num(i++);
          sh.oscPhase = num(i++);
          if (sh.oscPeriod <= 0) ok = false;
        } else {
          return fail(QStringLiteral("unknown option '%1'").arg(opt));
        }
      }
      if (!ok || sh.w <= 0 || sh.h <= 0)
        return fail(
            QStringLiteral("bad %1: position, positive size, temperature, options").arg(cmd));
      sh.object = currentObject;
      s.shapes_.push_back(sh);
    } else {
      return fail(QStringLiteral("unknown directive '%1'").arg(cmd));
    }
    if (!ok) return fail(QStringLiteral("bad number in '%1'").arg(cmd));
  }
  if (currentObject >= 0) {
    *error = QStringLiteral("object without end");
    return false;
  }
  if (s.shapes_.empty()) {
    *error = QStringLiteral("no shapes");
    return false;
  }
  for (const Stop& st : s.stops_) {
    if (st.x < 0 || st.y < 0 || st.x + kWidth > s.worldW_ || st.y + kHeight > s.worldH_) {
      *error = QStringLiteral("stop %1 leaves the world").arg(st.name);
      return false;
    }
  }
  s.texture_ = makeTexture(s.worldW_, s.worldH_);
  s.name_ = name_;
  *this = std::move(s);
  return true;
}

bool ThermalScene::setParam(const std::string& name, double value) {
  const auto it = std::find(paramNames_.begin(), paramNames_.end(), name);
  if (it == paramNames_.end() || !std::isfinite(value)) return false;
  paramValues_[it - paramNames_.begin()] = value;
  return true;
}

double ThermalScene::param(const std::string& name, double fallback) const {
  const auto it = std::find(paramNames_.begin(), paramNames_.end(), name);
  return it == paramNames_.end() ? fallback : paramValues_[it - paramNames_.begin()];
}

QStringList ThermalScene::stopNames() const {
  QStringList out;
  for (const Stop& s : stops_) out << s.name;
  return out;
}

bool ThermalScene::holdView(const QString& stop) {
  if (stop.isEmpty()) {
    held_ = -1;
    return true;
  }
  for (size_t i = 0; i < stops_.size(); ++i) {
    if (stops_[i].name == stop) {
      held_ = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

void ThermalScene::viewOrigin(double t, float* vx, float* vy) const {
  *vx = 0;
  *vy = 0;
  if (stops_.empty()) return;
  if (held_ >= 0) {
    *vx = stops_[held_].x;
    *vy = stops_[held_].y;
    return;
  }
  double cycle = 0;
  for (const Stop& s : stops_) cycle += s.dwell + panSeconds_;
  if (cycle <= 0) {
    *vx = stops_[0].x;
    *vy = stops_[0].y;
    return;
  }
  double ph = std::fmod(t, cycle);
  if (ph < 0) ph += cycle;
  for (size_t i = 0; i < stops_.size(); ++i) {
    const Stop& a = stops_[i];
    const Stop& b = stops_[(i + 1) % stops_.size()];
    if (ph < a.dwell) {
      *vx = a.x;
      *vy = a.y;
      return;
    }
    ph -= a.dwell;
    if (ph < panSeconds_) {
      // Eased, as a hand turns a camera.
      const double u = ph / panSeconds_;
      const double e = u * u * (3 - 2 * u);
      *vx = static_cast<float>(a.x + (b.x - a.x) * e);
      *vy = static_cast<float>(a.y + (b.y - a.y) * e);
      return;
    }
    ph -= panSeconds_;
  }
  *vx = stops_[0].x;
  *vy = stops_[0].y;
}

// The fine structure between its world-grid samples, for finer grids.
float ThermalScene::textureAt(float wx, float wy) const {
  wx = std::clamp(wx, 0.0f, static_cast<float>(worldW_ - 1));
  wy = std::clamp(wy, 0.0f, static_cast<float>(worldH_ - 1));
  const int x0 = std::min(static_cast<int>(wx), worldW_ - 2);
  const int y0 = std::min(static_cast<int>(wy), worldH_ - 2);
  const float fx = wx - x0, fy = wy - y0;
  const float* r0 = texture_.data() + static_cast<size_t>(y0) * worldW_ + x0;
  const float* r1 = r0 + worldW_;
  const float top = r0[0] + (r0[1] - r0[0]) * fx, bottom = r1[0] + (r1[1] - r1[0]) * fx;
  return top + (bottom - top) * fy;
}

void ThermalScene::paint(const Shape& s, float ox, float oy, int viewX, int viewY, double t,
                         int scale, float* out) const {
  float cx, cy, hw, hh;
  if (s.kind == Shape::Ellipse) {
    cx = s.x + ox;
    cy = s.y + oy;
    hw = s.w;
    hh = s.h;
  } else {
    hw = s.w * 0.5f;
    hh = s.h * 0.5f;
    cx = s.x + ox + hw;
    cy = s.y + oy + hh;
  }
  const int outW = kWidth * scale, outH = kHeight * scale;
  const float px1 = 1.0f / scale;  // one output pixel, in sensor pixels
  const float soft = s.softGiven || scale == 1 ? s.soft : s.soft * px1;
  const float margin = soft + 1.0f;
  const int xa = std::max(0, static_cast<int>(std::floor((cx - hw - margin) * scale)));
  const int xb = std::min(outW - 1, static_cast<int>(std::ceil((cx + hw + margin) * scale)));
  const int ya = std::max(0, static_cast<int>(std::floor((cy - hh - margin) * scale)));
  const int yb = std::min(outH - 1, static_cast<int>(std::ceil((cy + hh + margin) * scale)));
  if (xa > xb || ya > yb) return;

  const float base = s.paramIndex >= 0 ? static_cast<float>(paramValues_[s.paramIndex]) : s.t0;
  float t0 = base;
  if (s.flickerAmp != 0) {
    const double phase = static_cast<double>(&s - shapes_.data()) * 1.7;
    t0 += static_cast<float>(s.flickerAmp * std::sin(kTwoPi * t / s.flickerPeriod + phase));
  }
  const float t1 = s.hasEdge ? s.t1 + (t0 - base) : t0;
  const float minR = std::min(hw, hh);
  for (int py = ya; py <= yb; ++py) {
    const float sy = (py + 0.5f) * px1;  // exact at scale 1
    const float dy = sy - cy;
    float* row = out + static_cast<size_t>(py) * outW;
    for (int px = xa; px <= xb; ++px) {
      const float sx = (px + 0.5f) * px1;
      const float dx = sx - cx;
      float d, r;
      if (s.kind == Shape::Ellipse) {
        const float q = std::sqrt((dx * dx) / (hw * hw) + (dy * dy) / (hh * hh));
        d = (q - 1.0f) * minR;
        r = q;
      } else {
        d = std::max(std::fabs(dx) - hw, std::fabs(dy) - hh);
        r = std::max(std::fabs(dx) / hw, std::fabs(dy) / hh);
      }
      const float cover = std::clamp(0.5f - d / soft, 0.0f, 1.0f);
      if (cover <= 0) continue;
      float temp;
      if (s.kind == Shape::Gradient)
        temp = t0 + (t1 - t0) * std::clamp((dy + hh) / (2 * hh), 0.0f, 1.0f);
      else if (s.hasEdge)
        temp = t0 + (t1 - t0) * std::min(r, 1.0f);
      else
        temp = t0;
      // The fine structure belongs to the world, not to the view.
      if (s.texture != 0)
        temp += s.texture * (scale == 1
                                 ? texture_[static_cast<size_t>(py + viewY) * worldW_ + px + viewX]
                                 : textureAt(sx - 0.5f + viewX, sy - 0.5f + viewY));
      row[px] += (temp - row[px]) * cover;
    }
  }
}

void ThermalScene::render(double t, float* out, int scale) const {
  scale = std::clamp(scale, 1, 8);
  std::fill(out, out + static_cast<size_t>(kWidth) * kHeight * scale * scale, 20.0f);
  float vx, vy;
  viewOrigin(t, &vx, &vy);
  // Stops and pans keep the view inside the world; the texture lookup relies on it.
  const int viewX = std::clamp(static_cast<int>(vx), 0, worldW_ - kWidth);
  const int viewY = std::clamp(static_cast<int>(vy), 0, worldH_ - kHeight);
  for (const Shape& s : shapes_) {
    float ox = -vx, oy = -vy;
    if (s.object >= 0) {
      const Object& o = objects_[s.object];
      const double f =
          o.loop ? std::fmod(std::fmod(t / o.period, 1.0) + 1.0, 1.0) : pingPong(t, o.period);
      ox += static_cast<float>(o.x0 + (o.x1 - o.x0) * f);
      oy += static_cast<float>(o.y0 + (o.y1 - o.y0) * f);
    }
    if (s.oscPeriod > 0) {
      const double w = std::sin(kTwoPi * (t / s.oscPeriod + s.oscPhase));
      ox += static_cast<float>(s.oscDx * w);
      oy += static_cast<float>(s.oscDy * w);
    }
    paint(s, ox, oy, viewX, viewY, t, scale, out);
  }
}

}  // namespace sim
