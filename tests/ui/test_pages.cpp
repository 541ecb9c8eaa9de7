#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "tests/support/temp_root.h"
#include "tests/ui/ui_test_util.h"
#include "ui/battery.h"
#include "ui/homepage.h"
#include "ui/menupage.h"
#include "ui/pictures.h"

namespace {

QImage iconImage(const QPushButton* b) {
  return b->icon().pixmap(b->iconSize()).toImage().convertToFormat(QImage::Format_ARGB32);
}
QImage menuIconImage(int item, int size, bool selected) {
  const QPixmap pm = loadMenuIcon(item, size, selected).pixmap(size, size);
  return pm.toImage().convertToFormat(QImage::Format_ARGB32);
}

// A menu over ten stand-in target pages, shown at the window's size.
class Menu : public ::testing::Test {
 protected:
  Menu() : page(nullptr, 2.0) {
    for (QWidget& t : targets) list.append(&t);
    page.setItems(list);
    page.applyLanguage(1);
    page.resize(360, 320);
    page.show();
    QObject::connect(&page, &MenuPage::enterItemRequested, [this] { ++enters; });
    QObject::connect(&page, &UiPage::backToHomeRequested, [this] { ++homes; });
  }
  bool settle() {
    return uitest::waitFor([this] { return !page.isAnimating(); }, 1000);
  }

  QWidget targets[10];
  QList<QWidget*> list;
  MenuPage page;
  int enters = 0, homes = 0;
};

}  // namespace

TEST(HomePage, RecordingAndSleepLinesInEachLanguage) {
  TempRoot root;
  HomePage home(nullptr, 2.0);
  QLabel* rec = home.recordingLine();
  EXPECT_TRUE(rec->isHidden());
  home.setRecordingVisible(true);
  EXPECT_FALSE(rec->isHidden());

  home.applyLanguage(1);
  home.setRecordingTime(false, 7, 5);
  // The language is picked up the next time the line is set.
  home.applyLanguage(0);
  EXPECT_EQ(rec->text(), QStringLiteral("  REC 07:05"));
  const struct {
    int language, minutes, seconds;
    const char* rec;
    const char* sleep;
  } cases[] = {
      {1, 7, 5, "● REC 07:05", "Enter sleep mode in 5s"},
      {0, 12, 59, "● 录像 12:59", "59秒后进入休眠模式"},
      {2, 125, 7, "● ЗАП 125:07", "Спящий режим через 7 с"},  // all digits kept
      {7, 0, 0, "● REC 00:00", "Enter sleep mode in 0s"},
  };
  for (const auto& c : cases) {
    home.applyLanguage(c.language);
    home.setRecordingTime(true, c.minutes, c.seconds);
    home.setSleepCountdown(c.seconds);
    EXPECT_EQ(rec->text(), QString::fromUtf8(c.rec));
    EXPECT_EQ(home.sleepLine()->text(), QString::fromUtf8(c.sleep));
  }
  home.setRecordingTime(false, 7, 5);
  EXPECT_EQ(rec->text(), QStringLiteral("  REC 07:05"));
}

TEST(HomePage, BatteryChargingAndBadges) {
  TempRoot root;
  HomePage home(nullptr, 2.0);
  home.setBatteryPercent(140);
  EXPECT_EQ(home.percentLabel()->text(), QStringLiteral("100%"));
  EXPECT_EQ(home.battery()->value(), 100.0);

  // An unchanged charging state does nothing, not even show the percentage.
  home.setBatteryVisible(false);
  home.setCharging(false);
  EXPECT_TRUE(home.percentLabel()->isHidden());
  home.setCharging(true);
  EXPECT_TRUE(home.battery()->isCharging());
  EXPECT_FALSE(home.percentLabel()->isHidden());

  EXPECT_TRUE(home.srBadge()->isHidden());
  home.setSrBadgeVisible(true);
  EXPECT_FALSE(home.srBadge()->isHidden());
}

TEST(HomePage, SdCardIconFollowsTheCardFromConstructionOn) {
  TempRoot root;
  {
    HomePage home(nullptr, 2.0);
    EXPECT_FALSE(home.sdCardPresent());
    EXPECT_FALSE(home.sdIcon()->isHidden());  // the "no card" picture
  }
  ASSERT_TRUE(root.write(QStringLiteral("/dev/mmcblk1p1"), QByteArray()));
  HomePage home(nullptr, 2.0);
  EXPECT_TRUE(home.sdCardPresent());
  const QImage present = home.sdIcon()->pixmap(Qt::ReturnByValue).toImage();
  home.setSdCardPresent(false);
  EXPECT_FALSE(home.sdCardPresent());
  EXPECT_NE(home.sdIcon()->pixmap(Qt::ReturnByValue).toImage(), present);
  home.setSdCardPresent(true);
  EXPECT_EQ(home.sdIcon()->pixmap(Qt::ReturnByValue).toImage(), present);
}

TEST_F(Menu, SlotsWrapAroundAndStepsLand) {
  ASSERT_EQ(page.currentIndex(), 0);
  EXPECT_EQ(page.currentTarget(), list[0]);
  EXPECT_EQ(iconImage(page.leftButton()), menuIconImage(9, 70, false));
  EXPECT_EQ(iconImage(page.centreButton()), menuIconImage(0, 120, true));
  EXPECT_EQ(iconImage(page.rightButton()), menuIconImage(1, 70, false));
  EXPECT_EQ(page.nameLabel()->text(), QStringLiteral("Reticle Color"));

  page.moveSelection(-1);
  EXPECT_TRUE(page.isAnimating());
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 9);
  EXPECT_EQ(page.nameLabel()->text(), QStringLiteral("Video"));
  EXPECT_EQ(iconImage(page.rightButton()), menuIconImage(0, 70, false));
  page.moveSelection(+1);
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 0);
  // No stray button is left over from the animation.
  uitest::spin(20);
  EXPECT_EQ(page.carousel()->findChildren<QPushButton*>().size(), 3);

  page.applyLanguage(2);
  EXPECT_EQ(page.titleLabel()->text(), QString::fromUtf8("Меню"));
  EXPECT_EQ(page.nameLabel()->text(), QString::fromUtf8("Цвет прицела"));
}

TEST_F(Menu, SwipesAndTheAnimatingGuard) {
  // On the page: 49 px left is too short, 50 px goes to the next item.
  uitest::drag(&page, {200, 40}, {151, 40});
  EXPECT_FALSE(page.isAnimating());
  uitest::drag(&page, {200, 40}, {150, 40});
  EXPECT_TRUE(page.isAnimating());
  // A second swipe and a step while the first one runs are ignored.
  uitest::drag(&page, {200, 40}, {100, 40});
  page.moveSelection(+1);
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 1);

  // Rightwards on the carousel: previous item.
  uitest::drag(page.centreButton(), {20, 60}, {100, 60});
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 0);
  EXPECT_EQ(enters, 0);

  // Upwards: 59 px stays, 60 px goes home.
  uitest::drag(&page, {180, 200}, {180, 141});
  EXPECT_EQ(homes, 0);
  uitest::drag(&page, {180, 200}, {180, 140});
  EXPECT_EQ(homes, 1);
}

TEST_F(Menu, DragOnTheCentreButtonNeitherClicksNorSwipes) {
  QPushButton* centre = page.centreButton();
  uitest::drag(centre, {60, 60}, {80, 60});
  EXPECT_EQ(enters, 0);
  EXPECT_FALSE(page.isAnimating());
  EXPECT_FALSE(centre->isDown());
  uitest::drag(centre, {60, 60}, {60, 73});  // 13 px down: still a drag
  EXPECT_EQ(enters, 0);

  // A small wobble is still a click; the side buttons step.
  uitest::drag(centre, {60, 60}, {70, 66});
  EXPECT_EQ(enters, 1);
  uitest::drag(page.rightButton(), {35, 35}, {35, 35});
  EXPECT_TRUE(page.isAnimating());
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 1);
  EXPECT_EQ(homes, 0);
}

TEST_F(Menu, SetItemsClampsAndAnEmptyMenuIsInert) {
  for (int i = 0; i < 7; ++i) {
    page.moveSelection(+1);
    ASSERT_TRUE(settle());
  }
  ASSERT_EQ(page.currentIndex(), 7);
  page.setItems(list.mid(0, 3));
  EXPECT_EQ(page.currentIndex(), 2);
  EXPECT_EQ(page.currentTarget(), list[2]);
  EXPECT_EQ(iconImage(page.rightButton()), menuIconImage(0, 70, false));
  page.moveSelection(+1);
  ASSERT_TRUE(settle());
  EXPECT_EQ(page.currentIndex(), 0);

  page.setItems({});
  EXPECT_EQ(page.currentTarget(), nullptr);
  EXPECT_EQ(page.itemCount(), 0);
  page.moveSelection(+1);
  EXPECT_FALSE(page.isAnimating());
  uitest::drag(&page, {200, 40}, {100, 40});
  EXPECT_FALSE(page.isAnimating());
}
