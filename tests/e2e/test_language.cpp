// The language chosen by flag reaches every page at once.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "tests/e2e/e2e_device.h"
#include "ui/languagepage.h"

namespace {

// Every text a page shows, labels and buttons alike.
QStringList textsOf(QWidget* page) {
  QStringList out;
  for (QLabel* l : page->findChildren<QLabel*>()) out << l->text();
  for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) out << b->text();
  out.removeAll(QString());
  return out;
}

}  // namespace

TEST(Language, AFlagTranslatesEveryPage) {
  e2e::Device d;
  MainWindow& w = d.window();
  QVector<QStringList> before;
  for (int i = 0; i < MainWindow::kPageCount; ++i) before << textsOf(w.page(i));

  w.stack()->setCurrentIndex(MainWindow::kLanguagePage);
  auto* page = qobject_cast<LanguagePage*>(w.page(MainWindow::kLanguagePage));
  ASSERT_NE(page, nullptr);
  QTest::mouseClick(page->flagButton(2), Qt::LeftButton);
  EXPECT_EQ(w.language(), 2);
  EXPECT_EQ(d.setting("language").toInt(), 2);

  // The home page shows only figures until something happens; every other
  // page has words, and all of them change.
  for (int i = 1; i < MainWindow::kPageCount; ++i) {
    SCOPED_TRACE(i);
    const QStringList after = textsOf(w.page(i));
    EXPECT_NE(after, before[i]);
  }
}
