#pragma once
// The private "thm " box at the very end of every finished video: the JPEG
// of the recording's first frame, which the gallery shows as its thumbnail.
// Layout: 32-bit big-endian size (8 + JPEG length), the four bytes "thm ",
// then the JPEG. A reader also takes the type "thmb", the 64-bit size form
// (size 1, then 8 bytes of size) and size 0 (the box runs to the end).
#include <QByteArray>
#include <QString>

namespace record {

// A thumbnail is a 360 x 320 JPEG of some tens of kilobytes; a box on the card
// that claims more than this is not one of ours and reads as no thumbnail.
inline constexpr qint64 kMaxThumbnailBytes = 4 * 1024 * 1024;

// Appends the box to the file at `path` (a path on the PC or the board as
// given; no mapping). False when the path or the JPEG is empty, the path is a
// link (never written through), or on any failed open or write.
bool appendThumbnailBox(const QString& path, const QByteArray& jpeg);
// The same at the end of the file open for writing as `fd`. A box that could
// not be written whole is cut off again, so the file stays as it was.
bool appendThumbnailBox(int fd, const QByteArray& jpeg);

// The JPEG of the file's first thumbnail box among its top-level boxes, or
// empty: no such box, a box that runs past the end of the file, a malformed
// size, or a payload larger than `maxBytes`.
QByteArray readThumbnailBox(const QString& path, qint64 maxBytes = kMaxThumbnailBytes);

}  // namespace record
