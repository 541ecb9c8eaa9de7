#include "ui/texts.h"

QString pickText(int lang, const QString& zh, const QString& en, const QString& ru) {
  if (lang == 0) return zh;
  if (lang == 2) return ru;
  return en;
}

QString pickText(int lang, const UiText& text) {
  return pickText(lang, QString::fromUtf8(text.zh), QString::fromUtf8(text.en),
                  QString::fromUtf8(text.ru));
}
