#pragma once

#include <QCheckBox>

// A check box whose text is right-aligned in its rectangle, the box staying at the left edge;
// as with the dialog manager's check boxes, the whole rectangle takes the click.
class CRightTextCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    bool hitButton(const QPoint& pos) const override;
};
