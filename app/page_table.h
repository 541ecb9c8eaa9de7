#pragma once
// The pages of the window's stack: their indices and the menu's ten targets
// in item order.

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
};
