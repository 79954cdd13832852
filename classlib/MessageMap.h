// Message maps: tables binding window messages, commands and notifications to
// member functions.
//
// Every entry is built from the handler's member pointer by a template that
// checks its exact signature at compile time: a handler with the wrong
// signature does not compile. Handler names are given bare (OnFoo) or
// qualified with this class or a base (CBase::OnFoo); the macros add the
// "&ThisClass::".
#pragma once

#include "AfxDefs.h"

#include <type_traits>

// Packed by the library for ON_WM_CTLCOLOR handlers (all WM_CTLCOLOR* messages).
constexpr UINT AFX_WM_CTLCOLOR = 0x0019;

struct AFX_CTLCOLOR {
    HWND hWnd;
    HDC hDC;
    UINT nCtlType;
};

// The pExtra of OnCmdMsg for notifications.
struct AFX_NOTIFY {
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

// Calls one handler. For window messages wParam and lParam are the message's;
// for commands wParam is the id; for notifications wParam is the id and lParam
// the NMHDR*. Returns whether the message counts as handled (only the _EX
// reflection forms and colour reflection can say no).
using AfxHandlerThunk = bool (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

// What an entry answers to.
enum AfxEntryKind : UINT {
    AfxEntry_Message,     // a window message
    AfxEntry_Registered,  // a registered window message
    AfxEntry_Command,     // WM_COMMAND from a menu, accelerator or control
    AfxEntry_Notify,      // WM_NOTIFY from a control
    AfxEntry_Reflect,     // a notification reflected back to the control that sent it
};

struct AFX_MSGMAP_ENTRY {
    UINT nKind;                      // AfxEntryKind
    UINT nMessage;                   // window message; WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR... for reflections
    UINT nCode;                      // notification code (low 16 bits) of command and notify entries
    UINT nID;                        // first id of command and notify entries
    UINT nLastID;                    // last id
    const UINT* pRegisteredMessage;  // ON_REGISTERED_MESSAGE: the variable holding the message number
    AfxHandlerThunk pfn;             // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP*(PASCAL* pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_detail {

template <class P>
struct MemberFn;  // only member functions can be handlers

template <class C, class R, class... A>
struct MemberFn<R (C::*)(A...)> {
    using Class = C;
    using Signature = R(A...);
};

// True when Pmf is a member function of T (or a base) with exactly this signature.
template <class T, class P, class Signature, class = void>
constexpr bool IsHandler = false;
template <class T, class P, class Signature>
constexpr bool IsHandler<T, P, Signature, std::void_t<typename MemberFn<P>::Class>> =
    std::is_base_of_v<typename MemberFn<P>::Class, T> && std::is_same_v<typename MemberFn<P>::Signature, Signature>;

template <class T, auto Pmf, class Signature>
constexpr bool CheckHandler() {
    using M = MemberFn<decltype(Pmf)>;
    static_assert(std::is_base_of_v<typename M::Class, T>,
                  "message map: the handler is not a member of this class or of one of its bases");
    static_assert(std::is_same_v<typename M::Signature, Signature>,
                  "message map: the handler's signature does not match its entry");
    return true;
}

constexpr UINT NotifyCode(int code) {
    return static_cast<WORD>(code);
}

}  // namespace afx_detail

#define DECLARE_MESSAGE_MAP()                                 \
protected:                                                    \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                        \
        typedef theClass ThisClass;                                                \
        typedef baseClass TheBaseClass;                                            \
        static_assert(std::is_base_of_v<TheBaseClass, ThisClass>, "BEGIN_MESSAGE_MAP: not a base class"); \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                          \
        {0, 0, 0, 0, 0, nullptr, nullptr}};                                           \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                        \
    }

#define AFX_MSG_ENTRY(message, thunk, fn) \
    {AfxEntry_Message, message, 0, 0, 0, nullptr, &afx_detail::thunk<ThisClass, &ThisClass::fn>},
#define AFX_REFLECT_ENTRY(message, thunk, fn) \
    {AfxEntry_Reflect, message, 0, 0, 0, nullptr, &afx_detail::thunk<ThisClass, &ThisClass::fn>},

// Window messages, with the handler names and signatures MFC users know.
#define ON_WM_CREATE() AFX_MSG_ENTRY(WM_CREATE, ThunkCreate, OnCreate)                        // int (LPCREATESTRUCT)
#define ON_WM_DESTROY() AFX_MSG_ENTRY(WM_DESTROY, ThunkVoid, OnDestroy)                       // void ()
#define ON_WM_CLOSE() AFX_MSG_ENTRY(WM_CLOSE, ThunkVoid, OnClose)                             // void ()
#define ON_WM_SIZE() AFX_MSG_ENTRY(WM_SIZE, ThunkSize, OnSize)                                // void (UINT, int, int)
#define ON_WM_GETMINMAXINFO() AFX_MSG_ENTRY(WM_GETMINMAXINFO, ThunkMinMax, OnGetMinMaxInfo)   // void (MINMAXINFO*)
#define ON_WM_ERASEBKGND() AFX_MSG_ENTRY(WM_ERASEBKGND, ThunkEraseBkgnd, OnEraseBkgnd)        // BOOL (CDC*)
#define ON_WM_PAINT() AFX_MSG_ENTRY(WM_PAINT, ThunkVoid, OnPaint)                             // void ()
#define ON_WM_TIMER() AFX_MSG_ENTRY(WM_TIMER, ThunkTimer, OnTimer)                            // void (UINT_PTR)
#define ON_WM_MOUSEMOVE() AFX_MSG_ENTRY(WM_MOUSEMOVE, ThunkMouse, OnMouseMove)                // void (UINT, CPoint)
#define ON_WM_LBUTTONDOWN() AFX_MSG_ENTRY(WM_LBUTTONDOWN, ThunkMouse, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MSG_ENTRY(WM_LBUTTONUP, ThunkMouse, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MSG_ENTRY(WM_LBUTTONDBLCLK, ThunkMouse, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MSG_ENTRY(WM_RBUTTONDOWN, ThunkMouse, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MSG_ENTRY(WM_RBUTTONUP, ThunkMouse, OnRButtonUp)
#define ON_WM_SETCURSOR() AFX_MSG_ENTRY(WM_SETCURSOR, ThunkSetCursor, OnSetCursor)            // BOOL (CWnd*, UINT, UINT)
#define ON_WM_NCHITTEST() AFX_MSG_ENTRY(WM_NCHITTEST, ThunkNcHitTest, OnNcHitTest)            // LRESULT (CPoint)
#define ON_WM_NCPAINT() AFX_MSG_ENTRY(WM_NCPAINT, ThunkVoid, OnNcPaint)                       // void ()
#define ON_WM_NCACTIVATE() AFX_MSG_ENTRY(WM_NCACTIVATE, ThunkNcActivate, OnNcActivate)        // BOOL (BOOL)
#define ON_WM_NCLBUTTONDOWN() AFX_MSG_ENTRY(WM_NCLBUTTONDOWN, ThunkNcMouse, OnNcLButtonDown)  // void (UINT, CPoint)
#define ON_WM_KEYDOWN() AFX_MSG_ENTRY(WM_KEYDOWN, ThunkKey, OnKeyDown)                        // void (UINT, UINT, UINT)
#define ON_WM_CONTEXTMENU() AFX_MSG_ENTRY(WM_CONTEXTMENU, ThunkContextMenu, OnContextMenu)    // void (CWnd*, CPoint)
#define ON_WM_SYSCOMMAND() AFX_MSG_ENTRY(WM_SYSCOMMAND, ThunkSysCommand, OnSysCommand)        // void (UINT, LPARAM)
#define ON_WM_QUERYDRAGICON() AFX_MSG_ENTRY(WM_QUERYDRAGICON, ThunkQueryDragIcon, OnQueryDragIcon)  // HCURSOR ()
#define ON_WM_HSCROLL() AFX_MSG_ENTRY(WM_HSCROLL, ThunkScroll, OnHScroll)                     // void (UINT, UINT, CScrollBar*)
#define ON_WM_VSCROLL() AFX_MSG_ENTRY(WM_VSCROLL, ThunkScroll, OnVScroll)
#define ON_WM_CTLCOLOR() AFX_MSG_ENTRY(AFX_WM_CTLCOLOR, ThunkCtlColor, OnCtlColor)            // HBRUSH (CDC*, CWnd*, UINT)
#define ON_WM_DRAWITEM() AFX_MSG_ENTRY(WM_DRAWITEM, ThunkDrawItem, OnDrawItem)                // void (int, LPDRAWITEMSTRUCT)
#define ON_WM_MEASUREITEM() AFX_MSG_ENTRY(WM_MEASUREITEM, ThunkMeasureItem, OnMeasureItem)    // void (int, LPMEASUREITEMSTRUCT)
#define ON_WM_SETFOCUS() AFX_MSG_ENTRY(WM_SETFOCUS, ThunkFocus, OnSetFocus)                   // void (CWnd*)
#define ON_WM_KILLFOCUS() AFX_MSG_ENTRY(WM_KILLFOCUS, ThunkFocus, OnKillFocus)                // void (CWnd*)
#define ON_WM_ACTIVATE() AFX_MSG_ENTRY(WM_ACTIVATE, ThunkActivate, OnActivate)                // void (UINT, CWnd*, BOOL)
#define ON_WM_ENABLE() AFX_MSG_ENTRY(WM_ENABLE, ThunkEnable, OnEnable)                        // void (BOOL)
#define ON_WM_CANCELMODE() AFX_MSG_ENTRY(WM_CANCELMODE, ThunkVoid, OnCancelMode)              // void ()
#define ON_WM_SYSCOLORCHANGE() AFX_MSG_ENTRY(WM_SYSCOLORCHANGE, ThunkVoid, OnSysColorChange)  // void ()
#define ON_WM_GETDLGCODE() AFX_MSG_ENTRY(WM_GETDLGCODE, ThunkGetDlgCode, OnGetDlgCode)        // UINT ()
#define ON_WM_CAPTURECHANGED() AFX_MSG_ENTRY(WM_CAPTURECHANGED, ThunkCaptureChanged, OnCaptureChanged)  // void (CWnd*)
#define ON_WM_MOUSELEAVE() AFX_MSG_ENTRY(WM_MOUSELEAVE, ThunkVoid, OnMouseLeave)              // void ()

// LRESULT handler (WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn) \
    {AfxEntry_Message, message, 0, 0, 0, nullptr, &afx_detail::ThunkMessage<ThisClass, &ThisClass::memberFxn>},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    {AfxEntry_Registered, 0, 0, 0, 0, &(nMessageVariable), &afx_detail::ThunkMessage<ThisClass, &ThisClass::memberFxn>},

// Commands: void (); ranges: void (UINT nID)
#define ON_COMMAND(id, memberFxn) \
    {AfxEntry_Command, WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id), nullptr, &afx_detail::ThunkCommand<ThisClass, &ThisClass::memberFxn>},
#define ON_COMMAND_RANGE(id, idLast, memberFxn) \
    {AfxEntry_Command, WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(idLast), nullptr, &afx_detail::ThunkCommandRange<ThisClass, &ThisClass::memberFxn>},
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    {AfxEntry_Command, WM_COMMAND, afx_detail::NotifyCode(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id), nullptr, &afx_detail::ThunkCommand<ThisClass, &ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)

// Notifications: void (NMHDR*, LRESULT*); ranges: void (UINT nID, NMHDR*, LRESULT*)
#define ON_NOTIFY(wNotifyCode, id, memberFxn) \
    {AfxEntry_Notify, WM_NOTIFY, afx_detail::NotifyCode(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id), nullptr, &afx_detail::ThunkNotify<ThisClass, &ThisClass::memberFxn>},
#define ON_NOTIFY_RANGE(wNotifyCode, id, idLast, memberFxn) \
    {AfxEntry_Notify, WM_NOTIFY, afx_detail::NotifyCode(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(idLast), nullptr, &afx_detail::ThunkNotifyRange<ThisClass, &ThisClass::memberFxn>},

// Reflection: the control handles its own notification. The plain forms keep
// it from the parent; the _EX forms return BOOL, and FALSE lets the parent
// have it as well.
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFxn) \
    {AfxEntry_Reflect, WM_NOTIFY, afx_detail::NotifyCode(wNotifyCode), 0, 0, nullptr, &afx_detail::ThunkNotifyReflect<ThisClass, &ThisClass::memberFxn>},
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFxn) \
    {AfxEntry_Reflect, WM_NOTIFY, afx_detail::NotifyCode(wNotifyCode), 0, 0, nullptr, &afx_detail::ThunkNotifyReflectEx<ThisClass, &ThisClass::memberFxn>},
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn) \
    {AfxEntry_Reflect, WM_COMMAND, afx_detail::NotifyCode(wNotifyCode), 0, 0, nullptr, &afx_detail::ThunkControlReflect<ThisClass, &ThisClass::memberFxn>},
#define ON_CONTROL_REFLECT_EX(wNotifyCode, memberFxn) \
    {AfxEntry_Reflect, WM_COMMAND, afx_detail::NotifyCode(wNotifyCode), 0, 0, nullptr, &afx_detail::ThunkControlReflectEx<ThisClass, &ThisClass::memberFxn>},
#define ON_BN_CLICKED_REFLECT(memberFxn) ON_CONTROL_REFLECT(BN_CLICKED, memberFxn)
// HBRUSH CtlColor(CDC*, UINT): a null brush leaves the message to the parent.
#define ON_WM_CTLCOLOR_REFLECT() AFX_REFLECT_ENTRY(AFX_WM_CTLCOLOR, ThunkCtlColorReflect, CtlColor)
#define ON_WM_DRAWITEM_REFLECT() AFX_REFLECT_ENTRY(WM_DRAWITEM, ThunkDrawItemReflect, DrawItem)
#define ON_WM_MEASUREITEM_REFLECT() AFX_REFLECT_ENTRY(WM_MEASUREITEM, ThunkMeasureItemReflect, MeasureItem)
