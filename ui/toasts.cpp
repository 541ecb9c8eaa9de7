#include "ui/toasts.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "ui/uistyle.h"

// Sizes come from the window: the host may not have been laid out yet.
Toasts::Toasts(QWidget* host, double uiScale) : QObject(host), host_(host) {
  const int W = host->window()->width();
  const int H = host->window()->height();
  flash_ = new QWidget(host);
  flash_->setGeometry(0, 0, W, H);
  flash_->setStyleSheet(QStringLiteral("background-color: rgba(80,0,0,70);"));
  flash_->setAttribute(Qt::WA_TransparentForMouseEvents);
  flash_->setAttribute(Qt::WA_StyledBackground);
  flash_->hide();

  label_ = new QLabel(host);
  label_->setAlignment(Qt::AlignCenter);
  label_->setGeometry((W - 140) / 2, H - 68, 140, 36);
  label_->setStyleSheet(styleWithFont(
      8,
      QStringLiteral("color:#ffffff; background-color:rgba(0,0,0,150); border-radius:8px; "
                     "font-weight:600;"),
      uiScale));
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->hide();

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, label_, &QWidget::hide);
}

void Toasts::show(Message message) {
  switch (message) {
    case Message::PowerOffBelowIdle:
      return show(texts::kToastPowerOffBelowIdle, Shape::Notice);
    case Message::NoGsensor:
      return show(texts::kToastNoGsensor, Shape::Notice);
    case Message::InsertSd:
      return show(texts::kToastInsertSd, Shape::Card);
    case Message::SaveFailed:
      return show(texts::kToastSaveFailed, Shape::Card);
    case Message::RecordingStopped:
      return show(texts::kToastRecordingStopped, Shape::Card);
    case Message::Saved:
      return show(texts::kToastSaved, Shape::Pill);
  }
}

void Toasts::show(const UiText& text, Shape shape) {
  const int W = host_->window()->width();
  const int H = host_->window()->height();
  int ms = 800;
  label_->setText(pickText(language_, text));
  switch (shape) {
    case Shape::Notice: {
      const int w = std::min(W - 16, 320);
      label_->setWordWrap(true);
      label_->setGeometry((W - w) / 2, H - 80, w, 48);
      ms = 2000;
      break;
    }
    case Shape::Card: {
      const int w = std::min(W - 16, 280);
      label_->setWordWrap(true);
      label_->setGeometry((W - w) / 2, H - 72, w, 40);
      ms = 1500;
      break;
    }
    case Shape::Pill:
      label_->setWordWrap(false);
      label_->setGeometry((W - 140) / 2, H - 68, 140, 36);
      break;
  }
  label_->raise();
  label_->show();
  timer_->start(ms);
}

void Toasts::flash() {
  flash_->raise();
  flash_->show();
  QTimer::singleShot(70, flash_, &QWidget::hide);
}

void Toasts::hideAll() {
  timer_->stop();
  label_->hide();
  flash_->hide();
}
