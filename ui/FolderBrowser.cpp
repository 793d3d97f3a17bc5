#include "ui/FolderBrowser.h"

#include "res/StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>

CFolderBrowser::CFolderBrowser(QWidget* pOwner, std::string strRoot, int nTitleId)
    : m_pOwner(pOwner), m_strRoot(std::move(strRoot))
{
    SetTitleId(nTitleId);
}

CFolderBrowser::~CFolderBrowser() = default;

void CFolderBrowser::SetOwner(QWidget* pOwner)
{
    if (m_pBrowser == nullptr)
        m_pOwner = pOwner;
}

void CFolderBrowser::SetRoot(const std::string& strRoot)
{
    if (m_pBrowser == nullptr)
        m_strRoot = strRoot;
}

void CFolderBrowser::SetFlags(unsigned nFlags)
{
    if (m_pBrowser == nullptr)
        m_nFlags = nFlags;
}

bool CFolderBrowser::SetTitleId(int nId)
{
    if (m_pBrowser != nullptr || nId <= 0)
        return false;
    std::string strTitle = LoadResString(static_cast<unsigned>(nId));
    if (strTitle.empty())
        return false;
    m_strTitle = std::move(strTitle);
    return true;
}

bool CFolderBrowser::DoBrowse()
{
    QFileDialog dialog(m_pOwner, QString::fromStdString(m_strTitle), QString::fromStdString(m_strRoot));
    // Qt's own chooser, so that the status line can be added to it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, (m_nFlags & BIF_RETURNONLYFSDIRS) != 0);
    if ((m_nFlags & BIF_STATUSTEXT) != 0)
    {
        if (auto* pGrid = qobject_cast<QGridLayout*>(dialog.layout()))
        {
            m_pStatus = new QLabel(&dialog);
            m_pStatus->setObjectName(QStringLiteral("statusLine"));
            m_pStatus->setTextFormat(Qt::PlainText);
            pGrid->addWidget(m_pStatus, pGrid->rowCount(), 0, 1, pGrid->columnCount());
        }
    }
    QObject::connect(
        &dialog, &QFileDialog::currentChanged, &dialog,
        [this](const QString& path)
        { OnSelChanged(QFileInfo(path).isDir() ? QDir::cleanPath(path).toStdString() : std::string()); });
    m_pBrowser = &dialog;
    QTimer::singleShot(0, &dialog, [this] { OnInitialized(); });

    bool bChosen = false;
    if (dialog.exec() == QDialog::Accepted)
    {
        m_strPath.clear();
        const QStringList selected = dialog.selectedFiles();
        if (!selected.isEmpty() && !selected.front().isEmpty())
        {
            m_strPath = QDir::cleanPath(selected.front()).toStdString();
            bChosen = true;
        }
    }
    m_pBrowser = nullptr;
    m_pStatus = nullptr;
    return bChosen;
}

void CFolderBrowser::SetSelection(const std::string& strPath)
{
    if (m_pBrowser != nullptr)
        m_pBrowser->setDirectory(QString::fromStdString(strPath));
}

void CFolderBrowser::SetStatusText(const std::string& strText)
{
    if (m_pBrowser != nullptr && m_pStatus != nullptr)
        m_pStatus->setText(QString::fromStdString(strText));
}

CInitialFolderBrowser::CInitialFolderBrowser(QWidget* pOwner, int nTitleId)
    : CFolderBrowser(pOwner, {}, nTitleId)
{
}

CInitialFolderBrowser::~CInitialFolderBrowser() = default;

void CInitialFolderBrowser::OnInitialized()
{
    SetSelection(m_strInitialFolder);
    SetStatusText(m_strInitialFolder);
}

void CInitialFolderBrowser::OnSelChanged(const std::string& strPath)
{
    SetStatusText(strPath);
}
