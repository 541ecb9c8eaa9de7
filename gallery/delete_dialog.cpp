#include "gallery/delete_dialog.h"

#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/textfit.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace gallery {

namespace {

constexpr int kMargin = 18;
constexpr int kMinPx = 10;  // the smallest size the scaled styles use

// The font size goes inside each rule: a bare declaration before the
// selectors would make the whole sheet invalid.
QString buttonCss(double uiScale) {
  return QStringLiteral(
             "QPushButton{font-size:%1px;border:none;background:#ebebf2;color:#007aff;"
             "font-weight:600;padding:10px 6px;min-height:44px;}QPushButton:pressed{font-size:%1px;"
             "color:#004999;background:#e5e5ea;}")
      .arg(scaledPx(11, uiScale));
}

QFrame* line(QWidget* parent, bool vertical) {
  auto* f = new QFrame(parent);
  f->setStyleSheet(QStringLiteral("background-color:#c7c7cc;"));
  if (vertical)
    f->setFixedWidth(1);
  else
    f->setFixedHeight(1);
  return f;
}

}  // namespace

DeleteConfirmDialog::DeleteConfirmDialog(MediaKind kind, int lang, double uiScale,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setModal(true);
  // Style sheets give a dialog no rounded border: the card is painted here,
  // and outside its corners the window stays see-through.
  setAttribute(Qt::WA_TranslucentBackground);

  const bool photo = kind == MediaKind::Photo;
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* content = new QVBoxLayout;
  content->setContentsMargins(kMargin, kMargin, kMargin, 14);
  content->setSpacing(8);
  auto* title =
      new QLabel(pickText(lang, photo ? texts::kDeletePhotoTitle : texts::kDeleteVideoTitle), this);
  auto* question = new QLabel(
      pickText(lang, photo ? texts::kDeletePhotoQuestion : texts::kDeleteVideoQuestion), this);
  question->setWordWrap(true);
  auto* note = new QLabel(pickText(lang, texts::kDeleteWarning), this);
  note->setWordWrap(true);
  // Each text on one line where a smaller size allows it; the longer
  // (Russian) ones would otherwise wrap and push the card past its size.
  struct Line {
    QLabel* label;
    int px;
    QString css;
  } lines[] = {{title, 12, QStringLiteral("color:#000000;font-weight:700;")},
               {question, 10, QStringLiteral("color:#3c3c43;")},
               {note, 9, QStringLiteral("color:#636366;")}};
  for (Line& l : lines) {
    l.px = fittedPx(l.label, l.label->text(), l.px, l.css, uiScale,
                    QSize(kWidth - 2 * kMargin, kHeight), false);
    l.label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    content->addWidget(l.label);
  }
  auto applyFonts = [&lines] {
    for (Line& l : lines) {
      l.label->setStyleSheet(QStringLiteral("font-size:%1px; %2").arg(l.px).arg(l.css));
      l.label->ensurePolished();
    }
  };
  applyFonts();
  outer->addLayout(content, 1);
  outer->addWidget(line(this, false));

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  cancel_ = new QPushButton(pickText(lang, texts::kCancel), this);
  confirm_ = new QPushButton(pickText(lang, texts::kConfirm), this);
  for (QPushButton* b : {cancel_, confirm_}) {
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumHeight(44);
    b->setStyleSheet(buttonCss(uiScale));
  }
  // The buttons are square-cornered; keep them inside the rounded border.
  row->addWidget(cancel_, 1);
  row->addWidget(line(this, true));
  row->addWidget(confirm_, 1);
  auto* rowBox = new QVBoxLayout;
  rowBox->setContentsMargins(6, 0, 6, 6);
  rowBox->addLayout(row);
  outer->addLayout(rowBox);

  // 272 x 178 whatever the language: a taller card would cover the Delete
  // button beneath it. Where the three lines still do not fit, they shrink
  // together, never below the smallest size.
  auto tooTall = [outer, content] {
    content->invalidate();
    outer->invalidate();
    return outer->totalHeightForWidth(kWidth) > kHeight;
  };
  const int fitted[3] = {lines[0].px, lines[1].px, lines[2].px};
  for (int percent = 95; tooTall() && percent >= 50; percent -= 5) {
    for (int i = 0; i < 3; ++i) lines[i].px = std::max(kMinPx, fitted[i] * percent / 100);
    applyFonts();
  }
  setFixedSize(kWidth, kHeight);

  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
}

void DeleteConfirmDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0xc7, 0xc7, 0xcc), 1));
  p.setBrush(QColor(0xeb, 0xeb, 0xf2));
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
}

void DeleteConfirmDialog::centreOn(const QWidget* anchor) {
  if (!anchor) return;
  const QPoint centre = anchor->mapToGlobal(anchor->rect().center());
  move(centre - QPoint(width() / 2, height() / 2));
}

bool confirmDelete(QWidget* anchor, MediaKind kind, int lang, double uiScale) {
  QWidget* window = anchor ? anchor->window() : nullptr;
  DeleteConfirmDialog dialog(kind, lang, uiScale, window);
  dialog.centreOn(window);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace gallery
