#include "ui/RightTextCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void CRightTextCheckBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton indicator = option;
    indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    // The label's room runs from beside the box to the right edge; the text sits at its end.
    QRect textRoom = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    textRoom.setRight(rect().right());
    const int nFlags = Qt::AlignRight | Qt::AlignVCenter | Qt::TextShowMnemonic;
    painter.drawItemText(textRoom, nFlags, option.palette, isEnabled(), option.text, QPalette::WindowText);

    if (hasFocus())
    {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.boundingRect(textRoom, nFlags, option.text).adjusted(-1, 0, 1, 0) & rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool CRightTextCheckBox::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}
