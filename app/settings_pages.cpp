#include "app/settings_pages.h"

#include "app/appcontroller.h"
#include "app/page_table.h"
#include "app/settings_store.h"
#include "devices/serial_number.h"
#include "overlay/aim.h"
#include "ui/adjustpage.h"
#include "ui/deviceinfopage.h"
#include "ui/energyadjustpage.h"
#include "ui/energysavingpage.h"
#include "ui/factoryresetpage.h"
#include "ui/languagepage.h"
#include "ui/palettepage.h"

SettingsPages::SettingsPages(QWidget* parent, double uiScale, ControllerSettings* cfg,
                             AppController* state)
    : QObject(parent),
      cfg_(cfg),
      state_(state),
      palette_(new PalettePage(parent, uiScale)),
      adjust_(new AdjustPage(parent, uiScale)),
      deviceInfo_(new DeviceInfoPage(parent, uiScale, &serial_number::read)),
      factoryReset_(new FactoryResetPage(parent, uiScale)),
      language_(new LanguagePage(parent, uiScale)),
      energySaving_(new EnergySavingPage(parent, uiScale)),
      energyAdjust_(new EnergyAdjustPage(parent, uiScale)) {
  palette_->setColorFields(&cfg_->reticleColor, &cfg_->reticleDotColor);
  for (UiPage* p : {static_cast<UiPage*>(palette_), static_cast<UiPage*>(adjust_),
                    static_cast<UiPage*>(deviceInfo_), static_cast<UiPage*>(language_),
                    static_cast<UiPage*>(energySaving_)})
    connect(p, &UiPage::backToMenuRequested, this, &SettingsPages::backToMenuRequested);
  connect(factoryReset_, &FactoryResetPage::cancelRequested, this,
          &SettingsPages::backToMenuRequested);
  connect(factoryReset_, &FactoryResetPage::factoryResetConfirmed, this,
          &SettingsPages::factoryResetConfirmed);

  connect(palette_, &PalettePage::persistRequested, this, &SettingsPages::persistRequested);
  connect(palette_, &PalettePage::reticleColorChanged, this, [this](int c) {
    if (overlay_) overlay_->slot_recv_reticle_color(c);
  });
  connect(palette_, &PalettePage::reticleDotColorChanged, this, [this](int c) {
    if (overlay_) overlay_->slot_recv_reticle_dot_color(c);
  });

  if (state_) {
    connect(adjust_, &AdjustPage::nudgeBrightnessRequested, state_,
            &AppController::nudgeBrightness);
    connect(state_, &AppController::brightnessChanged, adjust_,
            [this] { adjust_->setBrightness(state_->brightness()); });
    adjust_->setBrightness(state_->brightness());
  }

  connect(language_, &LanguagePage::languageSelected, this, &SettingsPages::languageSelected);
  connect(energySaving_, &EnergySavingPage::enabledChanged, this,
          &SettingsPages::energySavingSwitched);
  connect(energySaving_, &EnergySavingPage::gsensorUnavailableRequested, this,
          &SettingsPages::gsensorUnavailable);
  connect(energySaving_, &EnergySavingPage::adjustRowClicked, this,
          &SettingsPages::openEnergyAdjust);
  connect(energyAdjust_, &EnergyAdjustPage::backToEnergySavingRequested, this,
          [this] { emit showPageRequested(Pages::kEnergySavingPage); });
  connect(energyAdjust_, &EnergyAdjustPage::nudgeRequested, this,
          &SettingsPages::energyMinutesNudged);
}

QWidget* SettingsPages::page(int index) const {
  switch (index) {
    case Pages::kPalettePage:
      return palette_;
    case Pages::kAdjustPage:
      return adjust_;
    case Pages::kDeviceInfoPage:
      return deviceInfo_;
    case Pages::kFactoryResetPage:
      return factoryReset_;
    case Pages::kLanguagePage:
      return language_;
    case Pages::kEnergySavingPage:
      return energySaving_;
    case Pages::kEnergyAdjustPage:
      return energyAdjust_;
    default:
      return nullptr;
  }
}

void SettingsPages::refresh(bool gsensorAvailable) {
  palette_->refresh();
  if (state_) adjust_->setBrightness(state_->brightness());
  refreshEnergySaving(gsensorAvailable);
}

void SettingsPages::refreshEnergySaving(bool gsensorAvailable) {
  energySaving_->setState(cfg_->energySavingEnabled, cfg_->idleSleepMinutes,
                          cfg_->autoPowerOffMinutes, cfg_->language, gsensorAvailable);
}

void SettingsPages::openEnergyAdjust(int target) {
  const bool idle = target == 0;
  energyAdjust_->setValue(idle ? 0 : 1, idle ? cfg_->idleSleepMinutes : cfg_->autoPowerOffMinutes,
                          idle ? 100 : 120, cfg_->language);
  emit showPageRequested(Pages::kEnergyAdjustPage);
}

int SettingsPages::energyAdjustTarget() const { return energyAdjust_->target(); }

void SettingsPages::untickFactoryReset() { factoryReset_->setDeleteMediaChecked(false); }
