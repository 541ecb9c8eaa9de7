#include "record/thumbnail_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "platform/card_write.h"
#include "platform/unique_fd.h"

namespace record {

bool appendThumbnailBox(int fd, const QByteArray& jpeg) {
  if (fd < 0 || jpeg.isEmpty()) return false;
  // The 32-bit size form is all a box of ours ever needs.
  if (static_cast<quint64>(jpeg.size()) + 8 > 0xFFFFFFFFull) return false;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0) return false;
  uchar header[8];
  qToBigEndian<quint32>(static_cast<quint32>(8 + jpeg.size()), header);
  header[4] = 't';
  header[5] = 'h';
  header[6] = 'm';
  header[7] = ' ';
  if (platform::cardWrite(fd, header, 8) < 0 ||
      platform::cardWrite(fd, jpeg.constData(), static_cast<size_t>(jpeg.size())) < 0) {
    // Cut off again: the file stays exactly the MP4 it was. (Should even
    // that fail, players skip what lies behind the MP4's own boxes.)
    const int cut = ::ftruncate(fd, end);
    static_cast<void>(cut);
    return false;
  }
  return true;
}

bool appendThumbnailBox(const QString& path, const QByteArray& jpeg) {
  if (path.isEmpty() || jpeg.isEmpty()) return false;
  platform::UniqueFd fd(
      ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return false;
  const bool ok = appendThumbnailBox(fd.get(), jpeg);
  return fd.reset() == 0 && ok;
}

QByteArray readThumbnailBox(const QString& path, qint64 maxBytes) {
  if (path.isEmpty()) return {};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const qint64 fileSize = f.size();
  if (fileSize < 8) return {};
  qint64 offset = 0;
  while (offset + 8 <= fileSize) {
    uchar head[16];
    if (!f.seek(offset) || f.read(reinterpret_cast<char*>(head), 8) != 8) return {};
    quint64 size = qFromBigEndian<quint32>(head);
    qint64 headerLen = 8;
    if (size == 1) {
      if (f.read(reinterpret_cast<char*>(head + 8), 8) != 8) return {};
      size = qFromBigEndian<quint64>(head + 8);
      headerLen = 16;
    } else if (size == 0) {
      size = static_cast<quint64>(fileSize - offset);
    }
    // Compared without adding to the offset first: a 64-bit size near the top
    // of its range must not wrap around into something that looks valid.
    if (size < static_cast<quint64>(headerLen) ||
        size > static_cast<quint64>(fileSize - offset))
      return {};
    const bool thumb = std::memcmp(head + 4, "thm ", 4) == 0 || std::memcmp(head + 4, "thmb", 4) == 0;
    if (thumb) {
      const qint64 payload = static_cast<qint64>(size) - headerLen;
      if (payload < 1 || payload > maxBytes) return {};
      if (!f.seek(offset + headerLen)) return {};
      QByteArray jpeg = f.read(payload);
      if (jpeg.size() != payload) return {};
      return jpeg;
    }
    offset += static_cast<qint64>(size);
  }
  return {};
}

}  // namespace record
