#pragma once
// Every text of the interface, as triples (Chinese, English, Russian), in one
// place. The language index selects: 0 Chinese, 2 Russian, anything else
// English. Texts with placeholders are formatted after selection, with the
// same arguments in every language.
#include <QString>

struct UiText {
  const char* zh;
  const char* en;
  const char* ru;
};

QString pickText(int lang, const QString& zh, const QString& en, const QString& ru);
QString pickText(int lang, const UiText& text);

namespace texts {
// Toasts of the main window.
inline constexpr UiText kToastPowerOffBelowIdle{"自动关机时间不能小于静置休眠时间",
                                                "Auto power-off must not be less than idle sleep",
                                                "Выкл. не раньше времени сна"};
inline constexpr UiText kToastNoGsensor{"3D 传感器硬件未连接，无法开启节能",
                                        "3D sensor hardware not connected, power save unavailable",
                                        "3D-датчик не подключён, энергосбережение недоступно"};
inline constexpr UiText kToastInsertSd{"请插入SD卡", "Insert SD card", "Вставьте карту SD"};
inline constexpr UiText kToastSaved{"已保存", "Saved", "Сохранено"};
// The photo could not be written (a full or removed card).
inline constexpr UiText kToastSaveFailed{"照片保存失败", "Photo not saved", "Фото не сохранено"};

// Home page lines ("%1" is the number of seconds).
inline constexpr UiText kHomeRec{"录像", "REC", "ЗАП"};
inline constexpr UiText kHomeSleepCountdown{"%1秒后进入休眠模式", "Enter sleep mode in %1s",
                                            "Спящий режим через %1 с"};

// Main menu: the title and the names of its ten items, in item order.
inline constexpr UiText kMenuTitle{"菜单", "Menu", "Меню"};
inline constexpr UiText kMenuReticleColor{"分化颜色", "Reticle Color", "Цвет прицела"};
inline constexpr UiText kMenuBrightness{"亮度", "Brightness", "Яркость"};
inline constexpr UiText kMenuTemperature{"测温", "Temperature", "Температура"};
inline constexpr UiText kMenuCalibration{"校准", "Calibration", "Калибровка"};
inline constexpr UiText kMenuInfo{"信息", "Info", "Инфо"};
inline constexpr UiText kMenuReset{"恢复出厂设置", "Reset", "Сброс"};
inline constexpr UiText kMenuLanguage{"语言", "Language", "Язык"};
inline constexpr UiText kMenuPowerSave{"节能", "Power save", "Энергосбер."};
inline constexpr UiText kMenuPicture{"图片", "Picture", "Фото"};
inline constexpr UiText kMenuVideo{"视频", "Video", "Видео"};

// Dialogs, galleries, viewers and the screens of the overlay.
inline constexpr UiText kConfirm{"确认", "Confirm", "OK"};
inline constexpr UiText kCancel{"取消", "Cancel", "Отмена"};
inline constexpr UiText kPhotoGalleryTitle{"图片", "Picture", "Фото"};
inline constexpr UiText kVideoGalleryTitle{"视频", "Video", "Видео"};
inline constexpr UiText kViewerBack{"返回列表", "Back", "К списку"};
inline constexpr UiText kViewerDelete{"删除", "Delete", "Удалить"};
inline constexpr UiText kDeletePhotoTitle{"删除照片", "Delete photo", "Удалить фото"};
inline constexpr UiText kDeletePhotoQuestion{"确定删除这张照片吗？", "Delete this photo?",
                                             "Удалить это фото?"};
inline constexpr UiText kDeleteVideoTitle{"删除视频", "Delete video", "Удалить видео"};
inline constexpr UiText kDeleteVideoQuestion{"确定删除这个视频文件吗？", "Delete this video file?",
                                             "Удалить этот видеофайл?"};
inline constexpr UiText kDeleteWarning{"删除后无法恢复。", "This cannot be undone.",
                                       "Действие нельзя отменить."};
inline constexpr UiText kImageLoadFailed{"无法加载图片", "Cannot load image",
                                         "Не удалось загрузить"};
inline constexpr UiText kVideoPreviewPlaceholder{"预览播放暂未支持", "Playback not available yet.",
                                                 "Воспроизведение пока недоступно."};
inline constexpr UiText kZeroingTitle{"校准", "Calibration", "Калибровка"};
inline constexpr UiText kChargingTitle{"充电中", "Charging", "Зарядка"};
inline constexpr UiText kChargingFullTitle{"已充满电", "Fully charged", "Заряжено"};

// Adjustment pages.
inline constexpr UiText kBrightnessTitle{"亮度", "Brightness", "Яркость"};
inline constexpr UiText kReticleColorTitle{"分划颜色", "Reticle color", "Цвет прицела"};
inline constexpr UiText kReticleRow{"分划", "Reticle", "Прицел"};
inline constexpr UiText kCenterRow{"中心点", "Center", "Центр"};
inline constexpr UiText kColorBlack{"当前颜色: 黑色", "Color: Black", "Цвет: чёрный"};
inline constexpr UiText kColorRed{"当前颜色: 红色", "Color: Red", "Цвет: красный"};
inline constexpr UiText kColorWhite{"当前颜色: 白色", "Color: White", "Цвет: белый"};
inline constexpr UiText kLanguageTitle{"语言", "Language", "Язык"};
inline constexpr UiText kPowerSaveTitle{"节能设置", "Power save", "Энергосбережение"};
inline constexpr UiText kPowerSaveRow{"节能", "Power save", "Энергосбер."};
inline constexpr UiText kIdleSleep{"静置息屏", "Idle sleep", "Сон при покое"};
inline constexpr UiText kAutoPowerOff{"静置关机", "Auto power off", "Выкл. при покое"};
inline constexpr UiText kMinutesValue{"%1 分钟", "%1 min", "%1 мин"};
inline constexpr UiText kMinutesUnit{"分钟", "min", "мин"};

// Device information and factory reset.
inline constexpr UiText kDeviceInfoTitle{"设备信息", "Device info", "Устройство"};
inline constexpr UiText kDeviceInfoBody{"%1\n序列号: %2\n固件: %3", "%1\nSN: %2\nFW: %3",
                                        "%1\nСерийный №: %2\nПрошивка: %3"};
inline constexpr UiText kFactoryResetTitle{"恢复出厂设置", "Factory reset", "Сброс настроек"};
inline constexpr UiText kFactoryResetQuestion{"确定要恢复出厂设置吗？", "Restore factory settings?",
                                              "Восстановить заводские настройки?"};
inline constexpr UiText kDeleteMedia{"删除视频和照片", "Delete videos and photos",
                                     "Удалить видео и фото"};

// Temperature measurement and calibration.
inline constexpr UiText kTemperatureTitle{"测温", "Temperature", "Температура"};
inline constexpr UiText kTempCalibrationRow{"测温校准", "Temp calibration", "Калибр. темп."};
inline constexpr UiText kSelectReferenceTitle{"选择参考物", "Select reference", "Эталон"};
inline constexpr UiText kRefBoilingWater{"沸水", "Boiling water", "Кипяток"};
inline constexpr UiText kRefIceWater{"冰水", "Ice water", "Ледяная вода"};
inline constexpr UiText kRefSkin{"皮肤", "Skin", "Кожа"};
inline constexpr UiText kRefBlackbody{"黑体", "Blackbody", "Черное тело"};
inline constexpr UiText kBlackbodyTitle{"黑体温度", "Blackbody temp", "T чер. тела"};
inline constexpr UiText kNext{"下一步", "Next", "Далее"};
inline constexpr UiText kCalGuideTitle{"校准说明", "Calibration guide", "Инструкция"};
inline constexpr UiText kStart{"开始", "Start", "Старт"};
inline constexpr UiText kCalGuideBoiling{
    "参考 100°C。对准液面稳定区域，避免蒸汽。开机 3 分钟后开始。",
    "Reference 100°C. Aim at the liquid surface, avoid steam. Wait 3 min after power-on.",
    "Эталон 100°C. Наведите на поверхность жидкости. Подождите 3 мин после включения."};
inline constexpr UiText kCalGuideIce{
    "参考 0°C。碎冰与水充分混合，静置 1 分钟后再测。",
    "Reference 0°C. Mix crushed ice and water, wait 1 min before measuring.",
    "Эталон 0°C. Смешайте лёд и воду, подождите 1 мин."};
inline constexpr UiText kCalGuideSkin{
    "参考 35°C。测手背或前臂，仅作近似，建议用沸水/黑体复核。",
    "Reference 35°C. Measure back of hand or forearm. Approximate only.",
    "Эталон 35°C. Измерьте тыл ладони. Только приблизительно."};
inline constexpr UiText kCalGuideBlackbody{
    "参考 %1°C。确认黑体已达设定温度并稳定。",
    "Reference %1°C. Ensure the blackbody is stable at set point.",
    "Эталон %1°C. Дождитесь стабильности черного тела."};
inline constexpr UiText kCalResultTitle{"校准结果", "Result", "Результат"};
inline constexpr UiText kApply{"应用", "Apply", "Применить"};
inline constexpr UiText kCalAim{"十字对准参考物", "Aim crosshair at target", "Наведите прицел"};
inline constexpr UiText kCalSettling{"稳定 %1", "Settling %1", "Стаб. %1"};
inline constexpr UiText kCalSampling{"采样 %1", "Sampling %1", "Замер %1"};
inline constexpr UiText kCalRef{"参考 %1 °C", "Ref %1 °C", "Эталон %1 °C"};
inline constexpr UiText kCalMeas{"测量 %1 °C", "Meas %1 °C", "Замер %1 °C"};
inline constexpr UiText kCalOffset{"偏移 %1%2 °C", "Offset %1%2 °C", "Смещ. %1%2 °C"};

// The menu item names by item index 0-9.
inline constexpr UiText kMenuItemNames[10] = {
    kMenuReticleColor, kMenuBrightness, kMenuTemperature, kMenuCalibration, kMenuInfo,
    kMenuReset,        kMenuLanguage,   kMenuPowerSave,   kMenuPicture,     kMenuVideo};
// Each language's own name, as the language page shows it.
inline constexpr const char* kLanguageNames[3] = {"中文", "English", "Русский"};

// Temperature calibration: a run that ended without enough readings to give
// an offset, and the one way on from it.
inline constexpr UiText kCalFailed{"测量失败，未取得有效读数。请对准参考物后重试。",
                                   "Measurement failed: no valid readings. Aim at the target "
                                   "and try again.",
                                   "Замер не удался: нет данных. Наведите прицел и повторите."};
inline constexpr UiText kCalBack{"返回", "Back", "Назад"};

// Recording: the card stopped taking the video (full, removed or read-only);
// what was recorded up to then is kept.
inline constexpr UiText kToastRecordingStopped{"存储卡写入失败，录像已停止", "Card error, recording stopped",
                                               "Ошибка карты, запись остановлена"};
}  // namespace texts
