#include "ui/LinkLabels.h"

#include "platform/gui/ShellLauncher.h"

#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

const QColor CLinkLabels::kNormalColor(0, 0, 255);
const QColor CLinkLabels::kHoverColor(255, 255, 255);

CLinkLabels::CLinkLabels(QWidget& window, QLabel* pMailLabel, QLabel* pWebLabel, std::string strWebPrefix,
                         IShellLauncher& launcher)
    : QObject(&window), m_window(window), m_pMailLabel(pMailLabel), m_pWebLabel(pWebLabel),
      m_strWebPrefix(std::move(strWebPrefix)), m_launcher(launcher)
{
    m_window.setMouseTracking(true);
    m_window.installEventFilter(this);
    // The desktop's font may be wider than the one the rectangles were drawn for: an address
    // cut short would be useless, so a label grows to show its whole text.
    for (QLabel* pLabel : {m_pMailLabel, m_pWebLabel})
    {
        if (pLabel != nullptr && pLabel->sizeHint().width() > pLabel->width())
            pLabel->resize(pLabel->sizeHint().width(), pLabel->height());
    }
    Paint(m_pMailLabel);
    Paint(m_pWebLabel);
}

void CLinkLabels::OnMouseMove(const QPoint& point)
{
    const bool bWasMail = m_bMailHover;
    const bool bWasWeb = m_bWebHover;
    m_bMailHover = Contains(m_pMailLabel, point);
    m_bWebHover = Contains(m_pWebLabel, point);
    if (bWasMail != m_bMailHover)
        Paint(m_pMailLabel);
    if (bWasWeb != m_bWebHover)
        Paint(m_pWebLabel);
}

void CLinkLabels::OnLButtonDown(const QPoint& point)
{
    std::string strTarget;
    if (Contains(m_pMailLabel, point))
        strTarget = "mailto:" + m_pMailLabel->text().toStdString();
    else if (Contains(m_pWebLabel, point))
        strTarget = m_strWebPrefix + m_pWebLabel->text().toStdString();
    if (!strTarget.empty())
        m_launcher.Open(strTarget);
}

void CLinkLabels::ClearHover()
{
    m_bMailHover = false;
    m_bWebHover = false;
    Paint(m_pMailLabel);
    Paint(m_pWebLabel);
}

QColor CLinkLabels::TextColor(const QLabel* pLabel) const
{
    const bool bHover = (pLabel == m_pMailLabel && m_bMailHover) || (pLabel == m_pWebLabel && m_bWebHover);
    return bHover ? kHoverColor : kNormalColor;
}

bool CLinkLabels::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == &m_window)
    {
        if (pEvent->type() == QEvent::MouseMove)
            OnMouseMove(static_cast<QMouseEvent*>(pEvent)->position().toPoint());
        else if (pEvent->type() == QEvent::MouseButtonPress &&
                 static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton)
            OnLButtonDown(static_cast<QMouseEvent*>(pEvent)->position().toPoint());
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool CLinkLabels::Contains(const QLabel* pLabel, const QPoint& point)
{
    return pLabel != nullptr && pLabel->geometry().contains(point);
}

void CLinkLabels::Paint(QLabel* pLabel)
{
    if (pLabel == nullptr)
        return;
    QPalette palette = pLabel->palette();
    palette.setColor(QPalette::WindowText, TextColor(pLabel));
    pLabel->setPalette(palette);
}
