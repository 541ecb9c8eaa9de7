#pragma once
// Factory reset: a question, the choice to delete the photos and videos too,
// and confirm / cancel. The page only asks; the owner resets and unticks the
// box afterwards.
#include "ui/uipage.h"

class QCheckBox;
class QLabel;
class QPushButton;

class FactoryResetPage : public UiPage {
  Q_OBJECT

 public:
  FactoryResetPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;

  bool isDeleteMediaChecked() const;
  void setDeleteMediaChecked(bool on);

  QLabel* titleLabel() const { return title_; }
  QLabel* questionLabel() const { return question_; }
  QCheckBox* deleteMediaBox() const { return deleteMedia_; }
  QPushButton* confirmButton() const { return confirm_; }
  QPushButton* cancelButton() const { return cancel_; }

 signals:
  // Carries the box's state at the moment of confirming.
  void factoryResetConfirmed(bool deleteMedia);
  // The box is unticked first.
  void cancelRequested();

 private:
  QLabel* title_ = nullptr;
  QLabel* question_ = nullptr;
  QCheckBox* deleteMedia_ = nullptr;
  QPushButton* confirm_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
