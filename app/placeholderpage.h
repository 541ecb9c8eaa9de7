#pragma once
// A page of the stack whose real content has not been built yet: a dark,
// translucent panel with the page's name, so the stack indices stay right.
#include <QWidget>

class QLabel;

class PlaceholderPage : public QWidget {
  Q_OBJECT
 public:
  PlaceholderPage(const QString& name, double uiScale, QWidget* parent);
  QString name() const { return name_; }

 private:
  QString name_;
  QLabel* label_;
};
