#pragma once
// The modal question before a photo or video is deleted: title, question and
// a warning line above a Cancel / Confirm row, in the interface language.
#include <QDialog>

#include "gallery/media_library.h"

class QPushButton;

namespace gallery {

class DeleteConfirmDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 272;
  static constexpr int kHeight = 178;
  static constexpr double kRadius = 14.0;

  DeleteConfirmDialog(MediaKind kind, int lang, double uiScale, QWidget* parent = nullptr);

  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* confirmButton() const { return confirm_; }
  // Centres the dialog on `anchor` (the main window), or leaves it where it is.
  void centreOn(const QWidget* anchor);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPushButton* cancel_ = nullptr;
  QPushButton* confirm_ = nullptr;
};

// Builds the dialog, centres it on `anchor`'s window and runs it modally.
// True when the user confirmed.
bool confirmDelete(QWidget* anchor, MediaKind kind, int lang, double uiScale);

}  // namespace gallery
