// CDialog: modal and modeless dialogs from a resource id or an in-memory template.
#pragma once

#include "AfxDefs.h"
#include "Wnd.h"

#include <vector>

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modeless. Without a parent the dialog is owned by the main window.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    virtual BOOL Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    virtual BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
    BOOL CreateIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd = nullptr);

    // Modal. The template (and parent) given here replace those of the constructor.
    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
    BOOL InitModalIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd = nullptr);
    // Runs the dialog in the library's modal loop: the owner is disabled, queued
    // messages go through the PreTranslateMessage walk and dialog navigation,
    // the dialog gets WM_KICKIDLE while the queue is empty and is shown at the
    // first idle moment. Returns the EndDialog result, or -1 when the dialog
    // could not be created or the loop was ended by WM_QUIT.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void SetDefID(UINT nID);
    DWORD GetDefID() const;
    void MapDialogRect(LPRECT lpRect) const;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    UINT m_nIDHelp = 0;

protected:
    // The owner for a modal run: the parent's top-level window, or the main
    // window's last active popup. A top-level window behind that popup is
    // disabled until PostModal, which every modal run calls on its way out.
    virtual HWND PreModal();
    virtual void PostModal();
    // Creates the dialog window bound to this object.
    BOOL CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst);
    // The template named by the constructor or InitModalIndirect; null when none.
    LPCDLGTEMPLATE LoadTemplate(HINSTANCE& hInst) const;

    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    LPCWSTR m_lpszTemplateName = nullptr;
    CString m_strTemplateName;  // keeps a string template name alive
    HGLOBAL m_hDialogTemplate = nullptr;
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
    CWnd* m_pParentWnd = nullptr;
    HWND m_hWndTop = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    void SetTemplateName(LPCWSTR lpszTemplateName);
};

// A writable copy of dialog template `name` from the resources (empty when it is
// missing or too short), and the module it came from.
std::vector<BYTE> AfxLoadDialogTemplate(LPCWSTR name, HINSTANCE* pInst);
// Turns a template into a child window's whatever it says: popup, frame, caption,
// visible and disabled bits cleared, WS_CHILD and `dwAdd` set.
void AfxMakeChildTemplate(std::vector<BYTE>& tmpl, DWORD dwAdd);
