#pragma once
// The settings file and the keys that components other than the main window
// keep for themselves. Every operation opens its own short-lived QSettings on
// the file (no object lives for the run), and a key missing on read is
// written with its default at once.
#include <QSettings>
#include <QString>
#include <memory>

namespace settings {

// Key names, exactly as they stand in the file.
namespace key {
inline constexpr const char* kScale = "scale";
inline constexpr const char* kBrightness = "brightness";
inline constexpr const char* kReticleType = "reticle/type";
inline constexpr const char* kReticleColor = "reticle/color";
inline constexpr const char* kReticleDotColor = "reticle/dotColor";
inline constexpr const char* kLanguage = "language";
inline constexpr const char* kImageMode = "ImageMode";
inline constexpr const char* kSrEnabled = "SrEnabled";
inline constexpr const char* kTempMeasureEnabled = "TempMeasureEnabled";
inline constexpr const char* kTempMeasureOffsetC = "TempMeasureOffsetC";
inline constexpr const char* kEnergySavingEnabled = "EnergySavingEnabled";
inline constexpr const char* kIdleSleepMinutes = "IdleSleepMinutes";
inline constexpr const char* kAutoPowerOffMinutes = "AutoPowerOffMinutes";
inline constexpr const char* kAimCenterX = "aim/center_x";
inline constexpr const char* kAimCenterY = "aim/center_y";
inline constexpr const char* kPictureFileNum = "PictureFileNum";
inline constexpr const char* kVideoFileNum = "VideoFileNum";
inline constexpr const char* kVideoEncMBCnt = "VideoEncMBCnt";
}  // namespace key

// A fresh QSettings on "/etc/settings.ini" (resolved through the path mapping),
// scrubbed first. Every reader of the file opens it here.
std::unique_ptr<QSettings> open();

// The program writes only numbers and words into the file, but QSettings
// reads a value "@Variant(...)" (quoted or escaped too) as a serialised Qt
// object of any type and size: a hand-edited or damaged file could make it
// allocate without bound or build pixmaps on a worker thread. So before
// QSettings sees the file, every line that is not a plain section, or a plain
// key with a value of letters, digits, spaces and ". + - _", is dropped (its
// key then reads as missing), and a file over 64 KiB starts afresh. The file
// is replaced atomically and only when something was dropped. Returns the
// lines dropped (1 for an oversized file), 0 when the file was clean or
// absent, -1 when it could not be rewritten.
int scrubFile(const QString& path);

// Reads an int; when the key is missing writes `def` and returns it.
int readIntOrInit(const char* key, int def);
// Same for bool.
bool readBoolOrInit(const char* key, bool def);
void writeValue(const char* key, const QVariant& value);

// Photo and video counters: the number of the last file written.
int readPictureFileNum();  // writes 0 when missing
void writePictureFileNum(int n);
int readVideoFileNum();  // writes 0 when missing
void writeVideoFileNum(int n);

// The zeroed reticle centre, both coordinates in one write.
void writeAimCenter(double x, double y);

// Encoder buffer count, clamped to [2, 8]; the clamped value is always written back.
int loadVideoEncMBCnt();

}  // namespace settings
