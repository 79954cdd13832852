// The typed handler calls behind the message map macros. Included by Wnd.h
// once CWnd and CDC are complete.
#pragma once

#include "MessageMap.h"

class CScrollBar;

namespace afx_detail {

#define AFX_DEFINE_THUNK(name, Signature, ...)                                              \
    template <class T, auto Pmf>                                                            \
    bool name(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {         \
        static_assert(CheckHandler<T, Pmf, Signature>());                                   \
        T* self = static_cast<T*>(target);                                                  \
        (void)wParam;                                                                       \
        (void)lParam;                                                                       \
        (void)pResult;                                                                      \
        __VA_ARGS__                                                                         \
    }

inline CPoint PointFromLParam(LPARAM lParam) {
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

AFX_DEFINE_THUNK(ThunkCreate, int(LPCREATESTRUCT),
                 *pResult = (self->*Pmf)(reinterpret_cast<LPCREATESTRUCT>(lParam));
                 return true;)
AFX_DEFINE_THUNK(ThunkVoid, void(),
                 (self->*Pmf)();
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkSize, void(UINT, int, int),
                 (self->*Pmf)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkMinMax, void(MINMAXINFO*),
                 (self->*Pmf)(reinterpret_cast<MINMAXINFO*>(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkEraseBkgnd, BOOL(CDC*),
                 *pResult = (self->*Pmf)(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
                 return true;)
AFX_DEFINE_THUNK(ThunkTimer, void(UINT_PTR),
                 (self->*Pmf)(static_cast<UINT_PTR>(wParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkMouse, void(UINT, CPoint),
                 (self->*Pmf)(static_cast<UINT>(wParam), PointFromLParam(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkNcMouse, void(UINT, CPoint),
                 (self->*Pmf)(static_cast<UINT>(wParam), PointFromLParam(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkSetCursor, BOOL(CWnd*, UINT, UINT),
                 *pResult = (self->*Pmf)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam),
                                         HIWORD(lParam));
                 return true;)
AFX_DEFINE_THUNK(ThunkNcHitTest, LRESULT(CPoint),
                 *pResult = (self->*Pmf)(PointFromLParam(lParam));
                 return true;)
AFX_DEFINE_THUNK(ThunkNcActivate, BOOL(BOOL),
                 *pResult = (self->*Pmf)(static_cast<BOOL>(wParam));
                 return true;)
AFX_DEFINE_THUNK(ThunkKey, void(UINT, UINT, UINT),
                 (self->*Pmf)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkContextMenu, void(CWnd*, CPoint),
                 (self->*Pmf)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), PointFromLParam(lParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkSysCommand, void(UINT, LPARAM),
                 (self->*Pmf)(static_cast<UINT>(wParam), lParam);
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkQueryDragIcon, HCURSOR(),
                 *pResult = reinterpret_cast<LRESULT>((self->*Pmf)());
                 return true;)
AFX_DEFINE_THUNK(ThunkScroll, void(UINT, UINT, CScrollBar*),
                 (self->*Pmf)(LOWORD(wParam), HIWORD(wParam),
                              CWnd::FromHandleAs<CScrollBar>(reinterpret_cast<HWND>(lParam)));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkCtlColor, HBRUSH(CDC*, CWnd*, UINT),
                 auto* ctl = reinterpret_cast<AFX_CTLCOLOR*>(lParam);
                 *pResult = reinterpret_cast<LRESULT>(
                     (self->*Pmf)(CDC::FromHandle(ctl->hDC), CWnd::FromHandle(ctl->hWnd), ctl->nCtlType));
                 return true;)
AFX_DEFINE_THUNK(ThunkDrawItem, void(int, LPDRAWITEMSTRUCT),
                 (self->*Pmf)(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
                 *pResult = TRUE;
                 return true;)
AFX_DEFINE_THUNK(ThunkMeasureItem, void(int, LPMEASUREITEMSTRUCT),
                 (self->*Pmf)(static_cast<int>(wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
                 *pResult = TRUE;
                 return true;)
AFX_DEFINE_THUNK(ThunkFocus, void(CWnd*),
                 (self->*Pmf)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkActivate, void(UINT, CWnd*, BOOL),
                 (self->*Pmf)(LOWORD(wParam), CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), HIWORD(wParam) != 0);
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkEnable, void(BOOL),
                 (self->*Pmf)(static_cast<BOOL>(wParam));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkGetDlgCode, UINT(),
                 *pResult = (self->*Pmf)();
                 return true;)
AFX_DEFINE_THUNK(ThunkCaptureChanged, void(CWnd*),
                 (self->*Pmf)(CWnd::FromHandle(reinterpret_cast<HWND>(lParam)));
                 *pResult = 0;
                 return true;)
AFX_DEFINE_THUNK(ThunkMessage, LRESULT(WPARAM, LPARAM),
                 *pResult = (self->*Pmf)(wParam, lParam);
                 return true;)

AFX_DEFINE_THUNK(ThunkCommand, void(),
                 (self->*Pmf)();
                 return true;)
AFX_DEFINE_THUNK(ThunkCommandRange, void(UINT),
                 (self->*Pmf)(static_cast<UINT>(wParam));
                 return true;)
AFX_DEFINE_THUNK(ThunkNotify, void(NMHDR*, LRESULT*),
                 (self->*Pmf)(reinterpret_cast<NMHDR*>(lParam), pResult);
                 return true;)
AFX_DEFINE_THUNK(ThunkNotifyRange, void(UINT, NMHDR*, LRESULT*),
                 (self->*Pmf)(static_cast<UINT>(wParam), reinterpret_cast<NMHDR*>(lParam), pResult);
                 return true;)

AFX_DEFINE_THUNK(ThunkNotifyReflect, void(NMHDR*, LRESULT*),
                 (self->*Pmf)(reinterpret_cast<NMHDR*>(lParam), pResult);
                 return true;)
AFX_DEFINE_THUNK(ThunkNotifyReflectEx, BOOL(NMHDR*, LRESULT*),
                 return (self->*Pmf)(reinterpret_cast<NMHDR*>(lParam), pResult) != FALSE;)
AFX_DEFINE_THUNK(ThunkControlReflect, void(),
                 (self->*Pmf)();
                 return true;)
AFX_DEFINE_THUNK(ThunkControlReflectEx, BOOL(),
                 return (self->*Pmf)() != FALSE;)
AFX_DEFINE_THUNK(ThunkCtlColorReflect, HBRUSH(CDC*, UINT),
                 auto* ctl = reinterpret_cast<AFX_CTLCOLOR*>(lParam);
                 HBRUSH hbr = (self->*Pmf)(CDC::FromHandle(ctl->hDC), ctl->nCtlType);
                 *pResult = reinterpret_cast<LRESULT>(hbr);
                 return hbr != nullptr;)
AFX_DEFINE_THUNK(ThunkDrawItemReflect, void(LPDRAWITEMSTRUCT),
                 (self->*Pmf)(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
                 *pResult = TRUE;
                 return true;)
AFX_DEFINE_THUNK(ThunkMeasureItemReflect, void(LPMEASUREITEMSTRUCT),
                 (self->*Pmf)(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
                 *pResult = TRUE;
                 return true;)

#undef AFX_DEFINE_THUNK

}  // namespace afx_detail
