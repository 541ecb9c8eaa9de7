#include "ui/textfit.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QWidget>
#include <climits>

#include "ui/uistyle.h"

namespace {

bool isBold(const QString& css) {
  static const QRegularExpression kWeight(QStringLiteral("font-weight\\s*:\\s*(\\d+|bold)"));
  const QRegularExpressionMatch m = kWeight.match(css);
  if (!m.hasMatch()) return false;
  return m.captured(1) == QLatin1String("bold") || m.captured(1).toInt() >= 600;
}

bool fits(const QFont& font, const QString& text, const QSize& box, bool wrap) {
  const QFontMetrics fm(font);
  if (wrap) {
    const QRect r = fm.boundingRect(QRect(0, 0, box.width(), INT_MAX / 2),
                                    Qt::TextWordWrap | Qt::AlignLeft, text);
    return r.width() <= box.width() && r.height() <= box.height();
  }
  const QStringList lines = text.split(QLatin1Char('\n'));
  if (fm.height() * lines.size() > box.height()) return false;
  for (const QString& line : lines)
    if (fm.horizontalAdvance(line) > box.width()) return false;
  return true;
}

}  // namespace

int fittedPx(const QWidget* widget, const QString& text, int px, const QString& css, double scale,
             const QSize& box, bool wrap) {
  int size = scaledPx(px, scale);
  QFont font = widget ? QApplication::font(widget) : QApplication::font();
  font.setBold(isBold(css));
  for (; size > 10; --size) {
    font.setPixelSize(size);
    if (fits(font, text, box, wrap)) break;
  }
  return size;
}

void setFittedStyle(QWidget* widget, const QString& text, int px, const QString& css, double scale,
                    const QSize& box, bool wrap) {
  const int size = fittedPx(widget, text, px, css, scale, box, wrap);
  widget->setStyleSheet(QStringLiteral("font-size:%1px; %2").arg(size).arg(css));
}
