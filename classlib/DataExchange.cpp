#include "DataExchange.h"

#include "WinApp.h"
#include "Wnd.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <cwchar>
#include <cwctype>

namespace {

constexpr WCHAR kParseInt[] = L"Please enter an integer.";
constexpr WCHAR kParseUInt[] = L"Please enter a positive integer.";
constexpr WCHAR kParseReal[] = L"Please enter a number.";

CString GetText(HWND hWnd) {
    CString s;
    int n = ::GetWindowTextLengthW(hWnd);
    if (n > 0) {
        ::GetWindowTextW(hWnd, s.GetBuffer(n + 1), n + 1);
        s.ReleaseBuffer();
    }
    return s;
}

bool OnlySpaceLeft(const wchar_t* p) {
    while (*p && iswspace(*p))
        ++p;
    return *p == 0;
}

bool ParseLong(const CString& text, long long& out) {
    const wchar_t* s = text;
    while (*s && iswspace(*s))
        ++s;
    if (!*s)
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    long long v = wcstoll(s, &end, 10);
    if (end == s || errno == ERANGE || !OnlySpaceLeft(end))
        return false;
    out = v;
    return true;
}

bool ParseDouble(const CString& text, double& out) {
    const wchar_t* s = text;
    while (*s && iswspace(*s))
        ++s;
    if (!*s)
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    double v = wcstod(s, &end);
    if (end == s || errno == ERANGE || !OnlySpaceLeft(end) || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

[[noreturn]] void FailWith(CDataExchange* pDX, LPCWSTR text) {
    AfxMessageBox(text, MB_ICONEXCLAMATION);
    pDX->Fail();
}

}  // namespace

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWnd = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
    if (!hWnd) {
        // A missing control is a template error: end the exchange rather than
        // write into nothing.
        ::OutputDebugStringW(L"Dialog data exchange: control not found\n");
        throw CUserException();
    }
    m_idLastControl = static_cast<UINT>(nIDC);
    m_bEditLastControl = FALSE;
    return hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hWnd = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hWnd;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_pDlgWnd && m_idLastControl) {
        HWND hCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, static_cast<int>(m_idLastControl));
        if (hCtrl) {
            ::SetFocus(hCtrl);
            if (m_bEditLastControl)
                ::SendMessageW(hCtrl, EM_SETSEL, 0, -1);
        }
    }
    throw CUserException();
}

void AfxSetWindowText(HWND hWndCtrl, LPCWSTR lpszNew) {
    if (!hWndCtrl)
        return;
    if (!lpszNew)
        lpszNew = L"";
    if (GetText(hWndCtrl).Compare(lpszNew) != 0)
        ::SetWindowTextW(hWndCtrl, lpszNew);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd)
        return;  // bound by an earlier exchange
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWnd)) {
        ::OutputDebugStringW(L"Dialog data exchange: control could not be subclassed\n");
        throw CUserException();
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = GetText(hWnd);
    else
        AfxSetWindowText(hWnd, value);
}

namespace {

// Numbers outside the member's type are refused, never truncated or wrapped.
template <class Int>
void ExchangeInteger(CDataExchange* pDX, int nIDC, Int& value, LPCWSTR failText) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long v = 0;
        if (!ParseLong(GetText(hWnd), v) || v < static_cast<long long>(std::numeric_limits<Int>::min()) ||
            v > static_cast<long long>(std::numeric_limits<Int>::max()))
            FailWith(pDX, failText);
        value = static_cast<Int>(v);
    } else {
        CString s;
        s.Format(L"%lld", static_cast<long long>(value));
        AfxSetWindowText(hWnd, s);
    }
}

template <class Real>
void ExchangeReal(CDataExchange* pDX, int nIDC, Real& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        double v = 0;
        bool ok = ParseDouble(GetText(hWnd), v);
        if constexpr (sizeof(Real) < sizeof(double))
            ok = ok && std::fabs(v) <= std::numeric_limits<Real>::max();
        if (!ok)
            FailWith(pDX, kParseReal);
        value = static_cast<Real>(v);
    } else {
        CString s;
        s.Format(L"%.*g", std::numeric_limits<Real>::digits10, static_cast<double>(value));
        AfxSetWindowText(hWnd, s);
    }
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    ExchangeInteger(pDX, nIDC, value, kParseInt);
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    ExchangeInteger(pDX, nIDC, value, kParseUInt);
}

void DDX_Text(CDataExchange* pDX, int nIDC, float& value) {
    ExchangeReal(pDX, nIDC, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    ExchangeReal(pDX, nIDC, value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageW(hWnd, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2)
            value = 0;  // a check box has no other states
        ::SendMessageW(hWnd, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from nIDC up to the next control with WS_GROUP.
    int index = 0;
    do {
        if (::SendMessageW(hWnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (::SendMessageW(hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageW(hWnd, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        hWnd = ::GetWindow(hWnd, GW_HWNDNEXT);
    } while (hWnd && !(::GetWindowLongW(hWnd, GWL_STYLE) & WS_GROUP));
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWnd, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    const bool hasEdit = (::GetWindowLongW(hWnd, GWL_STYLE) & 0x3) != CBS_DROPDOWNLIST;
    if (pDX->m_bSaveAndValidate) {
        if (hasEdit) {
            value = GetText(hWnd);
            return;
        }
        value.Empty();
        LRESULT sel = ::SendMessageW(hWnd, CB_GETCURSEL, 0, 0);
        if (sel == CB_ERR)
            return;
        LRESULT len = ::SendMessageW(hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0);
        if (len <= 0)
            return;
        ::SendMessageW(hWnd, CB_GETLBTEXT, static_cast<WPARAM>(sel),
                       reinterpret_cast<LPARAM>(value.GetBuffer(static_cast<int>(len) + 1)));
        value.ReleaseBuffer();
    } else {
        // Select the first item starting with the text; a combo with an edit
        // shows the text itself when no item matches.
        if (::SendMessageW(hWnd, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(value))) == CB_ERR && hasEdit)
            AfxSetWindowText(hWnd, value);
    }
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWnd, LB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_Slider(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(hWnd, TBM_GETPOS, 0, 0));
    else
        ::SendMessageW(hWnd, TBM_SETPOS, TRUE, value);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    CString text;
    text.Format(L"Please enter an integer between %d and %d.", minVal, maxVal);
    FailWith(pDX, text);
}

void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal) {
    DDV_MinMaxDouble(pDX, value, minVal, maxVal);
}

void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    CString text;
    text.Format(L"Please enter a number between %g and %g.", minVal, maxVal);
    FailWith(pDX, text);
}
