#pragma once

#include <string>

class QFileDialog;
class QLabel;
class QWidget;

enum BrowseFlags : unsigned
{
    BIF_RETURNONLYFSDIRS = 0x1,
    BIF_STATUSTEXT = 0x4,
};

// One folder-browse request over a Qt directory chooser: owner, root, title, flags, and the
// chosen folder's path once confirmed. Derived classes react when the chooser is ready and when
// the selection changes; the setters are ignored while the chooser is open.
class CFolderBrowser
{
public:
    CFolderBrowser(QWidget* pOwner, std::string strRoot, int nTitleId);
    virtual ~CFolderBrowser() = 0;
    CFolderBrowser(const CFolderBrowser&) = delete;
    CFolderBrowser& operator=(const CFolderBrowser&) = delete;

    void SetOwner(QWidget* pOwner);
    void SetRoot(const std::string& strRoot);
    void SetFlags(unsigned nFlags);
    // False for an id of 0 or less, or one with no string.
    bool SetTitleId(int nId);

    // Runs the chooser modally; true when a folder was confirmed and its path obtained.
    bool DoBrowse();
    const std::string& GetPath() const { return m_strPath; }

    // Only while the chooser is open.
    void SetSelection(const std::string& strPath);
    void SetStatusText(const std::string& strText);

    const std::string& GetTitle() const { return m_strTitle; }
    unsigned GetFlags() const { return m_nFlags; }
    // The open chooser and its status line, or null.
    QFileDialog* GetBrowserWindow() const { return m_pBrowser; }
    QLabel* GetStatusLine() const { return m_pStatus; }

protected:
    virtual void OnInitialized() {}
    // `strPath` is the selected folder's path, empty when it has none.
    virtual void OnSelChanged(const std::string& strPath) { (void)strPath; }

private:
    std::string m_strTitle;
    QWidget* m_pOwner;
    std::string m_strRoot;
    unsigned m_nFlags = 0;
    std::string m_strPath;
    QFileDialog* m_pBrowser = nullptr;
    QLabel* m_pStatus = nullptr;
};

// Opens at a given folder and keeps the status line on the selected folder's path.
class CInitialFolderBrowser : public CFolderBrowser
{
public:
    CInitialFolderBrowser(QWidget* pOwner, int nTitleId);
    ~CInitialFolderBrowser() override;

    void SetInitialFolder(const std::string& strFolder) { m_strInitialFolder = strFolder; }

protected:
    void OnInitialized() override;
    void OnSelChanged(const std::string& strPath) override;

private:
    std::string m_strInitialFolder;
};
