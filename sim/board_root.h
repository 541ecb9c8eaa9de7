#pragma once
// The simulated board's file tree: what the board has under "/" that the
// program reads or writes, laid out under a folder of the PC.
#include <QString>

namespace sim {

struct BoardRootOptions {
  bool sdCardInserted = true;
  int batteryPercent = 80;
  bool charging = false;
  bool chargerOnline = false;
  int backlight = 128;
};

// Creates what is missing under `dir` (existing files, such as the settings
// and the media on the card, are kept). Returns false with one line on stderr
// if the folder cannot be made.
bool ensureBoardRoot(const QString& dir, const BoardRootOptions& options = {});

// Inserts or removes the SD card: its block device node, and its folder.
// Taken out, the card's folder "mnt/sdcard" moves aside (to
// kRemovedCardFolder beside it, files and all) and its name becomes a link to
// nowhere, so nothing of the program reaches the card's files, nor creates
// new ones in their place, until the card is back in with the same files.
bool setSdCardInserted(const QString& dir, bool inserted);
inline constexpr const char* kRemovedCardFolder = "mnt/.sdcard-removed";

// The default root: a folder under the user's data directory, so settings and
// media persist between runs.
QString defaultBoardRoot();

}  // namespace sim
