#pragma once

#include <QColor>
#include <QObject>
#include <string>

class IShellLauncher;
class QLabel;
class QPoint;
class QWidget;

// The mail and web link labels of one window. The labels take no mouse input, so the window's
// own mouse messages drive them: blue text, white while the pointer is over a label, and a click
// opens "mailto:" or the web prefix followed by the label's text.
class CLinkLabels : public QObject
{
    Q_OBJECT

public:
    CLinkLabels(QWidget& window, QLabel* pMailLabel, QLabel* pWebLabel, std::string strWebPrefix,
                IShellLauncher& launcher);

    void OnMouseMove(const QPoint& point);
    void OnLButtonDown(const QPoint& point);
    void ClearHover();

    QColor TextColor(const QLabel* pLabel) const;
    bool IsMailHover() const { return m_bMailHover; }
    bool IsWebHover() const { return m_bWebHover; }

    static const QColor kNormalColor;
    static const QColor kHoverColor;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    static bool Contains(const QLabel* pLabel, const QPoint& point);
    void Paint(QLabel* pLabel);

    QWidget& m_window;
    QLabel* m_pMailLabel;
    QLabel* m_pWebLabel;
    std::string m_strWebPrefix;
    IShellLauncher& m_launcher;
    bool m_bMailHover = false;
    bool m_bWebHover = false;
};
