#include "platform/settings_file.h"

#include <QtGlobal>

#include "platform/paths.h"

namespace settings {

std::unique_ptr<QSettings> open() {
  return std::make_unique<QSettings>(platform::settingsFile(), QSettings::IniFormat);
}

int readIntOrInit(const char* key, int def) {
  auto s = open();
  if (!s->contains(key)) {
    s->setValue(key, def);
    return def;
  }
  bool ok = false;
  const int v = s->value(key).toInt(&ok);
  return ok ? v : def;
}

bool readBoolOrInit(const char* key, bool def) {
  auto s = open();
  if (!s->contains(key)) {
    s->setValue(key, def);
    return def;
  }
  return s->value(key).toBool();
}

void writeValue(const char* key, const QVariant& value) {
  auto s = open();
  s->setValue(key, value);
  s->sync();
}

int readPictureFileNum() { return readIntOrInit(key::kPictureFileNum, 0); }
void writePictureFileNum(int n) { writeValue(key::kPictureFileNum, n); }
int readVideoFileNum() { return readIntOrInit(key::kVideoFileNum, 0); }
void writeVideoFileNum(int n) { writeValue(key::kVideoFileNum, n); }

void writeAimCenter(double x, double y) {
  auto s = open();
  s->setValue(QLatin1String(key::kAimCenterX), x);
  s->setValue(QLatin1String(key::kAimCenterY), y);
  s->sync();
}

int loadVideoEncMBCnt() {
  auto s = open();
  bool ok = false;
  int v = s->value(key::kVideoEncMBCnt, 4).toInt(&ok);
  if (!ok) v = 4;
  v = qBound(2, v, 8);
  s->setValue(key::kVideoEncMBCnt, v);
  s->sync();
  return v;
}


}  // namespace settings
