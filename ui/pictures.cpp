#include "ui/pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QPixmap loadPicture(const QString& name) {
  QPixmap pm(QStringLiteral(":/pictures/") + name);
  if (!pm.isNull()) return pm;
  const QString rel = QStringLiteral("pictures/") + name;
  const QString candidates[] = {
      QDir(QCoreApplication::applicationDirPath()).filePath(rel),
      QDir::current().filePath(rel),
      rel,
  };
  for (const QString& file : candidates) {
    if (!QFileInfo::exists(file)) continue;
    if (pm.load(file)) {
      pm.setDevicePixelRatio(1.0);
      return pm;
    }
  }
  return QPixmap();
}

QString languagePictureDir(int lang) {
  if (lang == 0) return QStringLiteral("zh");
  if (lang == 2) return QStringLiteral("ru");
  return QStringLiteral("en");
}

QPixmap loadLanguagePicture(int lang, const QString& name) {
  return loadPicture(languagePictureDir(lang) + QLatin1Char('/') + name);
}

QString menuItemKey(int item) {
  static const char* const kKeys[kMenuItemCount] = {
      "color", "brightness", "temp",          "calibration", "info",
      "reset", "language",   "energy-saving", "picture",     "video"};
  if (item < 0 || item >= kMenuItemCount) return QString();
  return QString::fromLatin1(kKeys[item]);
}

QIcon loadMenuIcon(int item, int size, bool selected) {
  const QString key = menuItemKey(item);
  if (key.isEmpty() || size <= 0) return QIcon();
  QPixmap pm = loadPicture(
      key + (selected ? QStringLiteral("_selected.png") : QStringLiteral("_normal.png")));
  if (pm.isNull()) return QIcon();
  pm.setDevicePixelRatio(1.0);
  if (pm.size() != QSize(size, size))
    pm = pm.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return QIcon(pm);
}

QPixmap loadToggleIcon(bool on) {
  return loadPicture(on ? QStringLiteral("temp_on.png") : QStringLiteral("temp_off.png"));
}
