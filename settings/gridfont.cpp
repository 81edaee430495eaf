#include "gridfont.h"

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QPalette>

#include <array>

namespace {

constexpr quint32 SystemColorFlag = 0x80000000;
// Qt refuses sizes it cannot draw; a hand-edited size is still kept as stored.
constexpr int LargestSize = 4096;

// The palette roles that play the parts of the Windows system colours, by system colour index.
constexpr std::array<QPalette::ColorRole, 31> SystemColorRoles = {
    QPalette::Button,          // 0 scroll bar
    QPalette::Window,          // 1 desktop
    QPalette::Highlight,       // 2 active caption
    QPalette::Mid,             // 3 inactive caption
    QPalette::Window,          // 4 menu
    QPalette::Base,            // 5 window
    QPalette::Shadow,          // 6 window frame
    QPalette::WindowText,      // 7 menu text
    QPalette::WindowText,      // 8 window text
    QPalette::HighlightedText, // 9 caption text
    QPalette::Window,          // 10 active border
    QPalette::Window,          // 11 inactive border
    QPalette::Mid,             // 12 application workspace
    QPalette::Highlight,       // 13 highlight
    QPalette::HighlightedText, // 14 highlight text
    QPalette::Button,          // 15 button face
    QPalette::Dark,            // 16 button shadow
    QPalette::PlaceholderText, // 17 grey text
    QPalette::ButtonText,      // 18 button text
    QPalette::WindowText,      // 19 inactive caption text
    QPalette::Light,           // 20 button highlight
    QPalette::Shadow,          // 21 3D dark shadow
    QPalette::Midlight,        // 22 3D light
    QPalette::ToolTipText,     // 23 tool tip text
    QPalette::ToolTipBase,     // 24 tool tip background
    QPalette::WindowText,      // 25 (unused)
    QPalette::Link,            // 26 hot-tracked item
    QPalette::Highlight,       // 27 active caption gradient
    QPalette::Mid,             // 28 inactive caption gradient
    QPalette::Highlight,       // 29 highlighted menu item
    QPalette::Window,          // 30 menu bar
};

int PixelHeight(int size, qreal logicalDpi)
{
    const qreal height = -qreal(size) * logicalDpi / 72;
    return qBound(1, qRound(qMin(height, qreal(LargestSize))), LargestSize);
}

int StoredSize(const QFont& font, qreal logicalDpi)
{
    if (font.pixelSize() > 0)
        return -qRound(font.pixelSize() * 72 / logicalDpi);
    return qRound(font.pointSizeF());
}

bool IsFixedPitch(const QFont& font)
{
    return font.fixedPitch() || QFontInfo(font).fixedPitch();
}

} // namespace

GridFontSettings DesignedGridFont()
{
    GridFontSettings font;
    font.name = "MS Sans Serif";
    // A 13-pixel character cell at 120 pixels per inch: 13 * 72 / 120 = 7.8 points.
    font.size = -8;
    return font;
}

QFont ToQFont(const GridFontSettings& font, qreal logicalDpi)
{
    QFont qfont;
    if (!font.name.isEmpty())
        qfont.setFamily(QString::fromLocal8Bit(font.name));
    // A Windows font given by its character-cell height reports its size negated. Qt knows only
    // the character height, so the cell height stands in for it.
    if (font.size > 0)
        qfont.setPointSize(qMin(font.size, LargestSize));
    else if (font.size < 0)
        qfont.setPixelSize(PixelHeight(font.size, logicalDpi));
    if (font.pitch == 2) {
        qfont.setFixedPitch(true);
        qfont.setStyleHint(QFont::Monospace);
    }
    qfont.setBold(font.bold);
    qfont.setItalic(font.italic);
    qfont.setUnderline(font.underline);
    qfont.setStrikeOut(font.strikeOut);
    return qfont;
}

QColor ToQColor(quint32 color, const QPalette& palette)
{
    if (color & SystemColorFlag) {
        const quint32 index = color & 0xFF;
        return palette.color(index < SystemColorRoles.size() ? SystemColorRoles[index]
                                                             : QPalette::WindowText);
    }
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

quint32 FromQColor(const QColor& color, quint32 previous, const QPalette& palette)
{
    if (ToQColor(previous, palette).rgb() == color.rgb())
        return previous;
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

GridFontSettings FromQFont(const QFont& font, const QColor& color, const GridFontSettings& previous,
                           const QPalette& palette, qreal logicalDpi)
{
    GridFontSettings result = previous;
    const QFont shown = ToQFont(previous, logicalDpi);
    if (font.family() != shown.family())
        result.name = font.family().toLocal8Bit();
    if (font.pixelSize() != shown.pixelSize() || font.pointSizeF() != shown.pointSizeF())
        result.size = StoredSize(font, logicalDpi);
    // Qt does not tell a default pitch from a variable one; only a change to or from a fixed-pitch
    // font changes what is stored.
    const bool fixed = IsFixedPitch(font);
    if (fixed != IsFixedPitch(shown))
        result.pitch = fixed ? 2 : 1;
    result.color = FromQColor(color, previous.color, palette);
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    return result;
}
