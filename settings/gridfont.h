#pragma once
#include <QByteArray>
#include <QtGlobal>

class QColor;
class QFont;
class QPalette;

/// The grid font as it is stored: the fields of a Windows font description, kept as they are even
/// where Qt has no use for them (the character set), so that what is loaded is saved unchanged.
struct GridFontSettings
{
    QByteArray name;            // face name, 8-bit text
    int charset = 1;            // character-set code, 1 = default character set
    quint32 color = 0x80000008; // 0x00BBGGRR, or 0x80000000 + system colour index
    int pitch = 1;              // 0 default, 1 variable, 2 fixed
    int size = 0;               // points; negative: a character-cell height, see ToQFont
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    friend bool operator==(const GridFontSettings&, const GridFontSettings&) = default;
};

/// The grid font until one is chosen: the main window's designed font, "MS Sans Serif" with a
/// character-cell height of 13 pixels at 120 pixels per inch.
GridFontSettings DesignedGridFont();

/// The Qt font for `font` on a display of `logicalDpi`: a positive size is in points, a negative
/// one a character-cell height of -size * logicalDpi / 72 pixels, rounded; pitch 2 asks for a
/// fixed-pitch font. An empty face name leaves Qt's default family.
QFont ToQFont(const GridFontSettings& font, qreal logicalDpi);

/// The colour `color` stands for: 0x00BBGGRR, or a system colour (top bit set, index in the low
/// byte) taken from the palette role that plays its part; an unknown index gives WindowText.
QColor ToQColor(quint32 color, const QPalette& palette);

/// The stored colour for `color`: `previous` when that already shows as `color`, so a system
/// colour stays one, else the explicit 0x00BBGGRR.
quint32 FromQColor(const QColor& color, quint32 previous, const QPalette& palette);

/// The stored font for a font and colour chosen in Qt, starting from `previous`: every field the
/// choice leaves as ToQFont(previous) and ToQColor(previous.color) show it keeps its stored value,
/// the character set always, so a font saved without change round-trips exactly. A size set in
/// pixels is stored as a negative size, one in points as a positive size, rounded.
GridFontSettings FromQFont(const QFont& font, const QColor& color, const GridFontSettings& previous,
                           const QPalette& palette, qreal logicalDpi);
