#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog units to pixels from a font, as Windows does: a horizontal unit is a quarter of
// the font's average character width, a vertical unit an eighth of its character height.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

    // The font the templates' "MS Sans Serif" 8 stands for here: the desktop's own face at a
    // comparable size, falling back to a face that has the Chinese labels.
    static QFont DialogFont();

private:
    int m_nBaseX;
    int m_nBaseY;
};
