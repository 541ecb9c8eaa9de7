#include "platform/settings_file.h"

#include <QFile>
#include <QSaveFile>
#include <QtGlobal>
#include <algorithm>
#include <mutex>

#include "platform/diag.h"
#include "platform/paths.h"

namespace settings {

namespace {

// Far more than the program ever writes (about 400 bytes).
constexpr qint64 kMaxFileBytes = 64 * 1024;

bool isWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}
bool isKeyChar(char c) { return isWordChar(c) || c == '/' || c == '%'; }
bool isValueChar(char c) { return isWordChar(c) || c == ' ' || c == '\t' || c == '+'; }

bool allOf(const QByteArray& text, bool (*pred)(char)) {
  return std::all_of(text.begin(), text.end(), pred);
}

bool plainLine(const QByteArray& line) {
  if (line.isEmpty()) return true;
  if (line.startsWith('['))
    return line.size() > 2 && line.endsWith(']') && allOf(line.mid(1, line.size() - 2), isKeyChar);
  const int eq = line.indexOf('=');
  const QByteArray key = line.left(eq).trimmed();
  return eq > 0 && allOf(key, isKeyChar) && allOf(line.mid(eq + 1), isValueChar);
}

}  // namespace

int scrubFile(const QString& path) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) return 0;  // absent, or QSettings cannot read it either
  QByteArray data = in.read(kMaxFileBytes + 1);
  in.close();

  const bool oversized = data.size() > kMaxFileBytes;
  int dropped = 0;
  QByteArray kept;
  if (!oversized) {
    // Either line end ends a line for QSettings too; with no quote or
    // backslash left, no line can continue onto the next.
    data.replace('\r', '\n');
    for (const QByteArray& raw : data.split('\n')) {
      const QByteArray line = raw.trimmed();
      if (plainLine(line))
        kept += line + '\n';
      else
        ++dropped;
    }
    if (dropped == 0) return 0;
  }

  const QByteArray name = QFile::encodeName(path);
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit()) {
    diag::warning(diag::kSettings, "cannot rewrite %s: %s", name.constData(),
                  out.errorString().toLocal8Bit().constData());
    return -1;
  }
  if (oversized) {
    diag::warning(diag::kSettings, "%s is over %lld bytes: started afresh", name.constData(),
                  static_cast<long long>(kMaxFileBytes));
    return 1;
  }
  diag::warning(diag::kSettings, "%s: dropped %d unreadable line(s)", name.constData(), dropped);
  return dropped;
}

std::unique_ptr<QSettings> open() {
  // Threads open the file on their own; one scrub at a time.
  static std::mutex scrubbing;
  const QString path = platform::settingsFile();
  {
    std::lock_guard<std::mutex> lock(scrubbing);
    scrubFile(path);
  }
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
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
