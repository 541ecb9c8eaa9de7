// Arbitrary names as they may stand on a card from another device: the
// number rule gives one name one number, and the gallery's
// order is a strict order whatever the names are.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gallery/media_library.h"

namespace {
void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "media_number: %s\n", what);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
  const QStringList names = text.split(QLatin1Char('\n'));
  for (gallery::MediaKind kind : {gallery::MediaKind::Photo, gallery::MediaKind::Video}) {
    const char* ext = kind == gallery::MediaKind::Photo ? ".jpg" : ".mp4";
    QStringList paths;
    for (const QString& n : names) {
      const QString name = n + QLatin1String(ext);
      const qint64 a = gallery::mediaNumber(name, kind);
      check(a == gallery::mediaNumber(name, kind), "one name, two numbers");
      paths << QStringLiteral("/mnt/sdcard/x/") + name;
    }
    QStringList once = paths;
    gallery::sortMedia(&once, kind);
    QStringList twice = once;
    gallery::sortMedia(&twice, kind);
    check(once == twice, "the order is not stable under sorting again");
    check(once.size() == paths.size(), "sorting lost or made names");
  }
  return 0;
}
