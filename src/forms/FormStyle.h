#pragma once
// The look the windows share: the default form font, the classic named
// colours the captions use, and the pictures compiled into the program.
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

namespace aktarim {

inline constexpr QRgb kColourBlue = 0xFF0000FF;
inline constexpr QRgb kColourMaroon = 0xFF800000;
inline constexpr QRgb kColourRed = 0xFFFF0000;
inline constexpr QRgb kColourNavy = 0xFF000080;
inline constexpr QRgb kColourGreen = 0xFF008000;

// The form font: "MS Sans Serif" 8 points on Windows; elsewhere Liberation
// Sans (fonts-liberation2) at 10 pixels, whose widths are close to it, so
// that texts fit the columns and buttons made for it.
QFont DefaultFormFont();
// The family DefaultFormFont asks for on this platform.
QString FormFontFamily();
// The form font at a size given in the form's points (8 is the default),
// scaled like DefaultFormFont where the family is not the original.
QFont FormFont(int points, bool bold);
// A caption font: the default family at a height in pixels.
QFont CaptionFont(int pixelHeight, bool bold);
// Enter and Return press the push button that has the focus, in every
// window under root (Space already does); a button without the focus is
// never pressed by them.
void EnterPressesFocusedButton(QWidget* root);
// Text colour of a button, label or check box.
void SetTextColour(QWidget* widget, QColor colour);

// Makes the compiled-in pictures available (idempotent).
void InitFormResources();
// One of the pictures under :/pictures, drawn at the given size.
QPixmap RenderPicture(const QString& name, QSize size);
// The same picture as an icon that draws crisply at any size.
QIcon PictureIcon(const QString& name, QSize size);

}  // namespace aktarim
