#include "tests/support/temp_root.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/paths.h"

TempRoot::TempRoot() {
  QDir(dir_.path()).mkpath(QStringLiteral("etc"));
  platform::setRoot(dir_.path().toStdString());
}

TempRoot::~TempRoot() { platform::setRoot(std::string()); }

QString TempRoot::file(const QString& systemPath) const { return dir_.path() + systemPath; }

bool TempRoot::write(const QString& systemPath, const QByteArray& content) const {
  const QString f = file(systemPath);
  QDir().mkpath(QFileInfo(f).absolutePath());
  QFile out(f);
  return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
}

QByteArray TempRoot::read(const QString& systemPath) const {
  QFile in(file(systemPath));
  return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

bool TempRoot::exists(const QString& systemPath) const {
  return QFileInfo::exists(file(systemPath));
}
