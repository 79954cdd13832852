// Every window-message entry delivers its message's arguments as typed values.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CEveryMessageWnd : public test::CHostWnd {
public:
    std::wstring last;
    HWND other = nullptr;
    CBrush brush{RGB(1, 1, 1)};

    std::wstring Who(CWnd* pWnd) const {
        if (!pWnd)
            return L"null";
        if (pWnd == this)
            return L"self";
        return pWnd->m_hWnd == other ? L"other" : L"?";
    }
    void Log(const wchar_t* name, const std::wstring& args = L"") { last = std::wstring(name) + L"(" + args + L")"; }
    static std::wstring N(long long v) { return std::to_wstring(v); }
    static std::wstring P(CPoint p) { return N(p.x) + L"," + N(p.y); }

protected:
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* p) { Log(L"GetMinMaxInfo", N(p->ptMaxSize.x)); }
    afx_msg BOOL OnEraseBkgnd(CDC* pDC) { Log(L"EraseBkgnd", N(pDC != nullptr)); return TRUE; }
    afx_msg void OnTimer(UINT_PTR id) { Log(L"Timer", N(id)); }
    afx_msg void OnMouseMove(UINT f, CPoint p) { Log(L"MouseMove", N(f) + L" " + P(p)); }
    afx_msg void OnLButtonUp(UINT f, CPoint p) { Log(L"LButtonUp", N(f) + L" " + P(p)); }
    afx_msg void OnLButtonDblClk(UINT f, CPoint p) { Log(L"LButtonDblClk", N(f) + L" " + P(p)); }
    afx_msg void OnRButtonDown(UINT f, CPoint p) { Log(L"RButtonDown", N(f) + L" " + P(p)); }
    afx_msg void OnRButtonUp(UINT f, CPoint p) { Log(L"RButtonUp", N(f) + L" " + P(p)); }
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT hit, UINT msg) { Log(L"SetCursor", Who(pWnd) + L" " + N(hit) + L" " + N(msg)); return TRUE; }
    afx_msg LRESULT OnNcHitTest(CPoint p) { Log(L"NcHitTest", P(p)); return HTCAPTION; }
    afx_msg void OnNcPaint() { Log(L"NcPaint"); }
    afx_msg BOOL OnNcActivate(BOOL active) { Log(L"NcActivate", N(active)); return TRUE; }
    afx_msg void OnNcLButtonDown(UINT hit, CPoint p) { Log(L"NcLButtonDown", N(hit) + L" " + P(p)); }
    afx_msg void OnKeyDown(UINT ch, UINT rep, UINT flags) { Log(L"KeyDown", N(ch) + L" " + N(rep) + L" " + N(flags)); }
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint p) { Log(L"ContextMenu", Who(pWnd) + L" " + P(p)); }
    afx_msg void OnSysCommand(UINT id, LPARAM l) { Log(L"SysCommand", N(id) + L" " + N(l)); }
    afx_msg HCURSOR OnQueryDragIcon() { Log(L"QueryDragIcon"); return reinterpret_cast<HCURSOR>(0x1234); }
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar) { Log(L"HScroll", N(code) + L" " + N(pos) + L" " + Who(bar)); }
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar) { Log(L"VScroll", N(code) + L" " + N(pos) + L" " + Who(bar)); }
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT type) {
        Log(L"CtlColor", N(pDC != nullptr) + L" " + Who(pWnd) + L" " + N(type));
        return brush;
    }
    afx_msg void OnDrawItem(int id, LPDRAWITEMSTRUCT p) { Log(L"DrawItem", N(id) + L" " + N(p->itemID)); }
    afx_msg void OnMeasureItem(int id, LPMEASUREITEMSTRUCT p) { Log(L"MeasureItem", N(id)); p->itemHeight = 21; }
    afx_msg void OnSetFocus(CWnd* pOld) { Log(L"SetFocus", Who(pOld)); }
    afx_msg void OnKillFocus(CWnd* pNew) { Log(L"KillFocus", Who(pNew)); }
    afx_msg void OnActivate(UINT state, CWnd* pOther, BOOL minimized) { Log(L"Activate", N(state) + L" " + Who(pOther) + L" " + N(minimized)); }
    afx_msg void OnEnable(BOOL enable) { Log(L"Enable", N(enable)); }
    afx_msg void OnCancelMode() { Log(L"CancelMode"); }
    afx_msg void OnSysColorChange() { Log(L"SysColorChange"); }
    afx_msg UINT OnGetDlgCode() { Log(L"GetDlgCode"); return DLGC_WANTALLKEYS; }
    afx_msg void OnCaptureChanged(CWnd* pWnd) { Log(L"CaptureChanged", Who(pWnd)); }
    afx_msg void OnMouseLeave() { Log(L"MouseLeave"); }
    afx_msg void OnClose() { Log(L"Close"); }
    afx_msg void OnEditChange() { Log(L"EditChange"); }
    afx_msg void OnComboChange() { Log(L"ComboChange"); }
    afx_msg void OnListChange() { Log(L"ListChange"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CEveryMessageWnd, test::CHostWnd)
    ON_WM_GETMINMAXINFO()
    ON_WM_ERASEBKGND()
    ON_WM_TIMER()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_SETCURSOR()
    ON_WM_NCHITTEST()
    ON_WM_NCPAINT()
    ON_WM_NCACTIVATE()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_KEYDOWN()
    ON_WM_CONTEXTMENU()
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_CTLCOLOR()
    ON_WM_DRAWITEM()
    ON_WM_MEASUREITEM()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_ACTIVATE()
    ON_WM_ENABLE()
    ON_WM_CANCELMODE()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_GETDLGCODE()
    ON_WM_CAPTURECHANGED()
    ON_WM_MOUSELEAVE()
    ON_WM_CLOSE()
    ON_EN_CHANGE(701, OnEditChange)
    ON_CBN_SELCHANGE(702, OnComboChange)
    ON_LBN_SELCHANGE(703, OnListChange)
END_MESSAGE_MAP()

TEST(MessageCracking, EveryEntryGetsItsArguments) {
    CEveryMessageWnd wnd;
    ASSERT_TRUE(wnd.CreateHost());
    HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, wnd.m_hWnd, nullptr, nullptr, nullptr);
    wnd.other = other;
    CClientDC dc(&wnd);
    auto hdc = reinterpret_cast<WPARAM>(dc.m_hDC);
    auto self = reinterpret_cast<WPARAM>(wnd.m_hWnd);
    auto otherW = reinterpret_cast<WPARAM>(other);
    auto otherL = reinterpret_cast<LPARAM>(other);
    MINMAXINFO mmi = {};
    mmi.ptMaxSize.x = 640;
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = 55;
    dis.itemID = 3;
    dis.hwndItem = other;
    MEASUREITEMSTRUCT mis = {};
    mis.CtlType = ODT_LISTBOX;
    mis.CtlID = 56;
    const LPARAM pt = MAKELPARAM(-7, 12);

    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const wchar_t* logged;
        LRESULT result;
    } cases[] = {
        {WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi), L"GetMinMaxInfo(640)", 0},
        {WM_ERASEBKGND, hdc, 0, L"EraseBkgnd(1)", TRUE},
        {WM_TIMER, 17, 0, L"Timer(17)", 0},
        {WM_MOUSEMOVE, MK_RBUTTON, pt, L"MouseMove(2 -7,12)", 0},
        {WM_LBUTTONUP, 0, pt, L"LButtonUp(0 -7,12)", 0},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, pt, L"LButtonDblClk(1 -7,12)", 0},
        {WM_RBUTTONDOWN, MK_RBUTTON, pt, L"RButtonDown(2 -7,12)", 0},
        {WM_RBUTTONUP, 0, pt, L"RButtonUp(0 -7,12)", 0},
        {WM_SETCURSOR, self, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), L"SetCursor(self 1 512)", TRUE},
        {WM_NCHITTEST, 0, pt, L"NcHitTest(-7,12)", HTCAPTION},
        {WM_NCPAINT, 1, 0, L"NcPaint()", 0},
        {WM_NCACTIVATE, TRUE, 0, L"NcActivate(1)", TRUE},
        {WM_NCLBUTTONDOWN, HTCAPTION, pt, L"NcLButtonDown(2 -7,12)", 0},
        {WM_KEYDOWN, 'A', MAKELPARAM(3, 0x1E), L"KeyDown(65 3 30)", 0},
        {WM_CONTEXTMENU, otherW, pt, L"ContextMenu(other -7,12)", 0},
        {WM_SYSCOMMAND, 0x10, 99, L"SysCommand(16 99)", 0},
        {WM_QUERYDRAGICON, 0, 0, L"QueryDragIcon()", 0x1234},
        {WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 44), 0, L"HScroll(5 44 null)", 0},
        {WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), otherL, L"VScroll(1 0 other)", 0},
        {WM_CTLCOLOREDIT, hdc, otherL, L"CtlColor(1 other 1)", reinterpret_cast<LRESULT>(static_cast<HBRUSH>(wnd.brush))},
        {WM_DRAWITEM, 55, reinterpret_cast<LPARAM>(&dis), L"DrawItem(55 3)", TRUE},
        {WM_MEASUREITEM, 56, reinterpret_cast<LPARAM>(&mis), L"MeasureItem(56)", TRUE},
        {WM_SETFOCUS, otherW, 0, L"SetFocus(other)", 0},
        {WM_KILLFOCUS, 0, 0, L"KillFocus(null)", 0},
        {WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), otherL, L"Activate(2 other 1)", 0},
        {WM_ENABLE, FALSE, 0, L"Enable(0)", 0},
        {WM_CANCELMODE, 0, 0, L"CancelMode()", 0},
        {WM_SYSCOLORCHANGE, 0, 0, L"SysColorChange()", 0},
        {WM_GETDLGCODE, 0, 0, L"GetDlgCode()", DLGC_WANTALLKEYS},
        {WM_CAPTURECHANGED, 0, otherL, L"CaptureChanged(other)", 0},
        {WM_MOUSELEAVE, 0, 0, L"MouseLeave()", 0},
        {WM_CLOSE, 0, 0, L"Close()", 0},
        {WM_COMMAND, MAKEWPARAM(701, EN_CHANGE), otherL, L"EditChange()", 1},
        {WM_COMMAND, MAKEWPARAM(702, CBN_SELCHANGE), otherL, L"ComboChange()", 1},
        {WM_COMMAND, MAKEWPARAM(703, LBN_SELCHANGE), otherL, L"ListChange()", 1},
    };
    for (const Case& c : cases) {
        wnd.last.clear();
        LRESULT result = wnd.SendMessage(c.message, c.wParam, c.lParam);
        EXPECT_EQ(wnd.last, c.logged) << std::hex << c.message;
        EXPECT_EQ(result, c.result) << std::hex << c.message;
    }
    EXPECT_EQ(mis.itemHeight, 21u);
    wnd.DestroyWindow();  // WM_CLOSE was only logged
}

}  // namespace
