#include "ui/uistyle.h"

#include <algorithm>
#include <cmath>

int scaledPx(int px, double scale) {
  return std::max(10, static_cast<int>(std::lround(px * scale)));
}

QString styleWithFont(int px, const QString& css, double scale) {
  return QStringLiteral("font-size:%1px; %2").arg(scaledPx(px, scale)).arg(css);
}
