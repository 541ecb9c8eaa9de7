// The settings pages: what each gesture and button asks for, what the pages
// show for the values they are given, and that every text follows the
// language.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>

#include "tests/ui/ui_test_util.h"
#include "ui/adjustpage.h"
#include "ui/brightnesspillbutton.h"
#include "ui/brightnessringwidget.h"
#include "ui/deviceinfopage.h"
#include "ui/energyadjustpage.h"
#include "ui/energysavingpage.h"
#include "ui/factoryresetpage.h"
#include "ui/languagepage.h"
#include "ui/palettepage.h"
#include "ui/toggleswitchbutton.h"

namespace {

template <typename Page>
std::unique_ptr<Page> shown(std::unique_ptr<Page> page) {
  page->resize(360, 320);
  page->show();
  return page;
}

// Every text a page shows: labels (rich text reduced to its words) and
// buttons.
QSet<QString> visibleTexts(QWidget* page) {
  QSet<QString> out;
  for (QLabel* l : page->findChildren<QLabel*>()) {
    QString t = l->text();
    if (l->textFormat() == Qt::RichText) {
      t.replace(QLatin1String("<br>"), QLatin1String("\n"));
      t.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    }
    for (const QString& line : t.split(QLatin1Char('\n')))
      if (!line.trimmed().isEmpty()) out.insert(line.trimmed());
  }
  for (QAbstractButton* b : page->findChildren<QAbstractButton*>())
    if (!b->text().isEmpty()) out.insert(b->text());
  return out;
}

}  // namespace

// One drag per row: what each page asks for. Thresholds of the base class are
// tested with it; these are the pages' own choices.
TEST(SettingsPages, GesturesAskForTheirPages) {
  auto adjust = shown(std::make_unique<AdjustPage>(nullptr, 2.0));
  auto palette = shown(std::make_unique<PalettePage>(nullptr, 2.0));
  auto language = shown(std::make_unique<LanguagePage>(nullptr, 2.0));
  auto energy = shown(std::make_unique<EnergySavingPage>(nullptr, 2.0));
  auto editor = shown(std::make_unique<EnergyAdjustPage>(nullptr, 2.0));
  auto info = shown(std::make_unique<DeviceInfoPage>(nullptr, 2.0));
  auto reset = shown(std::make_unique<FactoryResetPage>(nullptr, 2.0));

  QStringList log;
  for (UiPage* p : std::initializer_list<UiPage*>{adjust.get(), palette.get(), language.get(),
                                                  energy.get(), info.get(), reset.get()})
    QObject::connect(p, &UiPage::backToMenuRequested, [&] { log << "menu"; });
  QObject::connect(editor.get(), &EnergyAdjustPage::backToEnergySavingRequested,
                   [&] { log << "powersave"; });
  QObject::connect(palette.get(), &PalettePage::reticleColorChanged,
                   [&](int c) { log << QStringLiteral("reticle %1").arg(c); });
  QObject::connect(language.get(), &LanguagePage::languageSelected,
                   [&](int l) { log << QStringLiteral("language %1").arg(l); });
  QObject::connect(energy.get(), &EnergySavingPage::enabledChanged,
                   [&](bool on) { log << QStringLiteral("enabled %1").arg(on); });
  QObject::connect(energy.get(), &EnergySavingPage::gsensorUnavailableRequested,
                   [&] { log << "no sensor"; });

  const QPoint c(180, 200);
  const QPoint up30 = c - QPoint(0, 30), up39 = c - QPoint(0, 39), up40 = c - QPoint(0, 40);
  const QPoint left = c - QPoint(60, 0), right = c + QPoint(60, 0);
  const struct {
    UiPage* page;
    std::function<void()> before;
    QPoint to;
    const char* expected;  // "" = nothing
  } cases[] = {
      {adjust.get(), {}, up30, "menu"},
      {adjust.get(), {}, left, ""},
      // The colour page wants a longer drag to go back.
      {palette.get(), [&] { palette->setColors(2, 0); }, up39, ""},
      {palette.get(), {}, up40, "menu"},
      {palette.get(), [&] { palette->setColors(2, 0); }, left, "reticle 0"},
      {palette.get(), [&] { palette->setColors(2, 0); }, right, "reticle 1"},
      {language.get(), [&] { language->applyLanguage(2); }, left, "language 0"},
      {language.get(), [&] { language->applyLanguage(0); }, right, "language 2"},
      {language.get(), {}, up30, "menu"},
      // Without a motion sensor turning on reports it; turning off still asks.
      {energy.get(), [&] { energy->setState(true, 30, 60, 1, false); }, right, "no sensor"},
      {energy.get(), {}, left, "enabled 0"},
      {energy.get(), [&] { energy->setState(false, 30, 60, 1, true); }, right, "enabled 1"},
      {energy.get(), {}, up30, "menu"},
      {editor.get(), {}, up30, "powersave"},
      {editor.get(), {}, left, ""},
      {info.get(), {}, up30, "menu"},
      {reset.get(), {}, up40, ""},
      {reset.get(), {}, left, ""},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.page->metaObject()->className()) + " to " +
                 std::to_string(k.to.x()) + "," + std::to_string(k.to.y()));
    if (k.before) k.before();
    log.clear();
    uitest::drag(k.page, c, k.to);
    EXPECT_EQ(log.join(QLatin1String("; ")), QString::fromLatin1(k.expected));
  }
}

TEST(PalettePage, StepsWrapThroughTheOwnersFieldsThenAskToSave) {
  auto page = shown(std::make_unique<PalettePage>(nullptr, 2.0));
  int reticle = 2, dot = 0;
  page->setColorFields(&reticle, &dot);
  QStringList log;
  QObject::connect(page.get(), &PalettePage::reticleColorChanged, [&](int c) {
    log << QStringLiteral("reticle %1 (field %2)").arg(c).arg(reticle);
  });
  QObject::connect(page.get(), &PalettePage::reticleDotColorChanged,
                   [&](int c) { log << QStringLiteral("dot %1").arg(c); });
  QObject::connect(page.get(), &PalettePage::persistRequested, [&] { log << "save"; });

  const QPoint c(180, 200);
  uitest::drag(page.get(), c, c - QPoint(60, 0));  // white -> black
  uitest::drag(page.get(), c, c + QPoint(60, 0));  // black -> white
  uitest::drag(page.get(), c, c + QPoint(60, 0));  // white -> red
  EXPECT_EQ(log.join(QLatin1String("; ")),
            QStringLiteral("reticle 0 (field 0); save; reticle 2 (field 2); save; "
                           "reticle 1 (field 1); save"));
  EXPECT_EQ(reticle, 1);

  // The centre row steps the dot; its name is the one shown.
  log.clear();
  page->dotButton()->click();
  page->applyLanguage(2);
  EXPECT_EQ(page->colorNameLabel()->text(), QStringLiteral("Цвет: чёрный"));
  uitest::drag(page.get(), c, c - QPoint(60, 0));
  EXPECT_EQ(log.join(QLatin1String("; ")), QStringLiteral("dot 1; save"));
  EXPECT_EQ(dot, 1);
  EXPECT_EQ(reticle, 1);
  EXPECT_EQ(page->colorNameLabel()->text(), QStringLiteral("Цвет: красный"));

  // A press that lands on a row button is that button's, never a swipe.
  log.clear();
  const QPoint onRow = page->reticleButton()->geometry().center();
  uitest::drag(page.get(), onRow, onRow - QPoint(80, 0));
  EXPECT_TRUE(log.isEmpty());
  uitest::drag(page.get(), c, c - QPoint(60, 0));
  EXPECT_EQ(log.join(QLatin1String("; ")), QStringLiteral("dot 2; save"));
  // A finger tapping a row selects it; the swipe that follows steps that row.
  log.clear();
  const QPoint onDot = page->dotButton()->geometry().center();
  uitest::touch(page.get(), onDot);
  uitest::touch(page.get(), onDot, QEvent::TouchEnd, Qt::TouchPointReleased);
  ASSERT_TRUE(uitest::waitFor([&] { return page->selectedRow() == PalettePage::DotRow; }));
  page->reticleButton()->click();
  uitest::touch(page->reticleButton(), QPoint(5, 5));
  uitest::touch(page->reticleButton(), QPoint(5, 5), QEvent::TouchEnd, Qt::TouchPointReleased);
  uitest::drag(page.get(), c, c + QPoint(60, 0));
  EXPECT_EQ(log.join(QLatin1String("; ")), QStringLiteral("reticle 0 (field 0); save"));
}

TEST(EnergySavingPage, SwitchShowsOffWithoutASensorAndRowsFollowIt) {
  auto page = shown(std::make_unique<EnergySavingPage>(nullptr, 2.0));
  QStringList log;
  QObject::connect(page.get(), &EnergySavingPage::enabledChanged,
                   [&](bool on) { log << QStringLiteral("enabled %1").arg(on); });
  QObject::connect(page.get(), &EnergySavingPage::gsensorUnavailableRequested,
                   [&] { log << "no sensor"; });
  QObject::connect(page.get(), &EnergySavingPage::adjustRowClicked,
                   [&](int t) { log << QStringLiteral("edit %1").arg(t); });

  // Stored on, but no sensor: shown off, no rows, a tap reports the sensor.
  page->setState(true, 30, 60, 1, false);
  EXPECT_FALSE(page->switchButton()->isOn());
  EXPECT_FALSE(page->rowButton(0)->isVisible());
  page->switchButton()->click();
  EXPECT_EQ(log.join(QLatin1String("; ")), QStringLiteral("no sensor"));

  log.clear();
  page->setState(true, 25, 90, 0, true);
  EXPECT_TRUE(page->switchButton()->isOn());
  ASSERT_TRUE(page->rowButton(1)->isVisible());
  EXPECT_EQ(page->rowValue(0)->text(), QStringLiteral("25 分钟"));
  EXPECT_EQ(page->rowValue(1)->text(), QStringLiteral("90 分钟"));
  page->rowButton(1)->click();
  page->switchButton()->click();
  EXPECT_EQ(log.join(QLatin1String("; ")), QStringLiteral("edit 1; enabled 0"));

  page->applyLanguage(2);
  EXPECT_EQ(page->rowValue(0)->text(), QStringLiteral("25 мин"));
}

TEST(ValueEditors, RingsAndPills) {
  auto editor = shown(std::make_unique<EnergyAdjustPage>(nullptr, 2.0));
  const struct {
    int target, value, max;
    int fill;
    const char* title;
  } cases[] = {
      {0, 50, 100, 50, "Idle sleep"},
      {1, 30, 120, 25, "Auto power off"},
      {7, 120, 120, 100, "Auto power off"},  // any other target is power-off
      {0, 5, 0, 0, "Idle sleep"},            // no maximum, no fill
  };
  for (const auto& c : cases) {
    editor->setValue(c.target, c.value, c.max, 1);
    EXPECT_EQ(editor->ring()->value(), c.fill) << c.value << "/" << c.max;
    EXPECT_EQ(editor->titleLabel()->text(), QString::fromLatin1(c.title));
  }
  editor->setValue(0, 30, 100, 1);
  editor->applyLanguage(0);
  EXPECT_EQ(editor->titleLabel()->text(), QStringLiteral("静置息屏"));
  EXPECT_EQ(editor->ring()->unitText(), QStringLiteral("分钟"));

  QList<int> minutes;
  QObject::connect(editor.get(), &EnergyAdjustPage::nudgeRequested, [&](int d) { minutes << d; });
  // A press steps at once and keeps stepping while held; release stops.
  emit editor->plusButton()->pressed();
  EXPECT_TRUE(editor->repeatTimer()->isActive());
  emit editor->repeatTimer()->timeout({});
  emit editor->plusButton()->released();
  EXPECT_FALSE(editor->repeatTimer()->isActive());
  // A touch lands on the minus pill: one step.
  uitest::touch(editor.get(), editor->minusButton()->geometry().center());
  ASSERT_TRUE(uitest::waitFor([&] { return !editor->minusButton()->isDown(); }));
  EXPECT_EQ(minutes, (QList<int>{5, 5, -5}));
  EXPECT_FALSE(editor->repeatTimer()->isActive());

  auto brightness = shown(std::make_unique<AdjustPage>(nullptr, 2.0));
  QList<int> nudges;
  QObject::connect(brightness.get(), &AdjustPage::nudgeBrightnessRequested,
                   [&](int d) { nudges << d; });
  brightness->plusButton()->click();
  brightness->minusButton()->click();
  EXPECT_EQ(nudges, (QList<int>{1, -1}));
  brightness->setBrightness(150);
  EXPECT_EQ(brightness->ring()->value(), 100);
  // Held while the page goes away: the repeat stops with it.
  emit brightness->plusButton()->pressed();
  brightness->hide();
  EXPECT_FALSE(brightness->repeatTimer()->isActive());
}

TEST(FactoryResetPage, CancelUnticksAndConfirmCarriesTheBox) {
  auto page = shown(std::make_unique<FactoryResetPage>(nullptr, 2.0));
  EXPECT_FALSE(page->isDeleteMediaChecked());
  QStringList log;
  QObject::connect(page.get(), &FactoryResetPage::factoryResetConfirmed,
                   [&](bool media) { log << QStringLiteral("reset media=%1").arg(media); });
  QObject::connect(page.get(), &FactoryResetPage::cancelRequested, [&] {
    log << QStringLiteral("cancel ticked=%1").arg(page->isDeleteMediaChecked());
  });

  page->deleteMediaBox()->click();
  page->cancelButton()->click();
  EXPECT_FALSE(page->isDeleteMediaChecked());
  page->confirmButton()->click();
  page->setDeleteMediaChecked(true);
  page->confirmButton()->click();
  EXPECT_EQ(log.join(QLatin1String("; ")),
            QStringLiteral("cancel ticked=0; reset media=0; reset media=1"));

  // Nothing of the page overlaps at the largest interface scale.
  auto large = shown(std::make_unique<FactoryResetPage>(nullptr, 2.2));
  for (int lang = 0; lang < 3; ++lang) {
    large->applyLanguage(lang);
    const QRect q = large->questionLabel()->geometry();
    const QRect box = large->deleteMediaBox()->geometry();
    const QRect ok = large->confirmButton()->geometry();
    EXPECT_LE(q.bottom(), box.top()) << lang;
    EXPECT_LT(box.bottom(), ok.top()) << lang;
    EXPECT_LE(ok.bottom(), 320) << lang;
  }
}

TEST(DeviceInfoPage, ReadsTheSerialAfreshInEachLanguage) {
  int reads = 0;
  auto page = shown(std::make_unique<DeviceInfoPage>(nullptr, 2.0, [&] {
    ++reads;
    return QStringLiteral("5a1c0de5e7a1b00c");
  }));
  page->applyLanguage(1);
  EXPECT_EQ(page->shownText(),
            QStringLiteral("version:1.0.6\nSN: 5a1c0de5e7a1b00c\nFW: Varnix_V1.0.6"));
  page->applyLanguage(0);
  EXPECT_EQ(page->shownText(),
            QStringLiteral("version:1.0.6\n序列号: 5a1c0de5e7a1b00c\n固件: Varnix_V1.0.6"));
  page->applyLanguage(2);
  EXPECT_EQ(page->shownText(), QStringLiteral("version:1.0.6\nСерийный №: 5a1c0de5e7a1b00c\n"
                                              "Прошивка: Varnix_V1.0.6"));
  EXPECT_EQ(reads, 3);
  // No reader: the serial is empty, the rest still shows.
  DeviceInfoPage bare(nullptr, 2.0);
  bare.applyLanguage(1);
  EXPECT_EQ(bare.shownText(), QStringLiteral("version:1.0.6\nSN: \nFW: Varnix_V1.0.6"));
}

// Switching the language leaves no English text behind on any page, apart
// from what is the same in every language.
TEST(SettingsPages, EveryTextFollowsTheLanguage) {
  const QSet<QString> neutral = {QStringLiteral(">"), QStringLiteral("version:1.0.6"),
                                 QStringLiteral("English"), QStringLiteral("Русский"),
                                 QStringLiteral("中文")};
  std::vector<std::unique_ptr<UiPage>> pages;
  pages.push_back(std::make_unique<AdjustPage>(nullptr, 2.0));
  pages.push_back(std::make_unique<PalettePage>(nullptr, 2.0));
  pages.push_back(std::make_unique<LanguagePage>(nullptr, 2.0));
  auto energy = std::make_unique<EnergySavingPage>(nullptr, 2.0);
  EnergySavingPage* energyPage = energy.get();
  pages.push_back(std::move(energy));
  auto editor = std::make_unique<EnergyAdjustPage>(nullptr, 2.0);
  editor->setValue(0, 30, 100, 1);
  pages.push_back(std::move(editor));
  pages.push_back(std::make_unique<DeviceInfoPage>(nullptr, 2.0));
  pages.push_back(std::make_unique<FactoryResetPage>(nullptr, 2.0));
  for (auto& page : pages) {
    SCOPED_TRACE(page->metaObject()->className());
    auto textsIn = [&](int lang) {
      page->applyLanguage(lang);
      if (page.get() == energyPage) energyPage->setState(true, 30, 60, lang, true);
      return visibleTexts(page.get()) - neutral;
    };
    const QSet<QString> english = textsIn(1);
    EXPECT_FALSE(english.isEmpty());
    for (int lang : {0, 2}) {
      const QSet<QString> left = textsIn(lang) & english;
      EXPECT_TRUE(left.isEmpty()) << lang << ": "
                                  << QStringList(left.values()).join("|").toStdString();
    }
  }
}

// The idle sleep and power-off rows read as one list: one size for both
// names and one for both values, in every language.
TEST(SettingsPages, PowerSaveRowsShareTheirFontSizes) {
  for (double scale : {1.6, 2.0, 2.2}) {
    auto page = shown(std::make_unique<EnergySavingPage>(nullptr, scale));
    for (int lang = 0; lang < 3; ++lang) {
      page->setState(true, 5, 120, lang, true);
      for (QLabel* (EnergySavingPage::*part)(int) const :
           {&EnergySavingPage::rowLabel, &EnergySavingPage::rowValue}) {
        QLabel* first = (page.get()->*part)(0);
        QLabel* second = (page.get()->*part)(1);
        first->ensurePolished();
        second->ensurePolished();
        EXPECT_EQ(first->font().pixelSize(), second->font().pixelSize())
            << "scale " << scale << " language " << lang << ": " << first->text().toStdString()
            << " / " << second->text().toStdString();
      }
    }
  }
}

// No single-line text is cut off, in any language, at the smallest and the
// largest interface scale.
TEST(SettingsPages, SingleLineTextsFitTheirLabels) {
  for (double scale : {1.6, 2.2}) {
    std::vector<std::unique_ptr<UiPage>> pages;
    pages.push_back(std::make_unique<AdjustPage>(nullptr, scale));
    pages.push_back(std::make_unique<PalettePage>(nullptr, scale));
    pages.push_back(std::make_unique<LanguagePage>(nullptr, scale));
    auto energy = std::make_unique<EnergySavingPage>(nullptr, scale);
    EnergySavingPage* energyPage = energy.get();
    pages.push_back(std::move(energy));
    auto editor = std::make_unique<EnergyAdjustPage>(nullptr, scale);
    EnergyAdjustPage* editorPage = editor.get();
    pages.push_back(std::move(editor));
    pages.push_back(std::make_unique<FactoryResetPage>(nullptr, scale));
    for (auto& page : pages) {
      page->resize(360, 320);
      page->show();
      for (int lang = 0; lang < 3; ++lang) {
        for (int target = 0; target < 2; ++target) {
          page->applyLanguage(lang);
          if (page.get() == energyPage) energyPage->setState(true, 100, 120, lang, true);
          if (page.get() == editorPage) editorPage->setValue(target, 100, 100, lang);
          for (QLabel* l : page->findChildren<QLabel*>()) {
            if (l->wordWrap() || l->text().isEmpty() || l->isHidden()) continue;
            l->ensurePolished();
            const int advance = QFontMetrics(l->font()).horizontalAdvance(l->text());
            EXPECT_LE(advance, l->width())
                << page->metaObject()->className() << " scale " << scale << " language " << lang
                << ": " << l->text().toStdString();
          }
        }
      }
    }
  }
}
