#pragma once
// Texts that must fit their box in every language: the styles of the pages
// give a font size before scaling, and the Russian (sometimes the English)
// texts are wider than the Chinese ones they were drawn for. These helpers
// take the scaled size and step it down until the text fits, never below
// the 10 px floor of scaledPx.
#include <QSize>
#include <QString>

class QFont;
class QWidget;

// The largest pixel size <= scaledPx(px, scale) at which `text` (bold when
// the style says font-weight 600 or more) fits `box`: each line within the
// width without wrapping when `wrap` is false, or word-wrapped within the
// width and height when it is true.
int fittedPx(const QWidget* widget, const QString& text, int px, const QString& css, double scale,
             const QSize& box, bool wrap);

// Sets the style "font-size:<fitted>px; css" on the widget for its text.
void setFittedStyle(QWidget* widget, const QString& text, int px, const QString& css, double scale,
                    const QSize& box, bool wrap = false);
