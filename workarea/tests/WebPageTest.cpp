// The work area's tool list and web page tab: tool buttons clicked with the
// mouse reach the main dialog's queue, the web page tab without an HTML
// engine, the browser's control site and script bridge, and whole-page
// capture from a stand-in document through the real capture engine.
#include "CaptureTestSupport.h"
#include "WidgetTestUtil.h"
#include "WorkareaTestRes.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "workarea/CustomOccManager.h"
#include "workarea/ImpIDispatch.h"
#include "workarea/MainFrmWnd.h"
#include "workarea/ToolListWnd.h"
#include "workarea/web/FormWebpageWnd.h"
#include "workarea/web/WebBrowserSite.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CString Text(UINT nID) {
    CString text;
    text.LoadString(nID);
    return text;
}

// The program's browser set-up: OLE on this thread, the control-site manager
// enabled with the window.external object.
CImpIDispatch g_external;
CCustomOccManager g_manager;

class BrowserEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override { ::OleUninitialize(); }
};
const auto* const browserEnvironment = ::testing::AddGlobalTestEnvironment(new BrowserEnvironment);

// The main dialog stand-in: records the commands that arrive through its
// queue, where CVeskDlg::PreTranslateMessage looks for the tool list's ids.
class CCommandHost : public CDialog {
public:
    CCommandHost() : CDialog(IDD_FRAME_HOST) {}
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->hwnd == m_hWnd && pMsg->message == WM_COMMAND)
            posted.push_back({pMsg->wParam, pMsg->lParam});
        return CDialog::PreTranslateMessage(pMsg);
    }
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Command> posted;
};

std::vector<CString> g_messageBoxes;
int RecordMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_messageBoxes.push_back(text);
    return IDOK;
}

void ClickAt(HWND hWnd) {
    CRect rect;
    ::GetWindowRect(hWnd, &rect);
    wt::MouseMove(rect.CenterPoint().x, rect.CenterPoint().y);
    wt::MouseDown();
    wt::MouseUp();
}

class WebAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_manager.SetExternal(&g_external);
        AfxEnableControlContainer(&g_manager);
        ASSERT_TRUE(host.Create(IDD_FRAME_HOST));
        host.SetWindowPos(&CWnd::wndTopMost, 30, 30, 760, 560, 0);
        ASSERT_TRUE(frame.Create(nullptr, L"VeskFrame", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), &host));
        frame.SetWindowPos(nullptr, 0, 0, 700, 460, SWP_NOZORDER | SWP_SHOWWINDOW);
        host.ShowWindow(SW_SHOW);
        host.SetForegroundWindow();
        wt::Settle(host.m_hWnd);
        g_messageBoxes.clear();
        previousHook = AfxSetMessageBoxHook(RecordMessageBox);
    }
    void TearDown() override {
        AfxSetMessageBoxHook(previousHook);
        frame.DestroyWindow();
        host.DestroyWindow();
        wt::MouseAway();
    }
    CFormViewWnd& view() { return *frame.GetView(); }

    CCommandHost host;
    CMainFrmWnd frame;
    AfxMessageBoxHook previousHook = nullptr;
};

TEST_F(WebAreaTest, ToolListButtonsPostTheirIdsToTheMainDialog) {
    ASSERT_EQ(1, view().GetTabCount());
    EXPECT_EQ(Text(IDS_TOOL_LIST_TAB), view().GetTabTitle(0));
    EXPECT_EQ(WorkTabToolList, view().GetCurrentKind());
    EXPECT_EQ(nullptr, view().GetCurrentImage());
    CToolListWnd* tools = view().GetToolList();
    ASSERT_NE(nullptr, tools);
    EXPECT_EQ(CString(L"화면 전체를 캡쳐합니다"), tools->GetToolTipText(IDC_TOOL_FIRST));
    EXPECT_EQ(CString(L"애니메이션 GIF를 만듭니다"), tools->GetToolTipText(IDC_TOOL_LAST));

    for (UINT id = IDC_TOOL_FIRST; id <= IDC_TOOL_LAST; ++id) {
        CButton* button = tools->GetButton(id);
        ASSERT_NE(nullptr, button) << id;
        CString label;
        button->GetWindowText(label);
        EXPECT_FALSE(label.IsEmpty()) << id;
        EXPECT_FALSE(tools->GetToolTipText(id).IsEmpty()) << id;
        host.posted.clear();
        ClickAt(button->m_hWnd);
        ASSERT_TRUE(wt::PumpUntil([&] { return !host.posted.empty(); })) << "no command for " << id;
        ASSERT_EQ(1u, host.posted.size()) << id;
        EXPECT_EQ(static_cast<WPARAM>(id), host.posted[0].wParam);  // the whole wParam, as the dialog matches it
        EXPECT_EQ(0, host.posted[0].lParam);
    }
}

TEST_F(WebAreaTest, WebPageTabOpensOnceAndSaysWhenThereIsNoHtmlEngine) {
    view().OpenTab(L"anything", WorkTabWebPage, 0);
    ASSERT_EQ(2, view().GetTabCount());
    EXPECT_EQ(CString(L"WebPage"), view().GetTabTitle(1));
    EXPECT_EQ(WorkTabWebPage, view().GetCurrentKind());
    EXPECT_EQ(nullptr, view().GetCurrentImage());
    EXPECT_EQ(nullptr, view().GetCurrentPane());
    CFormWebpageWnd* web = view().GetWebPage();
    ASSERT_NE(nullptr, web);

    // Opening it again selects the same tab, also from another tab.
    CString firstTitle = view().GetTabTitle(0);
    view().OpenTab(firstTitle, WorkTabSavedFile, 0);  // not a file: nothing opens
    view().OpenTab(L"WebPage", WorkTabWebPage, 0);
    EXPECT_EQ(2, view().GetTabCount());
    EXPECT_EQ(web, view().GetWebPage());
    EXPECT_EQ(1, view().GetCurrentTab());

    // The control comes up, but no document ever does: the tab says so.
    ASSERT_NE(CFormWebpageWnd::State::NoControl, web->GetState()) << "the Web Browser control was not created";
    const DWORD start = ::GetTickCount();
    wt::PumpUntil([&] {
        return web->GetState() != CFormWebpageWnd::State::Loading ||
               ::GetTickCount() - start > 4 * CFormWebpageWnd::kDocumentTimeoutMs;  // hang guard
    }, 100000);
    ASSERT_EQ(CFormWebpageWnd::State::NoEngine, web->GetState());
    EXPECT_EQ(Text(IDS_WEB_NO_ENGINE), web->GetMessageText());

    // The capture button reports it, and nothing reaches the capture engine.
    int handed = 0;
    view().SetPageCaptureHandler([&](HDC dc, RECT, HBITMAP bitmap) {
        ++handed;
        ::DeleteDC(dc);
        ::DeleteObject(bitmap);
    });
    CWnd* capture = web->GetDlgItem(IDC_WEB_CAPTURE);
    ASSERT_NE(nullptr, capture);
    ClickAt(capture->m_hWnd);
    ASSERT_TRUE(wt::PumpUntil([] { return !g_messageBoxes.empty(); }));
    EXPECT_EQ(Text(IDS_WEB_NO_ENGINE), g_messageBoxes[0]);
    EXPECT_EQ(PageCaptureResult::NoEngine, web->CapturePage());
    EXPECT_EQ(0, handed);

    // A page's window.external.CB_Close() closes the tab.
    DISPPARAMS none = {};
    EXPECT_EQ(S_OK, g_external.Invoke(CImpIDispatch::DISPID_CB_Close, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                                      nullptr, nullptr));
    ASSERT_TRUE(wt::PumpUntil([&] { return view().GetWebPage() == nullptr; }));
    EXPECT_EQ(1, view().GetTabCount());
    EXPECT_EQ(WorkTabToolList, view().GetCurrentKind());
    // With the tab gone the call has nothing to close.
    EXPECT_EQ(S_OK, g_external.Invoke(CImpIDispatch::DISPID_CB_Close, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                                      nullptr, nullptr));
    wt::PumpMessages();
    EXPECT_EQ(1, view().GetTabCount());
}

TEST_F(WebAreaTest, ControlSiteAnswersTheHostInterfaces) {
    auto* site = new CWebBrowserSite(host.m_hWnd, &g_external);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, static_cast<IOleClientSite*>(site)->QueryInterface(IID_IUnknown,
                                                                        reinterpret_cast<void**>(&identity)));
    const struct {
        const char* name;
        IID iid;
    } answered[] = {
        {"IOleClientSite", IID_IOleClientSite},     {"IOleWindow", IID_IOleWindow},
        {"IOleInPlaceSite", IID_IOleInPlaceSite},   {"IOleInPlaceUIWindow", IID_IOleInPlaceUIWindow},
        {"IOleInPlaceFrame", IID_IOleInPlaceFrame}, {"IDocHostUIHandler", IID_IDocHostUIHandler},
        {"IDocHostShowUI", __uuidof(IDocHostShowUI)},
    };
    for (const auto& a : answered) {
        IUnknown* itf = nullptr;
        ASSERT_EQ(S_OK, identity->QueryInterface(a.iid, reinterpret_cast<void**>(&itf))) << a.name;
        IUnknown* back = nullptr;
        ASSERT_EQ(S_OK, itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back))) << a.name;
        EXPECT_EQ(identity, back) << a.name;  // one object behind every interface
        back->Release();
        itf->Release();
    }
    for (const IID& iid : {IID_IDispatch, IID_IStream, IID_IOleObject}) {
        void* itf = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, identity->QueryInterface(iid, &itf));
        EXPECT_EQ(nullptr, itf);
    }

    // Pages get the program's window.external.
    const ULONG before = g_external.GetRefCount();
    IDispatch* external = nullptr;
    EXPECT_EQ(S_OK, site->GetExternal(&external));
    EXPECT_EQ(static_cast<IDispatch*>(&g_external), external);
    EXPECT_EQ(before + 1, g_external.GetRefCount());
    external->Release();

    identity->Release();
    site->Release();  // the last reference: the site goes, and with it its hold on window.external
    EXPECT_EQ(before - 1, g_external.GetRefCount());
}

TEST(ScriptBridge, KnowsTheEightMethodsAndRefusesOthers) {
    CImpIDispatch bridge;
    const wchar_t* const names[] = {L"CB_IsOurCustomBrowser", L"CB_Close",      L"CB_Function",
                                    L"CB_CustomFunctionWithParams", L"CB_OpenWindow", L"CB_ShowModalDialog",
                                    L"CB_ShowModelessDialog", L"IB_Function"};
    std::vector<DISPID> ids;
    for (const wchar_t* name : names) {
        LPOLESTR one[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(S_OK, bridge.GetIDsOfNames(IID_NULL, one, 1, 0, &id)) << ids.size();
        EXPECT_NE(DISPID_UNKNOWN, id);
        for (DISPID other : ids)
            EXPECT_NE(other, id);
        ids.push_back(id);
    }
    for (const wchar_t* name : {L"CB_Closer", L"close", L"", L"IB_Functions"}) {
        LPOLESTR one[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        EXPECT_EQ(DISP_E_UNKNOWNNAME, bridge.GetIDsOfNames(IID_NULL, one, 1, 0, &id));
        EXPECT_EQ(DISPID_UNKNOWN, id);
    }

    // CB_IsOurCustomBrowser answers true; the rest are accepted and answer nothing.
    DISPPARAMS none = {};
    for (size_t i = 0; i < ids.size(); ++i) {
        VARIANT result;
        ::VariantInit(&result);
        ASSERT_EQ(S_OK, bridge.Invoke(ids[i], IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
        if (i == 0) {
            EXPECT_EQ(VT_BOOL, result.vt);
            EXPECT_EQ(VARIANT_TRUE, result.boolVal);
        } else {
            EXPECT_EQ(VT_EMPTY, result.vt) << i;
        }
    }
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, bridge.Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, bridge.GetRefCount());
}

// A page of a given size: four coloured quadrants and one marked corner pixel.
class PatternDocument : public IWebPageDocument {
public:
    PatternDocument(int width, int height, bool drawable = true) : m_size{width, height}, m_drawable(drawable) {}
    bool GetPageSize(SIZE& size) override {
        size = m_size;
        return true;
    }
    bool DrawPage(HDC dc, const SIZE& size) override {
        drawnSize = size;
        if (!m_drawable)
            return false;
        const int midX = m_size.cx / 2, midY = m_size.cy / 2;
        Fill(dc, {0, 0, midX, midY}, kTopLeft);
        Fill(dc, {midX, 0, m_size.cx, midY}, kTopRight);
        Fill(dc, {0, midY, midX, m_size.cy}, kBottomLeft);
        Fill(dc, {midX, midY, m_size.cx, m_size.cy}, kBottomRight);
        ::SetPixel(dc, m_size.cx - 1, m_size.cy - 1, kCorner);
        return true;
    }
    static constexpr COLORREF kTopLeft = RGB(255, 0, 0), kTopRight = RGB(0, 255, 0), kBottomLeft = RGB(0, 0, 255),
                              kBottomRight = RGB(255, 255, 0), kCorner = RGB(0, 255, 255);
    SIZE drawnSize = {};

private:
    static void Fill(HDC dc, RECT rect, COLORREF colour) {
        HBRUSH brush = ::CreateSolidBrush(colour);
        ::FillRect(dc, &rect, brush);
        ::DeleteObject(brush);
    }
    SIZE m_size;
    bool m_drawable;
};

DWORD Rgb(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

TEST(PageCapture, SizesTheWholePageAndHandsItToTheCaptureEngine) {
    using capture_test::PixelAt;
    const CString folder = capture_test::MakeScratchFolder(L"webpage");
    COpFilePropertyPage file;
    COpWatermarkPropertyPage watermark;
    COpContinuePage misc;
    file.Directory = folder;
    file.FileName = L"Vesk";
    file.FileType = L"bmp";
    file.FileCount = 0;
    misc.MouseCursor = 0;
    CCaptureEngine engine(file, watermark, misc);
    capture_test::RecordingSink sink;
    capture_test::DoneWindow done(engine);
    engine.Attach(done.Get(), &sink);

    std::vector<std::pair<HDC, HBITMAP>> handed;
    CFormWebpageWnd page;
    EXPECT_EQ(PageCaptureResult::NoReceiver, [&] {
        PatternDocument doc(10, 10);
        return page.CapturePage(doc);
    }());
    page.SetCaptureHandler([&](HDC dc, RECT rect, HBITMAP bitmap) {
        EXPECT_EQ(0, rect.left);
        EXPECT_EQ(0, rect.top);
        handed.push_back({dc, bitmap});
        engine.StartCapture(dc, rect, FALSE, false, 0, bitmap);
    });

    struct Case {
        const char* what;
        int width, height;
        bool drawable;
        PageCaptureResult result;
        int savedWidth, savedHeight;  // 0: no file
    };
    const Case cases[] = {
        {"ordinary page", 300, 220, true, PageCaptureResult::Captured, 300, 220},
        {"empty page", 0, 0, true, PageCaptureResult::EmptyPage, 0, 0},
        {"no height", 300, 0, true, PageCaptureResult::EmptyPage, 0, 0},
        {"drawing fails", 50, 50, false, PageCaptureResult::DrawFailed, 0, 0},
        {"wider than a capture holds", 20000, 40, true, PageCaptureResult::Capped, kMaxPageSide, 40},
    };
    int number = 0;
    for (const Case& c : cases) {
        PatternDocument doc(c.width, c.height, c.drawable);
        const size_t handedBefore = handed.size();
        EXPECT_EQ(c.result, page.CapturePage(doc)) << c.what;
        ASSERT_TRUE(done.WaitForAll()) << c.what;
        CString path;
        path.Format(L"%s\\Vesk_%d.bmp", folder.GetString(), number);
        if (!c.savedWidth) {
            EXPECT_EQ(handedBefore, handed.size()) << c.what;
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path)) << c.what;
            EXPECT_FALSE(page.DescribeResult(c.result).IsEmpty()) << c.what;
            continue;
        }
        ++number;
        ASSERT_EQ(handedBefore + 1, handed.size()) << c.what;
        EXPECT_EQ(c.savedWidth, doc.drawnSize.cx) << c.what;
        EXPECT_EQ(c.savedHeight, doc.drawnSize.cy) << c.what;
        // The worker deleted the DC and its bitmap once it was done with them.
        EXPECT_EQ(0u, ::GetObjectType(handed.back().first)) << c.what;
        EXPECT_EQ(0u, ::GetObjectType(handed.back().second)) << c.what;

        CDibImage image;
        ASSERT_TRUE(image.Load(path, 0)) << c.what;
        ASSERT_EQ(static_cast<DWORD>(c.savedWidth), image.GetWidth()) << c.what;
        ASSERT_EQ(static_cast<DWORD>(c.savedHeight), image.GetHeight()) << c.what;
        const int w = c.savedWidth, h = c.savedHeight;
        EXPECT_EQ(Rgb(PatternDocument::kTopLeft), PixelAt(image, 0, 0)) << c.what;
        EXPECT_EQ(Rgb(PatternDocument::kTopRight), PixelAt(image, w - 1, 0)) << c.what;
        EXPECT_EQ(Rgb(PatternDocument::kBottomLeft), PixelAt(image, 0, h - 1)) << c.what;
        const COLORREF lastPixel = c.width == w ? PatternDocument::kCorner : PatternDocument::kBottomRight;
        EXPECT_EQ(Rgb(lastPixel), PixelAt(image, w - 1, h - 1)) << c.what;
    }
    EXPECT_TRUE(sink.Failures().empty());
    // What the capture button tells the user about a cut page.
    EXPECT_NE(-1, page.DescribeResult(PageCaptureResult::Capped).Find(L"16384 x 40"));
}

}  // namespace
