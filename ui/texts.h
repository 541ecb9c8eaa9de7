#pragma once
// Every text of the interface, as triples (Chinese, English, Russian), in one
// place. The language index selects: 0 Chinese, 2 Russian, anything else
// English.
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
}  // namespace texts
