// The work-area frame: tabs opened from the panes, docked bars and their
// layout, the dialog bar's size negotiation, and the browser host objects.
#include "WorkareaTestRes.h"
#include "image/DibImage.h"
#include "widgets/ResizeableDlgBar.h"
#include "workarea/CustomOccManager.h"
#include "workarea/ImagePreviewWnd.h"
#include "workarea/ImpIDispatch.h"
#include "workarea/MainFrmWnd.h"
#include "workarea/WebImageWnd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Pump() {
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

HBITMAP MakeSolidBitmap(int width, int height, COLORREF color) {
    HDC hScreen = ::GetDC(nullptr);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, width, height);
    HDC hDC = ::CreateCompatibleDC(hScreen);
    HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
    HBRUSH hBrush = ::CreateSolidBrush(color);
    RECT rect = {0, 0, width, height};
    ::FillRect(hDC, &rect, hBrush);
    ::DeleteObject(hBrush);
    ::SelectObject(hDC, hOld);
    ::DeleteDC(hDC);
    ::ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

COLORREF BitmapPixel(HBITMAP hBitmap, int x, int y) {
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
    const COLORREF color = ::GetPixel(hDC, x, y);
    ::SelectObject(hDC, hOld);
    ::DeleteDC(hDC);
    return color;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

// The main dialog stand-in: idle time reaches the frame's bars as
// CWinThread::OnIdle would deliver it.
class CFrameHost : public CDialog {
public:
    CFrameHost() : CDialog(IDD_FRAME_HOST) {}
    int barClicks = 0;

protected:
    LRESULT OnKickIdle(WPARAM, LPARAM) {
        SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
        return FALSE;
    }
    void OnBarButton() { ++barClicks; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFrameHost, CDialog)
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
    ON_COMMAND(IDC_BAR_BUTTON, OnBarButton)
END_MESSAGE_MAP()

class WorkAreaTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create(IDD_FRAME_HOST));
        host.SetWindowPos(nullptr, 30, 30, 700, 560, SWP_NOZORDER);
        ASSERT_TRUE(frame.Create(nullptr, L"VeskFrame", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), &host));
        frame.SetWindowPos(nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
        host.ShowWindow(SW_SHOW);
        Pump();
    }
    void TearDown() override {
        frame.DestroyWindow();
        host.DestroyWindow();
    }
    // A bar created and docked as the frame docks its dialog bars.
    void AddBar(CResizeableDlgBar& bar) {
        ASSERT_TRUE(frame.CreateDialogBar(bar, IDD_TEST_BAR, CBRS_TOP | CBRS_SIZE_DYNAMIC | WS_VISIBLE,
                                          AFX_IDW_DIALOGBAR));
        frame.AttachColorBar(&bar);
        ASSERT_EQ(&bar, frame.GetColorBar());
        ASSERT_EQ(bar.m_sizeDefault, bar.m_sizeDocked);
        ASSERT_TRUE(bar.m_bChangeDockedSize);
        frame.RecalcLayout();
    }
    CFrameHost host;
    CMainFrmWnd frame;
};

TEST_F(WorkAreaTest, ViewFillsTheFrameAndHasOnlyTheToolListAtFirst) {
    ASSERT_NE(nullptr, frame.GetView());
    EXPECT_EQ(CRect(0, 0, 600, 400), frame.GetViewRect());
    EXPECT_EQ(1, frame.GetView()->GetTabCount());
    EXPECT_EQ(WorkTabToolList, frame.GetView()->GetCurrentKind());
    EXPECT_EQ(nullptr, frame.GetView()->GetCurrentImage());
    EXPECT_EQ(nullptr, frame.GetPaletteBar());
    EXPECT_EQ(CString(L"VeskFrame"), [&] {
        CString text;
        frame.GetWindowText(text);
        return text;
    }());
}

TEST_F(WorkAreaTest, OpenTabTitlesReuseAndClose) {
    const std::wstring path = TempPath(L"work_a.bmp");
    CDibImage image;
    {
        HBITMAP h = MakeSolidBitmap(800, 700, RGB(0, 128, 0));
        ASSERT_TRUE(image.CreateFromHBITMAP(h));
        ASSERT_TRUE(image.Save(path.c_str(), 1));
        ::DeleteObject(h);
    }
    HBITMAP hDc = MakeSolidBitmap(120, 90, RGB(255, 0, 0));
    CFormViewWnd& view = *frame.GetView();

    struct Step {
        const wchar_t* name;
        int kind;
        DWORD_PTR data;
        int tabs;
        const wchar_t* currentTitle;
        WorkTabKind currentKind;
        const char* writeFirst = nullptr;  // the file's new content, written outside first
        const wchar_t* says = nullptr;  // what the tab says instead of a picture
    };
    const Step steps[] = {
        {path.c_str(), 1, 0, 2, L"work_a.bmp", WorkTabSavedFile},
        {L"예약된 이름\\veskdc_1.bmp", 2, reinterpret_cast<DWORD_PTR>(hDc), 3, L"veskdc_1.bmp", WorkTabSavedDc},
        {path.c_str(), 1, 0, 3, L"work_a.bmp", WorkTabSavedFile},  // selected, not reopened
        {L"예약된 이름\\veskdc_1.bmp", 2, reinterpret_cast<DWORD_PTR>(hDc), 3, L"veskdc_1.bmp", WorkTabSavedDc},
        {L"예약된 이름\\veskdc_9.bmp", 2, 0, 3, L"veskdc_1.bmp", WorkTabSavedDc},  // no bitmap: no tab
        {L"x", 7, 0, 3, L"veskdc_1.bmp", WorkTabSavedDc},  // no such kind
        // Unreadable files: a tab that says why, with no picture.
        {L"C:\\nowhere\\missing.bmp", 1, 0, 4, L"missing.bmp", WorkTabSavedFile, nullptr, L"파일이 없습니다"},
        {path.c_str(), 1, 0, 4, L"work_a.bmp", WorkTabSavedFile, "BM, damaged", L"손상되었거나"},
    };
    for (const Step& step : steps) {
        if (FILE* file = step.writeFirst ? _wfopen(step.name, L"wb") : nullptr) {
            fputs(step.writeFirst, file);
            fclose(file);
        }
        view.OpenTab(step.name, step.kind, step.data);
        EXPECT_EQ(step.tabs, view.GetTabCount()) << step.name;
        EXPECT_EQ(CString(step.currentTitle), view.GetTabTitle(view.GetCurrentTab())) << step.name;
        EXPECT_EQ(step.currentKind, view.GetCurrentKind()) << step.name;
        const CString said = view.GetCurrentPane() ? view.GetCurrentPane()->GetUnreadableMessage() : CString();
        EXPECT_TRUE(step.says ? said.Find(step.says) > 0 && !view.GetCurrentImage() : said.IsEmpty())
            << step.name << ": " << said.GetString();
    }

    // Readable again, the preview shows the image at 1:1 and scrolls over the rest.
    ASSERT_TRUE(image.Save(path.c_str(), 1));
    view.OpenTab(path.c_str(), 1, 0);
    CImagePreviewWnd* pane = view.GetCurrentPane();
    ASSERT_NE(nullptr, pane);
    EXPECT_TRUE(pane->GetUnreadableMessage().IsEmpty());
    EXPECT_EQ(CSize(800, 700), pane->GetTotalSize());
    EXPECT_NE(0u, pane->GetStyle() & WS_VSCROLL);
    EXPECT_EQ(800u, view.GetCurrentImage()->GetWidth());

    view.CloseFileTab(L"C:\\nowhere\\missing.bmp", 1);
    view.CloseFileTab(L"C:\\elsewhere\\unknown.bmp", 1);
    EXPECT_EQ(3, view.GetTabCount());
    view.CloseFileTab(L"", 2);
    EXPECT_EQ(3, view.GetTabCount());
    view.CloseFileTab(view.GetTabTitle(0), 1);  // the tool list is no file
    EXPECT_EQ(3, view.GetTabCount());

    view.CloseFileTab(L"예약된 이름\\veskdc_1.bmp", 2);
    EXPECT_EQ(2, view.GetTabCount());
    // The caller's bitmap outlives the tab that showed a copy of it.
    BITMAP bm = {};
    ASSERT_NE(0, ::GetObjectW(hDc, sizeof(bm), &bm));
    EXPECT_EQ(120, bm.bmWidth);
    EXPECT_EQ(RGB(255, 0, 0), BitmapPixel(hDc, 60, 45));
    EXPECT_NE(0, ::DeleteObject(hDc));

    view.CloseFileTab(path.c_str(), 1);
    EXPECT_EQ(1, view.GetTabCount());
    EXPECT_EQ(WorkTabToolList, view.GetCurrentKind());
    EXPECT_EQ(nullptr, view.GetCurrentImage());
    ::DeleteFileW(path.c_str());
}

TEST_F(WorkAreaTest, ShowingAndHidingABarMovesTheView) {
    CResizeableDlgBar bar;
    AddBar(bar);
    const int barHeight = bar.m_sizeDefault.cy;
    ASSERT_GT(barHeight, 0);
    EXPECT_EQ(CRect(0, barHeight, 600, 400), frame.GetViewRect());

    frame.ShowControlBar(&bar, FALSE, FALSE);
    frame.RecalcLayout(TRUE);
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(CRect(0, 0, 600, 400), frame.GetViewRect());

    frame.ShowControlBar(&bar, TRUE, FALSE);
    frame.RecalcLayout(TRUE);
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(CRect(0, barHeight, 600, 400), frame.GetViewRect());

    // Resizing the frame keeps the bar's strip.
    frame.SetWindowPos(nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(CRect(0, barHeight, 500, 300), frame.GetViewRect());
}

TEST_F(WorkAreaTest, BarsDockOnTheirSides) {
    CResizeableDlgBar bar;
    AddBar(bar);
    const CSize barSize = bar.m_sizeDefault;

    CToolBar toolbar;
    ASSERT_TRUE(toolbar.CreateEx(&frame, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP, CRect(0, 0, 0, 0),
                                 AFX_IDW_TOOLBAR + 1));
    const UINT ids[] = {100, 101, ID_SEPARATOR, 102};
    ASSERT_TRUE(toolbar.SetButtons(ids, 4));
    toolbar.EnableDocking(CBRS_ALIGN_ANY);
    frame.DockControlBar(&toolbar, AFX_IDW_DOCKBAR_BOTTOM);
    frame.RecalcLayout();
    const int toolbarHeight = toolbar.CalcFixedLayout(TRUE, TRUE).cy;
    ASSERT_GT(toolbarHeight, 0);
    EXPECT_EQ(CRect(0, barSize.cy, 600, 400 - toolbarHeight), frame.GetViewRect());
    CRect rect;
    toolbar.GetWindowRect(&rect);
    frame.ScreenToClient(&rect);
    EXPECT_EQ(CRect(0, 400 - toolbarHeight, 600, 400), rect);  // stretched along the dock

    // The dialog bar moved to the left side: its docked width, the rest's height.
    frame.DockControlBar(&bar, AFX_IDW_DOCKBAR_LEFT);
    frame.RecalcLayout();
    EXPECT_EQ(CRect(barSize.cx, 0, 600, 400 - toolbarHeight), frame.GetViewRect());
    frame.ShowControlBar(&toolbar, FALSE, FALSE);
    EXPECT_EQ(CRect(barSize.cx, 0, 600, 400), frame.GetViewRect());
    toolbar.DestroyWindow();
}

TEST_F(WorkAreaTest, DelayedShowAppliesAtIdleTime) {
    CResizeableDlgBar bar;
    AddBar(bar);
    const int barHeight = bar.m_sizeDefault.cy;
    frame.ShowControlBar(&bar, FALSE, FALSE);
    ASSERT_EQ(CRect(0, 0, 600, 400), frame.GetViewRect());

    frame.ShowControlBar(&bar, TRUE, TRUE);
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(CRect(0, 0, 600, 400), frame.GetViewRect());

    host.SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, 0);
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(CRect(0, barHeight, 600, 400), frame.GetViewRect());

    frame.ShowControlBar(&bar, FALSE, TRUE);
    EXPECT_TRUE(bar.IsWindowVisible());
    host.SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, 0);
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(CRect(0, 0, 600, 400), frame.GetViewRect());
}

TEST_F(WorkAreaTest, BarButtonsStayEnabledAndReachTheOwner) {
    CResizeableDlgBar bar;
    AddBar(bar);
    host.SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, 0);
    CWnd* button = bar.GetDlgItem(IDC_BAR_BUTTON);
    ASSERT_NE(nullptr, button);
    EXPECT_TRUE(button->IsWindowEnabled());
    bar.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BAR_BUTTON, BN_CLICKED), reinterpret_cast<LPARAM>(button->m_hWnd));
    EXPECT_EQ(1, host.barClicks);
}

TEST_F(WorkAreaTest, ResizeableDlgBarNegotiatesItsSize) {
    CResizeableDlgBar bar;
    AddBar(bar);
    CRect client;
    frame.GetClientRect(&client);
    const CSize start = bar.m_sizeDefault;

    struct Case {
        const char* what;
        int length;
        DWORD mode;
        CSize expected;
        CSize floatingAfter;
        CSize dockedAfter;
        BOOL docked;
    };
    const CSize wider(333, start.cy);
    const Case cases[] = {
        {"most recently used", 10, LM_MRUWIDTH, start, start, start, FALSE},
        {"floating width", 333, 0, CSize(333, start.cy), wider, wider, FALSE},
        {"floating height", 77, LM_LENGTHY, CSize(333, 77), CSize(333, 77), CSize(333, 77), FALSE},
        {"mru after resize", -1, LM_MRUWIDTH, CSize(333, 77), CSize(333, 77), CSize(333, 77), FALSE},
        {"horizontal dock", -1, LM_HORZDOCK | LM_HORZ, CSize(333, 77), CSize(333, 77), CSize(333, 77), TRUE},
        {"horizontal dock, not horz", -1, LM_HORZDOCK, CSize(333, client.Height()), CSize(333, 77), CSize(333, 77),
         TRUE},
        {"stretch horz", -1, LM_HORZDOCK | LM_HORZ | LM_STRETCH, CSize(32767, 77), CSize(333, 77), CSize(333, 77),
         TRUE},
        {"stretch vert", -1, LM_HORZDOCK | LM_STRETCH, CSize(333, 32767), CSize(333, 77), CSize(333, 77), TRUE},
        {"vertical dock", -1, LM_VERTDOCK, CSize(333, client.Height()), CSize(333, 77), CSize(333, 77), TRUE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, bar.CalcDynamicLayout(c.length, c.mode)) << c.what;
        EXPECT_EQ(c.floatingAfter, bar.m_sizeFloating) << c.what;
        EXPECT_EQ(c.dockedAfter, bar.m_sizeDocked) << c.what;
        EXPECT_EQ(c.docked, bar.m_bDocked) << c.what;
    }
    EXPECT_TRUE(bar.m_bDockedVertically);

    // Without the flag, floating sizes leave the docked size alone.
    bar.m_bChangeDockedSize = FALSE;
    bar.CalcDynamicLayout(150, 0);
    EXPECT_EQ(150, bar.m_sizeFloating.cx);
    EXPECT_EQ(333, bar.m_sizeDocked.cx);
}

TEST(WebImageWnd, CreatedHiddenWithoutParentAndOnlyHidesOnClose) {
    CWebImageWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_EQ(nullptr, ::GetParent(wnd.m_hWnd));
    EXPECT_EQ(0u, wnd.GetStyle() & WS_CHILD);
    wnd.ShowWindow(SW_SHOW);
    EXPECT_TRUE(wnd.IsWindowVisible());
    wnd.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(::IsWindow(wnd.m_hWnd));
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_TRUE(wnd.DestroyWindow());
}

TEST(ImpIDispatch, CountsReferencesButNeverFreesItself) {
    auto* dispatch = new CImpIDispatch;
    EXPECT_EQ(0u, dispatch->GetRefCount());
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(1u, dispatch->GetRefCount());
    IDispatch* disp = nullptr;
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)));
    EXPECT_EQ(2u, disp->AddRef() - 1);
    EXPECT_EQ(2u, disp->Release());
    EXPECT_EQ(1u, disp->Release());
    EXPECT_EQ(0u, unknown->Release());
    EXPECT_EQ(0u, dispatch->Release());  // stays at zero, object still alive
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, dispatch->QueryInterface(IID_IStream, &other));
    EXPECT_EQ(nullptr, other);

    UINT count = 5;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0u, dispatch->GetRefCount());
    delete dispatch;  // the owner's job
}

TEST(CustomOccManager, KeptByTheControlContainer) {
    static CCustomOccManager manager;  // the program never deletes it either
    COccManager* previous = AfxGetOccManager();
    AfxEnableControlContainer(&manager);
    EXPECT_EQ(&manager, AfxGetOccManager());
    EXPECT_EQ(&manager, CCustomOccManager::Get());
    AfxEnableControlContainer(previous);
}

}  // namespace
