#pragma once
// Every absolute path of the system ("/etc/settings.ini", "/dev/video0",
// sysfs attributes, the SD card) is written in the program as the board sees
// it and resolved here. On the board the root is "/"; the simulator and the
// tests put the whole tree under a folder of their own, so nothing on a PC
// ever reaches the real /etc, /dev, /proc or /sys.
#include <QString>
#include <string>

namespace platform {

// Set once before the application starts its threads (and by tests between
// cases). An empty string or "/" is the real root.
void setRoot(const std::string& root);
std::string root();

// Maps a system path (absolute, as on the board) onto the current root.
// Relative paths are returned unchanged.
std::string path(const std::string& systemPath);
QString qpath(const QString& systemPath);

// The settings file, resolved.
QString settingsFile();

}  // namespace platform
