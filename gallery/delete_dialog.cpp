#include "gallery/delete_dialog.h"

#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/texts.h"
#include "ui/uistyle.h"

namespace gallery {

namespace {

constexpr char kButtonCss[] =
    "QPushButton{border:none;background:#ebebf2;color:#007aff;font-weight:600;"
    "padding:10px 6px;min-height:44px;}QPushButton:pressed{color:#004999;background:#e5e5ea;}";

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
  setFixedSize(272, 178);
  // A frameless dialog paints its rounded corners over whatever lies beneath.
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(QStringLiteral(
      "QDialog{background-color:#ebebf2;border:1px solid #c7c7cc;border-radius:14px;}"));

  const bool photo = kind == MediaKind::Photo;
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* content = new QVBoxLayout;
  content->setContentsMargins(18, 18, 18, 14);
  content->setSpacing(8);
  auto* title = new QLabel(
      pickText(lang, photo ? texts::kDeletePhotoTitle : texts::kDeleteVideoTitle), this);
  title->setStyleSheet(
      styleWithFont(12, QStringLiteral("color:#000000;font-weight:700;"), uiScale));
  auto* question = new QLabel(
      pickText(lang, photo ? texts::kDeletePhotoQuestion : texts::kDeleteVideoQuestion), this);
  question->setStyleSheet(styleWithFont(10, QStringLiteral("color:#3c3c43;"), uiScale));
  question->setWordWrap(true);
  auto* note = new QLabel(pickText(lang, texts::kDeleteWarning), this);
  note->setStyleSheet(styleWithFont(9, QStringLiteral("color:#636366;"), uiScale));
  for (QLabel* l : {title, question, note}) {
    l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    content->addWidget(l);
  }
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
    b->setStyleSheet(styleWithFont(11, QLatin1String(kButtonCss), uiScale));
  }
  // The buttons are square-cornered; keep them inside the rounded border.
  row->addWidget(cancel_, 1);
  row->addWidget(line(this, true));
  row->addWidget(confirm_, 1);
  auto* rowBox = new QVBoxLayout;
  rowBox->setContentsMargins(1, 0, 1, 6);
  rowBox->addLayout(row);
  outer->addLayout(rowBox);

  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
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
