#include "app/MainDlg.h"

// The options panel's handlers. Each stores its control's value as soon as it changes; the
// options work completes them.

void CMainDlg::OnContinueOnError() {}

void CMainDlg::OnNoNameAsIndex() {}

void CMainDlg::OnStealth() {}

void CMainDlg::OnFileCheckChange() {}

void CMainDlg::OnUseFilters()
{
    EnableItem(IDC_FILTER, IsDlgButtonChecked(IDC_USE_FILTERS) == 1);
}

void CMainDlg::OnRetriesChange() {}

void CMainDlg::OnDepthChange() {}

void CMainDlg::OnFilter() {}
