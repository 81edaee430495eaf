#pragma once
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <QtMath>

/// The forms are laid out in pixels at 120 dots per inch. FormScale maps those numbers to the
/// logical resolution of the screen a widget is on, rounding as the layout numbers always were
/// (halves away from zero), so that every form grows and shrinks by the same factor.
class FormScale
{
public:
    static constexpr int DesignDpi = 120;

    explicit FormScale(int logicalDpi) : m_dpi(logicalDpi > 0 ? logicalDpi : DesignDpi) {}
    explicit FormScale(const QWidget* widget) : FormScale(widget->logicalDpiY()) {}

    int Dpi() const { return m_dpi; }

    int operator()(int designPixels) const
    {
        return qRound(double(designPixels) * m_dpi / DesignDpi);
    }
    QSize operator()(QSize s) const { return {(*this)(s.width()), (*this)(s.height())}; }
    QPoint operator()(QPoint p) const { return {(*this)(p.x()), (*this)(p.y())}; }
    QRect operator()(int left, int top, int width, int height) const
    {
        return {(*this)(left), (*this)(top), (*this)(width), (*this)(height)};
    }

private:
    int m_dpi;
};

/// The forms' typeface at the given point size. Points already follow the screen's logical
/// resolution, so fonts need no FormScale. Where the face is missing, a sans-serif face of the
/// desktop stands in for it.
inline QFont FormFont(int pointSize)
{
    QFont font(QStringLiteral("MS Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
