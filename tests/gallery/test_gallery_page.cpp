// The carousel, the viewer and the gestures of the gallery pages over a card
// made for each test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "gallery/delete_dialog.h"
#include "gallery/gallery_page.h"
#include "tests/gallery/gallery_test_util.h"
#include "tests/ui/ui_test_util.h"

namespace {

using gallery::GalleryPage;
using gallery::MediaKind;

class GalleryPageTest : public ::testing::Test {
 protected:
  // Photos pic_1 .. pic_n (pic_n newest, first in the list).
  void photos(int n) {
    QStringList names;
    for (int i = 1; i <= n; ++i) names << QStringLiteral("pic_%1.jpg").arg(i);
    gallerytest::put(root, gallery::kPictureDir, names, gallerytest::jpeg(36, 32, Qt::green));
  }
  GalleryPage* page(MediaKind kind = MediaKind::Photo) {
    page_ = std::make_unique<GalleryPage>(kind, nullptr, 2.0);
    page_->resize(360, 320);
    page_->setConfirmer([this](MediaKind) {
      ++asked;
      return answer;
    });
    page_->setClock([this] { return nowMs; });
    page_->show();
    page_->refresh();
    return page_.get();
  }
  QString counter() const { return page_->counterLabel()->text(); }
  QString name() const { return page_->nameLabel()->text(); }
  // A press at `from` and a release at `to` (page coordinates) on `target`,
  // `ms` apart.
  void drag(QWidget* target, QPoint from, QPoint to, int ms = 100) {
    uitest::mouse(target, QEvent::MouseButtonPress, target->mapFrom(page_.get(), from));
    nowMs += ms;
    uitest::mouse(target, QEvent::MouseButtonRelease, target->mapFrom(page_.get(), to));
  }

  TempRoot root;
  std::unique_ptr<GalleryPage> page_;
  qint64 nowMs = 1000;
  bool answer = true;
  int asked = 0;
};

TEST_F(GalleryPageTest, OneItemHasEmptyDisabledSidesAndAnEmptyCardNothing) {
  photos(1);
  GalleryPage* p = page();
  EXPECT_EQ(counter(), "1 / 1");
  EXPECT_EQ(name(), "pic_1");
  EXPECT_FALSE(p->slotButton(0)->isEnabled());
  EXPECT_FALSE(p->slotButton(2)->isEnabled());
  EXPECT_TRUE(p->slotButton(0)->icon().isNull());
  EXPECT_TRUE(p->slotButton(2)->icon().isNull());
  EXPECT_FALSE(p->slotButton(1)->icon().isNull());
  EXPECT_TRUE(p->deleteButton()->isEnabled());

  // Deleting the one item leaves an empty, inert carousel.
  p->deleteButton()->click();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(counter(), "0 / 0");
  EXPECT_TRUE(name().isEmpty());
  EXPECT_FALSE(p->deleteButton()->isEnabled());
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(p->slotButton(i)->isEnabled()) << i;
}

TEST_F(GalleryPageTest, DeletingTheLastItemMovesToTheNewLastAndDecliningKeepsIt) {
  photos(3);
  GalleryPage* p = page();
  p->step(+1);
  p->finishStep();
  p->step(+1);
  p->finishStep();
  ASSERT_EQ(counter(), "3 / 3");
  ASSERT_EQ(name(), "pic_1");

  answer = false;
  p->deleteButton()->click();
  EXPECT_TRUE(root.exists("/mnt/sdcard/picture/pic_1.jpg"));
  EXPECT_EQ(counter(), "3 / 3");

  answer = true;
  p->deleteButton()->click();
  EXPECT_FALSE(root.exists("/mnt/sdcard/picture/pic_1.jpg"));
  EXPECT_EQ(counter(), "2 / 2");
  EXPECT_EQ(name(), "pic_2");
  EXPECT_FALSE(p->slotButton(2)->isEnabled());
}

TEST_F(GalleryPageTest, AStepWhileOneAnimatesIsIgnored) {
  photos(4);
  GalleryPage* p = page();
  // The next slot pressed twice quickly, then a swipe, all within one step.
  p->slotButton(2)->click();
  ASSERT_TRUE(p->stepAnimating());
  p->slotButton(2)->click();
  drag(p, {300, 250}, {200, 250});
  p->step(+1);
  p->finishStep();
  EXPECT_FALSE(p->stepAnimating());
  EXPECT_EQ(counter(), "2 / 4");
  EXPECT_EQ(name(), "pic_3");
  // One step ran: no second incoming thumbnail left behind in the frame,
  // and the slots are back in place for the next step.
  EXPECT_EQ(p->slotButton(1)->parentWidget()->findChildren<QPushButton*>().size(), 3);
  EXPECT_EQ(p->slotButton(1)->geometry(), GalleryPage::kCurrentRect);
  EXPECT_EQ(p->slotButton(0)->geometry(), GalleryPage::kPrevRect);
  p->slotButton(0)->click();
  p->finishStep();
  EXPECT_EQ(counter(), "1 / 4");
}

TEST_F(GalleryPageTest, ListGestures) {
  photos(3);
  GalleryPage* p = page();
  QSignalSpy menu(p, &GalleryPage::backToMenuRequested);
  struct Drag {
    const char* what;
    QPoint from, to;
    const char* counter;
    int menu;
  };
  const Drag drags[] = {
      {"left swipe: older", {250, 260}, {190, 250}, "2 / 3", 0},
      {"too short", {250, 260}, {201, 260}, "2 / 3", 0},
      {"too diagonal", {250, 200}, {190, 155}, "2 / 3", 0},
      {"right swipe: newer", {100, 260}, {160, 260}, "1 / 3", 0},
      {"right swipe at the newest", {100, 260}, {160, 260}, "1 / 3", 0},
      {"swipe up: menu", {180, 300}, {190, 240}, "1 / 3", 1},
  };
  for (const Drag& d : drags) {
    SCOPED_TRACE(d.what);
    drag(p, d.from, d.to);
    p->finishStep();
    EXPECT_EQ(counter(), d.counter);
    EXPECT_EQ(menu.count(), d.menu);
  }
  // A swipe that starts on a slot steps without also clicking it.
  drag(p->slotButton(1), {200, 100}, {130, 100});
  p->finishStep();
  EXPECT_EQ(counter(), "2 / 3");
  EXPECT_FALSE(p->viewerShown());
}

TEST_F(GalleryPageTest, ViewerSwipesStopAtTheEndsAndATapReturns) {
  photos(2);
  gallerytest::put(root, gallery::kPictureDir, {"pic_3.jpg"}, "broken");
  GalleryPage* p = page();
  p->slotButton(1)->click();  // the newest, which does not load
  ASSERT_TRUE(p->viewerShown());
  EXPECT_TRUE(p->viewedPath().endsWith("pic_3.jpg"));
  EXPECT_EQ(p->viewerPicture()->text(), "pic_3\n\nCannot load image");
  p->applyLanguage(2);
  EXPECT_EQ(p->viewerPicture()->text(), "pic_3\n\nНе удалось загрузить");

  QWidget* area = p->viewerPicture();
  drag(area, {100, 100}, {160, 100});  // newer: none
  EXPECT_TRUE(p->viewedPath().endsWith("pic_3.jpg"));
  drag(area, {200, 100}, {140, 100});
  EXPECT_TRUE(p->viewedPath().endsWith("pic_2.jpg"));
  EXPECT_TRUE(p->viewerPicture()->text().isEmpty());
  EXPECT_FALSE(p->viewerPicture()->pixmap(Qt::ReturnByValue).isNull());
  drag(area, {200, 100}, {140, 100});
  drag(area, {200, 100}, {140, 100});  // older: none past the end
  EXPECT_TRUE(p->viewedPath().endsWith("pic_1.jpg"));

  drag(area, {150, 100}, {160, 110}, 500);  // a long press is no tap
  EXPECT_TRUE(p->viewerShown());
  drag(area, {150, 100}, {160, 110}, 300);
  EXPECT_FALSE(p->viewerShown());
  EXPECT_EQ(counter(), "3 / 3");  // the list follows the viewer
}

TEST_F(GalleryPageTest, DeletingInTheViewerReturnsToTheList) {
  photos(2);
  GalleryPage* p = page();
  p->slotButton(1)->click();
  ASSERT_TRUE(p->viewerShown());
  p->viewerDeleteButton()->click();
  EXPECT_FALSE(root.exists("/mnt/sdcard/picture/pic_2.jpg"));
  EXPECT_FALSE(p->viewerShown());
  EXPECT_TRUE(p->viewedPath().isEmpty());
  EXPECT_EQ(counter(), "1 / 1");
  EXPECT_EQ(name(), "pic_1");
}

TEST_F(GalleryPageTest, VideoGalleryAsksToPlayTheMiddleItem) {
  gallerytest::put(root, gallery::kVideoDir, {"video_1.mp4", "video_2.mp4"});
  GalleryPage* p = page(MediaKind::Video);
  QSignalSpy play(p, &GalleryPage::playRequested);
  p->slotButton(1)->click();
  ASSERT_EQ(play.count(), 1);
  EXPECT_TRUE(play.at(0).at(0).toString().endsWith("/mnt/sdcard/video/video_2.mp4"));
  EXPECT_FALSE(p->viewerShown());
  // Leaving the page: newest first again.
  p->step(+1);
  p->resetSelection();
  EXPECT_FALSE(p->stepAnimating());
  EXPECT_EQ(counter(), "1 / 2");
}

}  // namespace

namespace {

// The question keeps its card's size in every language and at every
// interface scale (a taller one would cover the Delete button beneath it),
// and every text fits inside it uncut.
TEST(DeleteDialog, KeepsItsSizeAndFitsItsTextsInEveryLanguage) {
  for (double scale : {1.6, 2.0, 2.2})
    for (gallery::MediaKind kind : {gallery::MediaKind::Photo, gallery::MediaKind::Video})
      for (int lang = 0; lang < 3; ++lang) {
        SCOPED_TRACE(QString::asprintf("scale %.1f, kind %d, language %d", scale,
                                       static_cast<int>(kind), lang)
                         .toStdString());
        gallery::DeleteConfirmDialog dialog(kind, lang, scale);
        dialog.show();
        QApplication::processEvents();
        EXPECT_EQ(dialog.size(), QSize(272, 178));
        for (QLabel* l : dialog.findChildren<QLabel*>()) {
          SCOPED_TRACE(l->text().toStdString());
          const int needed =
              l->wordWrap() ? l->heightForWidth(l->width()) : QFontMetrics(l->font()).height();
          EXPECT_LE(needed, l->height());
          EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()),
                    l->wordWrap() ? 2 * l->width() : l->width());
          EXPECT_TRUE(dialog.rect().contains(l->geometry()));
        }
        for (QPushButton* b : {dialog.cancelButton(), dialog.confirmButton()}) {
          EXPECT_GE(b->height(), 44);
          EXPECT_TRUE(dialog.rect().contains(b->geometry()));
          EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width());
        }
      }
}

}  // namespace
