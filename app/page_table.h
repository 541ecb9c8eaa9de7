#pragma once
// The pages of the window's stack: their indices, the title a page shows
// while its own content is not built, and the menu's ten targets in item
// order. The window builds the stack from this table.
#include "ui/texts.h"

struct Pages {
  enum PageIndex {
    kHomePage = 0,
    kPalettePage = 1,
    kAdjustPage = 2,
    kZeroingPage = 3,
    kDeviceInfoPage = 4,
    kFactoryResetPage = 5,
    kLanguagePage = 6,
    kTempMeasurePage = 7,
    kTempCalRefPage = 8,
    kTempCalBlackbodyPage = 9,
    kTempCalGuidePage = 10,
    kTempCalResultPage = 11,
    kEnergySavingPage = 12,
    kEnergyAdjustPage = 13,
    kPhotoGalleryPage = 14,
    kVideoGalleryPage = 15,
    kMenuPage = 16,
    kPageCount = 17
  };

  static constexpr PageIndex kMenuTargets[10] = {
      kPalettePage,      kAdjustPage,   kTempMeasurePage,  kZeroingPage,       kDeviceInfoPage,
      kFactoryResetPage, kLanguagePage, kEnergySavingPage, kPhotoGalleryPage, kVideoGalleryPage};

  // The title of page `index`; null for the home and menu pages.
  static const UiText* title(int index) {
    static const UiText* const kTitles[kPageCount] = {
        nullptr,
        &texts::kReticleColorTitle,
        &texts::kBrightnessTitle,
        &texts::kZeroingTitle,
        &texts::kDeviceInfoTitle,
        &texts::kFactoryResetTitle,
        &texts::kLanguageTitle,
        &texts::kTemperatureTitle,
        &texts::kSelectReferenceTitle,
        &texts::kBlackbodyTitle,
        &texts::kCalGuideTitle,
        &texts::kCalResultTitle,
        &texts::kPowerSaveTitle,
        &texts::kPowerSaveTitle,
        &texts::kPhotoGalleryTitle,
        &texts::kVideoGalleryTitle,
        nullptr};
    return index >= 0 && index < kPageCount ? kTitles[index] : nullptr;
  }
};
