#pragma once
// Process entry pieces shared by the board's program and the simulator.
#include <QFont>

class QApplication;
class QScreen;

namespace startup {

// 96 / logical dpi clamped to [0.45, 1.0]; 1.0 without a screen.
double fontScaleForDpi(double logicalDpi);
double fontScale(const QScreen* primary);

// The application font every widget inherits: "Sans Serif" at scale x 8 pt.
QFont applicationFont(double scale);

// Application point size x 0.25 clamped to [1.6, 2.2].
double uiScaleForPointSize(double pointSize);

// Everything before the window exists: must run before the QApplication is
// created (high-DPI scaling off).
void beforeApplication();
// Font, names: right after the QApplication exists.
void configureApplication(QApplication& app);

}  // namespace startup
