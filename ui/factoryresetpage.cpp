#include "ui/factoryresetpage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "ui/textfit.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
const char kButtonCss[] =
    "QPushButton{font-size:18px; font-weight:600;background:#4ec6af; border:none; "
    "border-radius:8px; color:#ffffff;}"
    "QPushButton:pressed{font-size:18px; font-weight:600;background:#3aac94;}";
const char kCheckBoxCss[] =
    "QCheckBox{font-size:%1px; font-weight:600; color:#ffffff; spacing:12px;}"
    "QCheckBox::indicator{width:%2px; height:%2px;}"
    "QCheckBox::indicator:unchecked{border:2px solid #9aa0a6; border-radius:4px; "
    "background:transparent;}"
    "QCheckBox::indicator:checked{border:2px solid #4ec6af; border-radius:4px; "
    "background:#4ec6af;}";
constexpr int kButtonW = 100;
constexpr int kButtonH = 50;

int scaled(double px, double s) { return static_cast<int>(std::lround(px * s)); }
}  // namespace

FactoryResetPage::FactoryResetPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  question_ = new QLabel(this);
  question_->setWordWrap(true);
  question_->setAlignment(Qt::AlignCenter);
  for (QLabel* l : {title_, question_}) l->setAttribute(Qt::WA_TransparentForMouseEvents);

  deleteMedia_ = new QCheckBox(this);
  deleteMedia_->setChecked(false);

  confirm_ = new QPushButton(this);
  cancel_ = new QPushButton(this);
  for (QPushButton* b : {confirm_, cancel_}) {
    b->setStyleSheet(QString::fromLatin1(kButtonCss));
    b->setFocusPolicy(Qt::NoFocus);
  }
  deleteMedia_->setFocusPolicy(Qt::NoFocus);
  connect(confirm_, &QPushButton::clicked, this,
          [this] { emit factoryResetConfirmed(deleteMedia_->isChecked()); });
  connect(cancel_, &QPushButton::clicked, this, [this] {
    deleteMedia_->setChecked(false);
    emit cancelRequested();
  });
  applyLanguage(1);
}

void FactoryResetPage::applyLanguage(int lang) {
  title_->setText(pickText(lang, texts::kFactoryResetTitle));
  question_->setText(pickText(lang, texts::kFactoryResetQuestion));
  deleteMedia_->setText(pickText(lang, texts::kDeleteMedia));
  confirm_->setText(pickText(lang, texts::kConfirm));
  cancel_->setText(pickText(lang, texts::kCancel));
  relayout();
}

bool FactoryResetPage::isDeleteMediaChecked() const { return deleteMedia_->isChecked(); }

void FactoryResetPage::setDeleteMediaChecked(bool on) { deleteMedia_->setChecked(on); }

void FactoryResetPage::relayout() {
  const double s = uiScale();
  const int W = width();
  const int H = height();
  const int m = std::max(8, scaled(12, s));
  const int t = std::max(26, scaled(22, s));
  title_->setGeometry(m, m, W - 2 * m, t);
  setFittedStyle(title_, title_->text(), look::kTitlePx, QString::fromLatin1(look::kTitleCss), s,
                 title_->size());

  // The sizes below are upper bounds: at the larger interface scales the
  // question, the box and the buttons would overlap, so each takes no more
  // than its content needs and the buttons move down when they must.
  const int questionTop = m + t + scaled(12, s);
  const int questionMax = std::max(48, scaled(44, s));
  setFittedStyle(question_, question_->text(), 16, QString::fromLatin1(look::kWarningCss), s,
                 QSize(W - 2 * m, questionMax), true);
  const int questionNeeds = question_->heightForWidth(W - 2 * m);
  const int questionH = questionNeeds > 0 ? std::min(questionMax, questionNeeds) : questionMax;
  question_->setGeometry(m, questionTop, W - 2 * m, questionH);
  const int questionBottom = questionTop + questionH;

  int buttonTop = H - m - 78;
  // The box's text shrinks to fit beside its indicator.
  const int indicator = std::max(24, scaledPx(24, s));
  const int textRoom = W - 2 * m - indicator - 12 - 8;
  const int boxMax = std::max(40, scaled(36, s));
  const int textPx =
      fittedPx(deleteMedia_, deleteMedia_->text(), 13, QStringLiteral("font-weight:600;"), s,
               QSize(textRoom, boxMax), false);
  deleteMedia_->setStyleSheet(QString::fromLatin1(kCheckBoxCss).arg(textPx).arg(indicator));
  deleteMedia_->ensurePolished();
  const int boxH = std::min(boxMax, deleteMedia_->sizeHint().height());
  const int boxTop = std::max(buttonTop - scaled(20, s) - boxH, questionBottom + 5);
  const int boxW = std::min(W - 2 * m, deleteMedia_->sizeHint().width());
  deleteMedia_->setGeometry((W - boxW) / 2, boxTop, boxW, boxH);
  buttonTop = std::min(std::max(buttonTop, boxTop + boxH + 8), H - kButtonH - 4);

  confirm_->setGeometry(72, buttonTop, kButtonW, kButtonH);
  cancel_->setGeometry(188, buttonTop, kButtonW, kButtonH);
}
