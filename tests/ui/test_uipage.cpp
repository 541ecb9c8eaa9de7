#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include "tests/ui/ui_test_util.h"
#include "ui/pictures.h"
#include "ui/texts.h"
#include "ui/uipage.h"
#include "ui/uistyle.h"

namespace {

// A page with the standard gestures and one tap-target button, as the
// settings pages are built.
class StandardPage : public UiPage {
 public:
  explicit StandardPage(QWidget* parent = nullptr) : UiPage(parent, 2.0) {
    resize(360, 320);
    button = new QPushButton(QStringLiteral("row"), this);
    button->setGeometry(16, 120, 328, 48);
    addTapTarget(button);
  }
  void applyLanguage(int) override {}
  void relayout() override { ++relayouts; }
  bool handleSwipe(const QPoint& press, const QPoint& release) override {
    if (isSwipeUp(press, release)) {
      emit backToMenuRequested();
      return true;
    }
    if (isHorizontalSwipe(press, release)) {
      sideSwipes.append(release.x() > press.x() ? +1 : -1);
      return true;
    }
    return false;
  }
  bool filterPageEvent(QObject* watched, QEvent* event) override {
    return filterTapTargets(watched, event);
  }

  QPushButton* button;
  QList<int> sideSwipes;
  int relayouts = 0;
};

}  // namespace

TEST(UiPage, StandardSwipeThresholdsAtTheirEdges) {
  StandardPage page;
  page.show();
  int back = 0;
  QObject::connect(&page, &UiPage::backToMenuRequested, [&] { ++back; });

  // Outcome: 'B' back, +1 / -1 a side swipe, 0 nothing.
  const struct {
    QPoint from, to;
    int outcome;
  } drags[] = {
      {{180, 100}, {180, 71}, 0}, {{180, 100}, {180, 70}, 'B'},  // 29 and 30 up
      {{180, 70}, {180, 100}, 0},                                // 30 down
      {{100, 60}, {139, 70}, 0},  {{100, 60}, {140, 70}, +1},    // 39 and 40 right
      {{200, 60}, {150, 40}, -1},                                // 50 left, 20 up
      {{100, 100}, {150, 50}, 0}, {{100, 100}, {50, 50}, 0},     // diagonals
  };
  for (const auto& d : drags) {
    const int backs = back, sides = page.sideSwipes.size();
    uitest::drag(&page, d.from, d.to);
    EXPECT_EQ(back - backs, d.outcome == 'B' ? 1 : 0) << d.to.x() << "," << d.to.y();
    EXPECT_EQ(page.sideSwipes.size() > sides ? page.sideSwipes.last() : 0,
              d.outcome == 'B' ? 0 : d.outcome)
        << d.to.x() << "," << d.to.y();
  }
  EXPECT_EQ(page.pressPoint(), QPoint(100, 100));

  // The menu's wider thresholds.
  EXPECT_FALSE(UiPage::isSwipeUp({0, 100}, {0, 41}, 59));
  EXPECT_TRUE(UiPage::isSwipeUp({0, 100}, {0, 40}, 59));
  EXPECT_FALSE(UiPage::isHorizontalSwipe({0, 0}, {-49, 0}, 49));
  EXPECT_TRUE(UiPage::isHorizontalSwipe({0, 0}, {-50, 0}, 49));
}

TEST(UiPage, PressOnTapTargetIsNeverAGesture) {
  StandardPage page;
  page.show();
  int back = 0;
  QObject::connect(&page, &UiPage::backToMenuRequested, [&] { ++back; });

  // Pressed on the button (as a touch synthesised to the page would be), let
  // go 60 px higher: no gesture. The mark lasts for one release only.
  uitest::drag(&page, {180, 140}, {180, 80});
  EXPECT_EQ(back, 0);
  uitest::drag(&page, {180, 100}, {180, 40});
  EXPECT_EQ(back, 1);

  // A hidden button does not count.
  page.button->hide();
  uitest::drag(&page, {180, 140}, {180, 80});
  EXPECT_EQ(back, 2);
}

TEST(UiPage, TouchClicksAVisibleEnabledButtonOnLanding) {
  StandardPage page;
  page.show();
  int clicked = 0;
  QObject::connect(page.button, &QPushButton::clicked, [&] { ++clicked; });

  // Landing on the button itself, and landing on the page over the button.
  uitest::touch(page.button, {20, 20});
  EXPECT_TRUE(page.button->isDown());
  ASSERT_TRUE(uitest::waitFor([&] { return clicked == 1; }, 500));
  uitest::touch(&page, {180, 140});
  ASSERT_TRUE(uitest::waitFor([&] { return clicked == 2; }, 500));
  // The finger then slides about on the button: no further clicks. A second
  // finger landing on it is a new press.
  uitest::touch(page.button, {24, 22}, QEvent::TouchUpdate, Qt::TouchPointMoved);
  EXPECT_FALSE(page.button->isDown());
  uitest::touch(page.button, {30, 20}, QEvent::TouchUpdate, Qt::TouchPointPressed);
  ASSERT_TRUE(uitest::waitFor([&] { return clicked == 3; }, 500));

  // Outside the button, or on a disabled or hidden one: nothing.
  uitest::touch(&page, {180, 60});
  EXPECT_FALSE(page.button->isDown());
  page.button->setEnabled(false);
  uitest::touch(&page, {180, 140});
  uitest::touch(page.button, {20, 20});
  EXPECT_FALSE(page.button->isDown());
  page.button->setEnabled(true);
  page.button->hide();
  uitest::touch(&page, {180, 140});
  uitest::spin(150);
  EXPECT_EQ(clicked, 3);
  EXPECT_FALSE(page.button->isDown());
}

TEST(UiHelpers, ScaledSizesStylesAndTextChoice) {
  EXPECT_EQ(scaledPx(5, 2.5), 13);  // 12.5: halves go up

  // Unknown languages fall back to English.
  EXPECT_EQ(pickText(7, texts::kCancel) + pickText(-1, texts::kCancel), "CancelCancel");
  EXPECT_EQ(pickText(0, texts::kCancel), QString::fromUtf8("取消"));
  EXPECT_EQ(pickText(2, texts::kMinutesValue).arg(30), QString::fromUtf8("30 мин"));
}

TEST(UiPictures, MenuAndToggleIconsAndFileFallback) {
  for (int item = 0; item < kMenuItemCount; ++item)
    ASSERT_FALSE(loadMenuIcon(item, 120, true).isNull()) << item;
  EXPECT_TRUE(loadMenuIcon(10, 70, false).isNull());
  EXPECT_TRUE(loadMenuIcon(-1, 70, false).isNull());
  EXPECT_EQ(languagePictureDir(0) + languagePictureDir(2) + languagePictureDir(5), "zhruen");

  // Not in the resources: found under pictures/ of the current directory.
  const QString name = QStringLiteral("only-on-disk.png");
  EXPECT_TRUE(loadPicture(name).isNull());
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("pictures/en")));
  QImage img(12, 8, QImage::Format_ARGB32);
  img.fill(Qt::red);
  ASSERT_TRUE(img.save(dir.path() + "/pictures/" + name));
  ASSERT_TRUE(img.save(dir.path() + "/pictures/en/" + name));
  const QString before = QDir::currentPath();
  QDir::setCurrent(dir.path());
  const QPixmap pm = loadPicture(name);
  const QPixmap lang = loadLanguagePicture(7, name);
  QDir::setCurrent(before);
  EXPECT_EQ(pm.size(), QSize(12, 8));
  EXPECT_EQ(lang.size(), QSize(12, 8));
}
