#pragma once
// Scaled metrics and styles shared by every page and by the main window's
// own labels: all font sizes in the interface are given before scaling.
#include <QString>

// round(px x scale), halves away from zero, and at least 10.
int scaledPx(int px, double scale);
// "font-size:%1px; %2" with the scaled size.
QString styleWithFont(int px, const QString& css, double scale);
