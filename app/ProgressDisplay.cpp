#include "app/ProgressDisplay.h"

#include "app/MainDlgIds.h"
#include "crawl/CrawlJob.h"
#include "run/ProgressText.h"
#include "ui/TemplateDialog.h"

#include <QListWidget>
#include <QProgressBar>
#include <algorithm>

CProgressDisplay::CProgressDisplay(CTemplateDialog& dialog) : m_dialog(dialog) {}

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
    m_dialog.SetDlgItemText(IDC_PENDING, "0");
    m_dialog.SetDlgItemText(IDC_PROCESSED, "0");
    m_dialog.Item<QListWidget>(IDC_PENDING_LIST)->clear();
}

void CProgressDisplay::ShowNoRun()
{
    ClearTexts(true);
    m_strLastCurrent.clear();
}

void CProgressDisplay::Show(const CCrawlJob& job)
{
    ShowRate(job.GetRate());
    ShowCounts(job);

    const std::string strCurrent = job.GetCurrentUrl();
    if (strCurrent != m_strLastCurrent)
    {
        m_strLastCurrent = strCurrent;
        ClearTexts(false);
        m_dialog.SetDlgItemText(IDC_CURRENT, QString::fromStdString(strCurrent));
    }
    else
    {
        ShowFileProgress(job);
    }
    ShowPendingLines(job);
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

void CProgressDisplay::ShowCounts(const CCrawlJob& job)
{
    const long nPending = job.GetPendingCount();
    if (nPending != m_nLastPending)
    {
        m_nLastPending = nPending;
        m_dialog.SetDlgItemText(IDC_PENDING, QString::number(nPending));
    }
    const long nProcessed = job.GetProcessedCount();
    if (nProcessed != m_nLastProcessed)
    {
        m_nLastProcessed = nProcessed;
        m_dialog.SetDlgItemText(IDC_PROCESSED, QString::number(nProcessed));
    }
}

void CProgressDisplay::ShowFileProgress(const CCrawlJob& job)
{
    m_strProgress.clear();
    m_nPercent = 0;
    const long long nExpected = job.GetBytesExpected();
    if (nExpected != 0)
    {
        const long long nReceived = job.GetBytesReceived();
        m_strProgress = ProgressText::FileProgress(nReceived, nExpected);
        // 64 bits: a 32-bit product overflows above 21,474,836 bytes.
        m_nPercent = int(std::clamp(100 * nReceived / nExpected, 0LL, 100LL));
    }
    if (m_strProgress != m_strLastProgress)
    {
        SetProgressPos(m_nPercent);
        m_dialog.SetDlgItemText(IDC_FILE_PROGRESS, QString::fromStdString(m_strProgress));
        m_strLastProgress = m_strProgress;
    }
}

void CProgressDisplay::ShowPendingLines(const CCrawlJob& job)
{
    if (job.GetPendingSerial() == m_nLastPendingSerial)
        return;
    const CUrlQueue::Shown shown = job.GetPendingLines();
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
