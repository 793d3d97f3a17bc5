#include "app/ProgressDisplay.h"

#include "app/MainDlgIds.h"
#include "crawl/CrawlProgress.h"
#include "run/ProgressText.h"
#include "ui/TemplateDialog.h"

#include <QListWidget>
#include <QProgressBar>
#include <algorithm>

CProgressDisplay::CProgressDisplay(CTemplateDialog& dialog)
    : m_dialog(dialog), m_strProcessedName(dialog.GetDlgItem(IDC_PROCESSED)->accessibleName()),
      m_strPendingName(dialog.GetDlgItem(IDC_PENDING)->accessibleName())
{
}

void CProgressDisplay::Reset()
{
    m_nLastPending = 0;
    m_nLastProcessed = 0;
    m_strLastCurrent.clear();
    m_strLastProgress.clear();
    m_dLastRate = 0;
    m_nLastPendingSerial = 0;
    m_dialog.SetDlgItemText(IDC_CURRENT, {});
    m_dialog.SetDlgItemText(IDC_FILE_PROGRESS, {});
    auto* pProgress = m_dialog.Item<QProgressBar>(IDC_PROGRESS);
    pProgress->setRange(0, 100);
    pProgress->setValue(0);
    // The counts of an earlier run would otherwise stay until the new run's counts differ from 0.
    ShowCount(IDC_PENDING, m_strPendingName, 0);
    ShowCount(IDC_PROCESSED, m_strProcessedName, 0);
    m_dialog.Item<QListWidget>(IDC_PENDING_LIST)->clear();
}

void CProgressDisplay::ShowNoRun()
{
    ClearTexts(true);
    m_strLastCurrent.clear();
}

void CProgressDisplay::Show(const CrawlProgress& progress)
{
    ShowRate(progress.dRate);
    ShowCounts(progress);

    if (progress.strCurrentUrl != m_strLastCurrent)
    {
        m_strLastCurrent = progress.strCurrentUrl;
        ClearTexts(false);
        m_dialog.SetDlgItemText(IDC_CURRENT, QString::fromStdString(m_strLastCurrent));
    }
    else
    {
        ShowFileProgress(progress);
    }
    ShowPendingLines(progress);
}

void CProgressDisplay::ClearTexts(bool bCurrentToo)
{
    SetProgressPos(0);
    m_dialog.SetDlgItemText(IDC_FILE_PROGRESS, {});
    // The text shown is empty now: the next progress text must be written even if it equals the
    // last one (two files of the same size).
    m_strLastProgress.clear();
    m_dialog.SetDlgItemText(IDC_RATE, {});
    if (bCurrentToo)
        m_dialog.SetDlgItemText(IDC_CURRENT, {});
}

void CProgressDisplay::ShowRate(double dRate)
{
    if (dRate == m_dLastRate)
        return;
    m_dLastRate = dRate;
    m_dialog.SetDlgItemText(IDC_RATE, QString::fromStdString(ProgressText::Rate(dRate)));
}

void CProgressDisplay::ShowCounts(const CrawlProgress& progress)
{
    if (progress.nPending != m_nLastPending)
    {
        m_nLastPending = progress.nPending;
        ShowCount(IDC_PENDING, m_strPendingName, m_nLastPending);
    }
    if (progress.nProcessed != m_nLastProcessed)
    {
        m_nLastProcessed = progress.nProcessed;
        ShowCount(IDC_PROCESSED, m_strProcessedName, m_nLastProcessed);
    }
}

void CProgressDisplay::ShowCount(int nId, const QString& strName, long nCount)
{
    const QString strCount = QString::number(nCount);
    m_dialog.SetDlgItemText(nId, strCount);
    m_dialog.GetDlgItem(nId)->setAccessibleName(strName.isEmpty() ? strCount : strName + ' ' + strCount);
}

void CProgressDisplay::ShowFileProgress(const CrawlProgress& progress)
{
    m_strProgress.clear();
    m_nPercent = 0;
    const long long nExpected = progress.nBytesExpected;
    if (nExpected != 0)
    {
        const long long nReceived = progress.nBytesReceived;
        m_strProgress = ProgressText::FileProgress(nReceived, nExpected);
        // 64 bits: a 32-bit product overflows above 21,474,836 bytes.
        m_nPercent = int(std::clamp(100 * nReceived / nExpected, 0LL, 100LL));
    }
    // With several transfers the figures are the oldest one's.
    if (const std::string strUnderWay = ProgressText::UnderWay(progress.nUnderWay); !strUnderWay.empty())
        m_strProgress += (m_strProgress.empty() ? "" : " ") + strUnderWay;
    if (m_strProgress != m_strLastProgress)
    {
        SetProgressPos(m_nPercent);
        m_dialog.SetDlgItemText(IDC_FILE_PROGRESS, QString::fromStdString(m_strProgress));
        m_strLastProgress = m_strProgress;
    }
}

void CProgressDisplay::ShowPendingLines(const CrawlProgress& progress)
{
    const CUrlQueue::Shown& shown = progress.pendingLines;
    if (shown.serial == m_nLastPendingSerial)
        return;
    auto* pList = m_dialog.Item<QListWidget>(IDC_PENDING_LIST);
    pList->clear();
    for (const std::string& line : shown.lines)
        pList->addItem(QString::fromStdString(line));
    m_nLastPendingSerial = shown.serial;
}

void CProgressDisplay::SetProgressPos(int nPercent)
{
    // A progress bar clamps its position to its range; a server that sends more than it announced
    // must not leave the bar behind.
    m_dialog.Item<QProgressBar>(IDC_PROGRESS)->setValue(std::clamp(nPercent, 0, 100));
}
