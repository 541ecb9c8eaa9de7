#include "app/startup.h"

#include <QApplication>
#include <QScreen>
#include <QtGlobal>

#include "platform/constants.h"

namespace startup {

double fontScaleForDpi(double logicalDpi) {
  if (!(logicalDpi > 0.0)) return 1.0;
  return qBound(0.45, 96.0 / logicalDpi, 1.0);
}

double fontScale(const QScreen* primary) {
  return primary ? fontScaleForDpi(primary->logicalDotsPerInch()) : 1.0;
}

QFont applicationFont(double scale) {
  QFont f(QStringLiteral("Sans Serif"));
  f.setPointSizeF(scale * 8.0);
  f.setWeight(QFont::Normal);
  f.setItalic(false);
  return f;
}

double uiScaleForPointSize(double pointSize) { return qBound(1.6, pointSize * 0.25, 2.2); }

void beforeApplication() {
  // Every size in the program is a physical pixel of the 360 x 320 panel.
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
}

void configureApplication(QApplication& app) {
  QApplication::setFont(applicationFont(fontScale(QGuiApplication::primaryScreen())));
  app.setApplicationName(QString::fromLatin1(heatlume::kAppName));
  app.setOrganizationName(QString::fromLatin1(heatlume::kOrgName));
}

}  // namespace startup
