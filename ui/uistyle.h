#pragma once
// Scaled metrics and styles shared by every page and by the main window's
// own labels: all font sizes in the interface are given before scaling.
#include <QString>

// round(px x scale), halves away from zero, and at least 10.
int scaledPx(int px, double scale);
// "font-size:%1px; %2" with the scaled size.
QString styleWithFont(int px, const QString& css, double scale);

// The shared look of the pages. Font sizes are before scaling; the styles go
// through styleWithFont with them.
namespace look {
inline constexpr char kAccent[] = "#4ec6af";
inline constexpr int kTitlePx = 15;
inline constexpr char kTitleCss[] = "color:#ffffff; font-weight:600;";
inline constexpr int kBodyPx = 13;
inline constexpr char kBodyCss[] = "color:#ffffff;";
inline constexpr int kSecondaryPx = 16;  // also the chevron ">"
inline constexpr char kSecondaryCss[] = "color:#9aa0a6;";
inline constexpr int kHintPx = 13;
inline constexpr char kHintCss[] = "color:#d0d0d0;";
inline constexpr char kValueCss[] = "color:#4ec6af; font-weight:600;";
inline constexpr char kWarningCss[] = "color:#f0c674;";
inline constexpr char kPrimaryButtonCss[] =
    "QPushButton{background:#4ec6af; border:none; border-radius:8px; color:#ffffff; "
    "font-weight:600;}QPushButton:pressed{background:#3aac94;}";
inline constexpr char kSecondaryButtonCss[] =
    "QPushButton{background:transparent; border:2px solid #9aa0a6; border-radius:8px; "
    "color:#ffffff;}QPushButton:pressed{background:#2a2a2a;}";
inline constexpr char kRowButtonCss[] =
    "QPushButton{background:transparent; border:none; padding:0; margin:0; "
    "outline:none;}QPushButton:pressed{background:transparent; border:none;}";
}  // namespace look
