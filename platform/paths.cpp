#include "platform/paths.h"

#include <mutex>

namespace platform {
namespace {
std::mutex g_mutex;
std::string g_root;  // empty: the real root
}  // namespace

void setRoot(const std::string& root) {
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (r == "/") r.clear();
  std::lock_guard<std::mutex> lock(g_mutex);
  g_root = r;
}

std::string root() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_root.empty() ? std::string("/") : g_root;
}

std::string path(const std::string& systemPath) {
  if (systemPath.empty() || systemPath[0] != '/') return systemPath;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_root.empty()) return systemPath;
  return g_root + systemPath;
}

QString qpath(const QString& systemPath) {
  return QString::fromStdString(path(systemPath.toStdString()));
}

QString settingsFile() { return qpath(QStringLiteral("/etc/settings.ini")); }

}  // namespace platform
