#include "ui/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

namespace
{

// Windows rounds with MulDiv: (a * b + c / 2) / c for positive values.
int MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    const long long product = static_cast<long long>(nNumber) * nNumerator;
    const long long half = nDenominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / nDenominator : (product - half) / nDenominator);
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width Windows uses for dialogs is that of the 52 Latin letters, rounded.
    const int nLetters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (nLetters / 26 + 1) / 2;
    m_nBaseY = metrics.height();
}

int CDialogUnits::ToPixelsX(int nUnits) const
{
    return MulDiv(nUnits, m_nBaseX, 4);
}

int CDialogUnits::ToPixelsY(int nUnits) const
{
    return MulDiv(nUnits, m_nBaseY, 8);
}

QRect CDialogUnits::ToPixels(const QRect& units) const
{
    // Like the dialog manager, position and size are converted each on its own.
    return QRect(ToPixelsX(units.x()), ToPixelsY(units.y()), ToPixelsX(units.width()),
                 ToPixelsY(units.height()));
}

QSize CDialogUnits::ToPixels(const QSize& units) const
{
    return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

QFont CDialogUnits::DialogFont()
{
    QFont font = QApplication::font();
    font.setFamilies({QApplication::font().family(), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(8);
    return font;
}
