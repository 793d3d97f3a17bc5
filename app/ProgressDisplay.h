#pragma once

#include <cstdint>
#include <string>

class CCrawlJob;
class CTemplateDialog;

// The main window's progress panel during a run: the current address, the file's progress, the
// rate, the two counts and the pending list. It remembers what it last showed, so that a control
// is only rewritten when its text changes and a read-only field keeps the start of its text in
// view. Runs on the user-interface thread only; the job is read through its accessors.
class CProgressDisplay
{
public:
    explicit CProgressDisplay(CTemplateDialog& dialog);

    // A new run: nothing of the last one is remembered, the counts read 0 and the list is empty.
    void Reset();
    // One tick of the progress timer while `job` runs.
    void Show(const CCrawlJob& job);
    // A tick with no run: the texts are emptied.
    void ShowNoRun();

private:
    // The emptied texts of a new address; with `bCurrentToo` the address itself as well.
    void ClearTexts(bool bCurrentToo);
    void ShowRate(double dRate);
    void ShowCounts(const CCrawlJob& job);
    void ShowFileProgress(const CCrawlJob& job);
    void ShowPendingLines(const CCrawlJob& job);
    void SetProgressPos(int nPercent);

    CTemplateDialog& m_dialog;

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
