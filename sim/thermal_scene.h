#pragma once
// A radiometric scene: the temperature, in degrees Celsius, of every pixel the
// thermal core sees, as a function of time. Scenes are data: a small text
// description per scene (compiled in under ":/sim/scenes/NAME.scene"), read
// into a list of shapes that one generic renderer paints.
//
// Description, one directive per line, '#' starts a comment, numbers in
// sensor pixels, seconds and degrees Celsius:
//   world W H                 size of the scene (at least the 256 x 192 view)
//   param NAME VALUE          a named temperature; a shape may use $NAME
//   view pan SECONDS          time the view takes to move between stops
//   stop NAME X Y SECONDS     a view position (top-left) and how long it rests
//   gradient X Y W H T0 T1    vertical ramp from T0 (top) to T1 (bottom)
//   rect X Y W H T            rectangle
//   ellipse CX CY RX RY T     ellipse
//   object NAME path X0 Y0 X1 Y1 PERIOD [loop]
//   ...shapes relative to the object's position...
//   end                       the object goes X0,Y0 -> X1,Y1 -> back per PERIOD
//                             (with loop: X0,Y0 -> X1,Y1, then from the start)
// Shape options, after the temperature:
//   edge T     temperature at the shape's border (radial ramp from the centre)
//   soft PX    width of the soft border (default 0.7)
//   texture A  static fine structure of amplitude A
//   flicker A P  temperature wobble of amplitude A and period P
//   osc DX DY P PHASE  the shape swings by (DX, DY) with period P, phase 0..1
// Shapes are painted in order; a later shape covers an earlier one.
#include <QString>
#include <QStringList>
#include <map>
#include <string>
#include <vector>

namespace sim {

class ThermalScene {
 public:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 192;

  // The names of the compiled-in scenes ("bench", "field").
  static QStringList builtinNames();
  // Reads a compiled-in scene; false with a message in *error.
  bool loadBuiltin(const QString& name, QString* error);
  // Reads a description; false with "line N: ..." in *error. On failure the
  // scene keeps what it held before.
  bool parse(const QString& text, QString* error);

  QString name() const { return name_; }

  // Named temperatures ("blackbody"). Setting an unknown name fails.
  bool setParam(const std::string& name, double value);
  double param(const std::string& name, double fallback = 0.0) const;

  // Names of the view stops, in order; holding one stops the view's tour there
  // (empty: tour again).
  QStringList stopNames() const;
  bool holdView(const QString& stop);

  // Paints the view at time t (seconds) into out[kWidth * kHeight], row-major.
  // Allocation-free.
  void render(double t, float* out) const { render(t, out, 1); }
  // The same view with every sensor pixel split into scale x scale pixels:
  // out[kWidth * scale * kHeight * scale]. Shapes keep their size and
  // softness in the world; only the antialiasing of unsoftened edges and the
  // sampling of the fine structure follow the finer grid. Allocation-free.
  void render(double t, float* out, int scale) const;

 private:
  struct Shape {
    enum Kind { Gradient, Rect, Ellipse } kind = Rect;
    float x = 0, y = 0, w = 0, h = 0;  // rect/gradient: box; ellipse: centre and radii
    float t0 = 0, t1 = 0;
    int paramIndex = -1;  // t0 taken from a parameter
    bool hasEdge = false;
    float soft = 0.7f;
    bool softGiven = false;  // else soft is antialiasing, one pixel of the grid
    float texture = 0;
    float flickerAmp = 0, flickerPeriod = 1;
    float oscDx = 0, oscDy = 0, oscPeriod = 0, oscPhase = 0;
    int object = -1;
  };
  struct Object {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0, period = 1;
    bool loop = false;  // one way round, then again from the start
  };
  struct Stop {
    QString name;
    float x = 0, y = 0, dwell = 0;
  };

  void viewOrigin(double t, float* vx, float* vy) const;
  void paint(const Shape& s, float ox, float oy, int viewX, int viewY, double t, int scale,
             float* out) const;
  float textureAt(float wx, float wy) const;

  QString name_;
  int worldW_ = kWidth, worldH_ = kHeight;
  std::vector<Shape> shapes_;
  std::vector<Object> objects_;
  std::vector<Stop> stops_;
  float panSeconds_ = 2.0f;
  int held_ = -1;
  std::vector<std::string> paramNames_;
  std::vector<double> paramValues_;
  std::vector<float> texture_;  // static structure, world-sized
};

}  // namespace sim
