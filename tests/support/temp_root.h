#pragma once
// A throw-away board root for one test: every system path of the program
// resolves under it while the object lives.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  QString dir() const { return dir_.path(); }
  // A system path ("/etc/settings.ini") under this root.
  QString file(const QString& systemPath) const;
  bool write(const QString& systemPath, const QByteArray& content) const;
  QByteArray read(const QString& systemPath) const;
  bool exists(const QString& systemPath) const;

 private:
  QTemporaryDir dir_;
};
