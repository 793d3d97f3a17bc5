#pragma once

#include <QString>
#include <cstdint>
#include <string>

class CTemplateDialog;
struct CrawlProgress;

// The main window's progress panel during a run: the current address, the file's progress, the
// rate, the two counts and the pending list. It remembers what it last showed, so that a control
// is only rewritten when its text changes and a read-only field keeps the start of its text in
// view. Runs on the user-interface thread only and shows the snapshots the job gives.
class CProgressDisplay
{
public:
    explicit CProgressDisplay(CTemplateDialog& dialog);

    // A new run: nothing of the last one is remembered, the counts read 0 and the list is empty.
    void Reset();
    // One tick of the progress timer while a run is under way.
    void Show(const CrawlProgress& progress);
    // A tick with no run: the texts are emptied.
    void ShowNoRun();

private:
    // The emptied texts of a new address; with `bCurrentToo` the address itself as well.
    void ClearTexts(bool bCurrentToo);
    void ShowRate(double dRate);
    void ShowCounts(const CrawlProgress& progress);
    // A count's text, and its name with the number for screen readers, which announce a control
    // by its name alone.
    void ShowCount(int nId, const QString& strName, long nCount);
    void ShowFileProgress(const CrawlProgress& progress);
    void ShowPendingLines(const CrawlProgress& progress);
    void SetProgressPos(int nPercent);

    CTemplateDialog& m_dialog;
    // The two counts' names as the template gives them.
    QString m_strProcessedName;
    QString m_strPendingName;

    std::string m_strLastCurrent;
    std::string m_strProgress;
    std::string m_strLastProgress;
    int m_nPercent = 0;
    long m_nLastProcessed = 0;
    long m_nLastPending = 0;
    double m_dLastRate = 0;
    // The serial of the pending lines list box 1025 shows.
    std::uint64_t m_nLastPendingSerial = 0;
};
