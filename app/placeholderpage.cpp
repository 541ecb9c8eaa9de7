#include "app/placeholderpage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/uistyle.h"

PlaceholderPage::PlaceholderPage(const QString& name, double uiScale, QWidget* parent)
    : QWidget(parent), name_(name), label_(new QLabel(name, this)) {
  setObjectName(name);
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  label_->setAlignment(Qt::AlignCenter);
  label_->setStyleSheet(styleWithFont(15,
                                      QStringLiteral("color:#ffffff; font-weight:600;"
                                                     "background-color:rgba(0,0,0,140);"),
                                      uiScale));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_);
}
