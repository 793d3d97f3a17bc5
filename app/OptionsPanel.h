#pragma once

#include <cstdint>

class IEngineContext;
class CTemplateDialog;
class QMenu;

// The main window's options panel. It shows the stored options when it opens and stores each
// control's value the moment it changes, so that the next run, which reads the store itself, uses
// what the panel shows. The dialog of further values, opened from the window's own menu, stores
// its values the same way.
class COptionsPanel
{
public:
    COptionsPanel(CTemplateDialog& dialog, IEngineContext& context);

    void Show(bool bShow);
    void ReadStoredValues();

    // A check box's state, stored as 0 or 1 under `pszValue`.
    void StoreCheck(int nId, const char* pszValue);
    void StoreFileCheck();
    void StoreUseFilters();
    void StoreRetries();
    void StoreDepth();
    // The filter dialog; an empty filter turns the filters off.
    void EditFilter();

    // The entry that opens the dialog of further values, disabled while a run goes on.
    void AddMoreOptions(QMenu& menu, bool bEnabled);

private:
    void Store(std::uint32_t nValue, const char* pszValue);

    CTemplateDialog& m_dialog;
    IEngineContext& m_context;
};
