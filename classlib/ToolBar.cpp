#include "ToolBar.h"

#include <algorithm>
#include <vector>

CToolBar::~CToolBar() {
    m_ctrl.m_hWnd = nullptr;  // the view owns nothing
}

BOOL CToolBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    return CreateEx(pParentWnd, 0, dwStyle, CRect(0, 0, 0, 0), nID);
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect rcBorders, UINT nID) {
    m_dwStyle = dwStyle & CBRS_ALL;
    m_rectBorders = rcBorders;
    // Bar styles share bits with control styles: only the window styles go to the window.
    DWORD dwWindowStyle = (dwStyle & ~CBRS_ALL) | dwCtrlStyle | CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER |
                          CCS_NORESIZE;
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEW, nullptr, dwWindowStyle, CRect(0, 0, 0, 0), pParentWnd, nID))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return TRUE;
}

CToolBarCtrl& CToolBar::GetToolBarCtrl() const {
    m_ctrl.m_hWnd = m_hWnd;
    return m_ctrl;
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount) {
    if (!m_hWnd || nIDCount < 0)
        return FALSE;
    while (SendMessage(TB_BUTTONCOUNT) > 0)
        SendMessage(TB_DELETEBUTTON, 0);
    std::vector<TBBUTTON> buttons(static_cast<size_t>(nIDCount));
    int image = 0;
    for (int i = 0; i < nIDCount; ++i) {
        TBBUTTON& b = buttons[static_cast<size_t>(i)];
        b = TBBUTTON();
        b.iString = -1;
        UINT id = lpIDArray ? lpIDArray[i] : ID_SEPARATOR;
        if (id == ID_SEPARATOR) {
            b.fsStyle = TBSTYLE_SEP;
            b.iBitmap = 8;
        } else {
            b.fsStyle = TBSTYLE_BUTTON;
            b.fsState = TBSTATE_ENABLED;
            b.idCommand = static_cast<int>(id);
            b.iBitmap = image++;
        }
    }
    return buttons.empty() ||
           SendMessage(TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())) != 0;
}

BOOL CToolBar::GetButton(int nIndex, TBBUTTON& button) const {
    button = TBBUTTON();
    return m_hWnd && SendMessage(TB_GETBUTTON, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&button)) != 0;
}

void CToolBar::ReplaceButton(int nIndex, const TBBUTTON& button) {
    // A button cannot turn into a separator or back in place: replace it.
    SendMessage(TB_DELETEBUTTON, static_cast<WPARAM>(nIndex));
    SendMessage(TB_INSERTBUTTONW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&button));
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage) {
    TBBUTTON b;
    if (!GetButton(nIndex, b))
        return;
    b.idCommand = static_cast<int>(nID);
    b.fsStyle = static_cast<BYTE>(LOWORD(nStyle));
    b.fsState = static_cast<BYTE>(HIWORD(nStyle) ^ TBSTATE_ENABLED);
    b.iBitmap = iImage;
    ReplaceButton(nIndex, b);
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const {
    TBBUTTON b;
    if (!GetButton(nIndex, b)) {
        nID = 0;
        nStyle = 0;
        iImage = 0;
        return;
    }
    nID = static_cast<UINT>(b.idCommand);
    nStyle = MAKELONG(b.fsStyle, b.fsState ^ TBSTATE_ENABLED);
    iImage = b.iBitmap;
}

UINT CToolBar::GetButtonStyle(int nIndex) const {
    UINT id = 0;
    UINT style = 0;
    int image = 0;
    GetButtonInfo(nIndex, id, style, image);
    return style;
}

void CToolBar::SetButtonStyle(int nIndex, UINT nStyle) {
    TBBUTTON b;
    if (GetButton(nIndex, b))
        SetButtonInfo(nIndex, static_cast<UINT>(b.idCommand), nStyle, b.iBitmap);
}

BOOL CToolBar::SetButtonText(int nIndex, LPCWSTR lpszText) {
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
    return SendMessage(TB_SETBUTTONINFOW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&info)) != 0;
}

CString CToolBar::GetButtonText(int nIndex) const {
    CString text;
    TBBUTTON b;
    if (!GetButton(nIndex, b) || (b.fsStyle & TBSTYLE_SEP))
        return text;
    LRESULT n = SendMessage(TB_GETBUTTONTEXTW, static_cast<WPARAM>(b.idCommand), 0);
    if (n > 0) {
        SendMessage(TB_GETBUTTONTEXTW, static_cast<WPARAM>(b.idCommand),
                    reinterpret_cast<LPARAM>(text.GetBuffer(static_cast<int>(n) + 1)));
        text.ReleaseBuffer();
    }
    return text;
}

UINT CToolBar::GetItemID(int nIndex) const {
    TBBUTTON b;
    return GetButton(nIndex, b) ? static_cast<UINT>(b.idCommand) : 0;
}

int CToolBar::CommandToIndex(UINT nIDFind) const {
    return static_cast<int>(SendMessage(TB_COMMANDTOINDEX, nIDFind));
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const {
    if (!SendMessage(TB_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpRect)))
        ::SetRectEmpty(lpRect);
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage) {
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(sizeImage.cx, sizeImage.cy));
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(sizeButton.cx, sizeButton.cy));
    Invalidate();
}

CSize CToolBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    // The buttons' extent plus the borders; stretched bars take the dock's length.
    CSize size;
    int count = static_cast<int>(SendMessage(TB_BUTTONCOUNT));
    for (int i = 0; i < count; ++i) {
        CRect rc;
        GetItemRect(i, &rc);
        size.cx = std::max<LONG>(size.cx, rc.right);
        size.cy = std::max<LONG>(size.cy, rc.bottom);
    }
    size.cx += m_rectBorders.left + m_rectBorders.right;
    size.cy += m_rectBorders.top + m_rectBorders.bottom;
    if (bStretch) {
        if (bHorz)
            size.cx = 32767;
        else
            size.cy = 32767;
    }
    return size;
}
