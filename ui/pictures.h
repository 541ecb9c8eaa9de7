#pragma once
// Pictures of the interface. They are compiled into the program under
// ":/pictures/"; during development a pictures/ folder next to the program or
// in the current directory stands in for a missing resource.
#include <QIcon>
#include <QPixmap>
#include <QString>

// ":/pictures/<name>", else the first existing file pictures/<name> under the
// application's directory, under the current directory, or relative to it.
// A pixmap from a file has device pixel ratio 1.0. Null when nothing loads.
QPixmap loadPicture(const QString& name);

// The picture folder of a language index: "zh" for 0, "ru" for 2, "en" for
// any other value.
QString languagePictureDir(int lang);
// A language-specific picture, "<dir>/<name>" with the same fallbacks.
QPixmap loadLanguagePicture(int lang, const QString& name);

// Menu items 0-9 and their icon keys ("color" ... "video"); empty past 9.
constexpr int kMenuItemCount = 10;
QString menuItemKey(int item);
// The icon of a menu item at exactly size x size pixels (the artwork is
// stretched if it is not square); an empty icon for an unknown item or a
// missing picture.
QIcon loadMenuIcon(int item, int size, bool selected);

// The on/off switch picture ("temp_on.png", "temp_off.png").
QPixmap loadToggleIcon(bool on);
