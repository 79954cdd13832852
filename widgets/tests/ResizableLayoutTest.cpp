// The layout engine in a real dialog: anchor arithmetic, the flags each class
// rule gives, the background region and stale children.
#include "WidgetTestUtil.h"
#include "WidgetsTestRes.h"
#include "widgets/ResizableDialog.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

// Records what the layout asks of a child, and answers for it when told to.
class CRecorderWnd : public CWnd {
public:
    std::vector<UINT> posFlags;  // flags of each WM_WINDOWPOSCHANGING
    bool transparentHit = false;
    bool answers = false;
    ChildResizeProperties answer = {};
    HWND destroyWhenAsked = nullptr;  // destroyed while the layout asks about refreshing

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_WINDOWPOSCHANGING)
            posFlags.push_back(reinterpret_cast<WINDOWPOS*>(lParam)->flags);
        if (message == WM_NCHITTEST && transparentHit)
            return HTTRANSPARENT;
        if (message == WMU_RESIZESUPPORT && answers) {
            if (wParam == RSZSUP_QUERYPROPERTIES)
                *reinterpret_cast<ChildResizeProperties*>(lParam) = answer;
            if (wParam == RSZSUP_NEEDSREFRESH && destroyWhenAsked) {
                ::DestroyWindow(destroyWhenAsked);
                destroyWhenAsked = nullptr;
            }
            return 1;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

struct AnchorCase {
    int id;
    SIZE tl;
    SIZE br;
};

const AnchorCase kAnchors[] = {
    {IDC_PUSH, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_GROUP, ANCHOR_TOP_LEFT, ANCHOR_MIDDLE_CENTER},
    {IDC_OWNERDRAW, ANCHOR_TOP_LEFT, ANCHOR_TOP_LEFT},
    {IDC_TEXT, ANCHOR_TOP_CENTER, ANCHOR_BOTTOM_CENTER},
    {IDC_TEXT_CENTER, ANCHOR_TOP_CENTER, ANCHOR_BOTTOM_CENTER},
    {IDC_FRAME, ANCHOR_TOP_RIGHT, ANCHOR_MIDDLE_RIGHT},
    {IDC_LIST, ANCHOR_MIDDLE_LEFT, ANCHOR_BOTTOM_CENTER},
    {IDC_EDIT, ANCHOR_MIDDLE_CENTER, ANCHOR_MIDDLE_RIGHT},
    {IDC_TOOLBAR, ANCHOR_MIDDLE_CENTER, ANCHOR_NONE},
    {IDC_FIXED, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_HIDDEN, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_CENTER},
    {IDC_ANSWERING, ANCHOR_MIDDLE_CENTER, ANCHOR_MIDDLE_CENTER},
};

class CLayoutDlg : public CResizableDialog {
public:
    CLayoutDlg() : CResizableDialog(IDD_LAYOUT) {}

    std::map<int, std::unique_ptr<CRecorderWnd>> children;
    std::map<int, CRect> initialRects;
    CRect initialClient;
    bool answeringAsksRefresh = false;
    using CResizableLayout::BuildClipRegion;

    CRect ChildRect(int id) const {
        CRect r;
        ::GetWindowRect(::GetDlgItem(m_hWnd, id), &r);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&r), 2);
        return r;
    }

    // Resizes the dialog so that its client area gets this size.
    void SetClientSize(int cx, int cy) {
        CRect window;
        CRect client;
        GetWindowRect(&window);
        GetClientRect(&client);
        SetWindowPos(nullptr, 0, 0, cx + window.Width() - client.Width(), cy + window.Height() - client.Height(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void ClearRecords() {
        for (auto& c : children)
            c.second->posFlags.clear();
    }

protected:
    BOOL OnInitDialog() override {
        CResizableDialog::OnInitDialog();
        // A wide list that can scroll sideways.
        SendDlgItemMessage(IDC_LIST, LB_SETHORIZONTALEXTENT, 2000);
        SendDlgItemMessage(IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"항목"));
        for (const AnchorCase& a : kAnchors) {
            auto rec = std::make_unique<CRecorderWnd>();
            rec->SubclassDlgItem(a.id, this);
            if (a.id == IDC_OWNERDRAW)
                rec->transparentHit = true;
            if (a.id == IDC_ANSWERING) {
                rec->answers = true;
                rec->answer = {FALSE, answeringAsksRefresh ? TRUE : FALSE, TRUE, TRUE};
            }
            children[a.id] = std::move(rec);
            initialRects[a.id] = ChildRect(a.id);
        }
        GetClientRect(&initialClient);
        for (const AnchorCase& a : kAnchors)
            AddAnchor(a.id, a.tl, a.br);
        return TRUE;
    }
};

int Anchored(int extent, int percent) {
    return static_cast<int>(static_cast<long long>(extent) * percent / 100);
}

// Where the anchor rule puts a child, from where it was at registration.
CRect ExpectedRect(const AnchorCase& a, const CRect& initial, const CSize& from, const CSize& to) {
    const SIZE br = (a.br.cx == -1 && a.br.cy == -1) ? a.tl : a.br;
    return CRect(initial.left - Anchored(from.cx, a.tl.cx) + Anchored(to.cx, a.tl.cx),
                 initial.top - Anchored(from.cy, a.tl.cy) + Anchored(to.cy, a.tl.cy),
                 initial.right - Anchored(from.cx, br.cx) + Anchored(to.cx, br.cx),
                 initial.bottom - Anchored(from.cy, br.cy) + Anchored(to.cy, br.cy));
}

class ResizableLayoutTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create(IDD_LAYOUT));
        dlg.ShowWindow(SW_SHOW);
        wt::Settle(dlg.m_hWnd);
        dlg.ClearRecords();
    }
    void TearDown() override { dlg.DestroyWindow(); }

    CLayoutDlg dlg;
};

TEST_F(ResizableLayoutTest, ChildrenFollowTheirAnchorsAtEverySize) {
    const CSize from = dlg.initialClient.Size();
    const CSize sizes[] = {{from.cx + 101, from.cy + 57}, {from.cx + 333, from.cy + 1}, {from.cx, from.cy},
                           {from.cx + 7, from.cy + 250}};
    for (const CSize& to : sizes) {
        dlg.SetClientSize(to.cx, to.cy);
        CRect client;
        dlg.GetClientRect(&client);
        ASSERT_EQ(to, client.Size());
        for (const AnchorCase& a : kAnchors) {
            EXPECT_EQ(ExpectedRect(a, dlg.initialRects[a.id], from, to), dlg.ChildRect(a.id))
                << "control " << a.id << " at " << to.cx << "x" << to.cy;
        }
    }
}

TEST_F(ResizableLayoutTest, EachClassRuleGivesItsCopyBitsFlag) {
    const CSize from = dlg.initialClient.Size();
    dlg.SetClientSize(from.cx + 80, from.cy + 60);

    struct FlagCase {
        int id;
        bool moved;
        bool sized;
        bool noCopyBits;
    };
    const FlagCase cases[] = {
        {IDC_PUSH, true, false, false},
        {IDC_GROUP, false, true, false},
        {IDC_TEXT, true, true, false},         // a text static that only grows in height
        {IDC_TEXT_CENTER, true, true, true},   // ... with SS_CENTERIMAGE
        {IDC_FRAME, true, true, true},         // a frame static whose size changes
        {IDC_LIST, true, true, false},         // widened, but scrolled to its start
        {IDC_EDIT, true, true, false},
        {IDC_TOOLBAR, true, false, false},
        {IDC_FIXED, true, false, false},
        {IDC_HIDDEN, true, true, true},        // a text static that gets wider
        {IDC_ANSWERING, true, false, true},    // its own cached answer
    };
    for (const FlagCase& c : cases) {
        const auto& flags = dlg.children[c.id]->posFlags;
        ASSERT_EQ(1u, flags.size()) << "control " << c.id;
        const UINT f = flags.front();
        EXPECT_EQ(!c.moved, (f & SWP_NOMOVE) != 0) << "control " << c.id;
        EXPECT_EQ(!c.sized, (f & SWP_NOSIZE) != 0) << "control " << c.id;
        EXPECT_EQ(c.noCopyBits, (f & SWP_NOCOPYBITS) != 0) << "control " << c.id;
        EXPECT_EQ(UINT(SWP_NOZORDER | SWP_NOACTIVATE), f & (SWP_NOZORDER | SWP_NOACTIVATE)) << "control " << c.id;
    }
    // An unchanged child is left out of the batch altogether.
    EXPECT_TRUE(dlg.children[IDC_OWNERDRAW]->posFlags.empty());
}

TEST_F(ResizableLayoutTest, AListScrolledToItsEndIsRepaintedWhenWidened) {
    HWND hList = ::GetDlgItem(dlg.m_hWnd, IDC_LIST);
    ::SendMessageW(hList, WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), 0);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_POS;
    ASSERT_TRUE(::GetScrollInfo(hList, SB_HORZ, &si));
    ASSERT_GT(si.nPos, 0);
    dlg.ClearRecords();
    const CSize from = dlg.initialClient.Size();
    dlg.SetClientSize(from.cx + 40, from.cy);
    const auto& flags = dlg.children[IDC_LIST]->posFlags;
    ASSERT_EQ(1u, flags.size());
    EXPECT_NE(0u, flags.front() & SWP_NOCOPYBITS);
}

TEST_F(ResizableLayoutTest, ClipRegionLeavesOutOnlyChildrenThatMayBeClipped) {
    CRgn region;
    dlg.BuildClipRegion(&region);
    ASSERT_NE(nullptr, region.m_hObject);
    struct ClipCase {
        int id;
        bool painted;  // the background is painted under it
    };
    const ClipCase cases[] = {
        {IDC_PUSH, false},     {IDC_GROUP, true},  {IDC_OWNERDRAW, true},  // answers HTTRANSPARENT
        {IDC_TEXT, false},     {IDC_TEXT_CENTER, false},
        {IDC_FRAME, true},     {IDC_LIST, false},  {IDC_EDIT, false},
        {IDC_TOOLBAR, true},   // transparent toolbar
        {IDC_FIXED, false},    {IDC_HIDDEN, true}, {IDC_ANSWERING, false},
    };
    for (const ClipCase& c : cases) {
        const CRect r = dlg.ChildRect(c.id);
        EXPECT_EQ(c.painted, region.PtInRegion(r.CenterPoint()) != FALSE) << "control " << c.id;
    }
    EXPECT_TRUE(region.PtInRegion(2, 2));
    EXPECT_FALSE(region.PtInRegion(dlg.initialClient.right + 5, 2));
}

TEST_F(ResizableLayoutTest, ErasingPaintsTheDialogBrushAroundClippedChildren) {
    CRect client;
    dlg.GetClientRect(&client);
    constexpr COLORREF kMarker = RGB(255, 0, 255);
    wt::DibCanvas canvas(client.Width(), client.Height(), kMarker);
    CDC dc;
    dc.Attach(canvas.dc());
    dlg.EraseBackgroundClipped(&dc);
    dc.Detach();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(face, canvas.Pixel(2, 2));
    const CPoint edit = dlg.ChildRect(IDC_EDIT).CenterPoint();
    EXPECT_EQ(kMarker, canvas.Pixel(edit.x, edit.y));
    const CPoint frame = dlg.ChildRect(IDC_FRAME).CenterPoint();
    EXPECT_EQ(face, canvas.Pixel(frame.x, frame.y));
}

TEST_F(ResizableLayoutTest, ADestroyedChildDoesNotStopTheOthers) {
    ::DestroyWindow(::GetDlgItem(dlg.m_hWnd, IDC_EDIT));
    const CSize from = dlg.initialClient.Size();
    const CSize to(from.cx + 50, from.cy + 30);
    dlg.SetClientSize(to.cx, to.cy);
    for (const AnchorCase& a : kAnchors) {
        if (a.id == IDC_EDIT)
            continue;
        EXPECT_EQ(ExpectedRect(a, dlg.initialRects[a.id], from, to), dlg.ChildRect(a.id)) << "control " << a.id;
    }
}

TEST(ResizableLayout, AChildDestroyedDuringTheArrangementDoesNotStopTheOthers) {
    CLayoutDlg dlg;
    dlg.answeringAsksRefresh = true;
    ASSERT_TRUE(dlg.Create(IDD_LAYOUT));
    // The edit control is already in the batch when the answering child, asked
    // later, destroys it: the batch fails and the moves are made one by one.
    dlg.children[IDC_ANSWERING]->destroyWhenAsked = ::GetDlgItem(dlg.m_hWnd, IDC_EDIT);
    const CSize from = dlg.initialClient.Size();
    const CSize to(from.cx + 60, from.cy + 40);
    dlg.SetClientSize(to.cx, to.cy);
    EXPECT_FALSE(::IsWindow(::GetDlgItem(dlg.m_hWnd, IDC_EDIT)));
    for (const AnchorCase& a : kAnchors) {
        if (a.id == IDC_EDIT)
            continue;
        EXPECT_EQ(ExpectedRect(a, dlg.initialRects[a.id], from, to), dlg.ChildRect(a.id)) << "control " << a.id;
    }
    dlg.DestroyWindow();
}

TEST_F(ResizableLayoutTest, RefusesWhatIsNotAWindowAndForgetsSingleEntries) {
    const int before = dlg.GetAnchorCount();
    EXPECT_FALSE(dlg.AddAnchor(static_cast<HWND>(nullptr), ANCHOR_TOP_LEFT));
    EXPECT_FALSE(dlg.AddAnchor(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234)), ANCHOR_TOP_LEFT));
    EXPECT_FALSE(dlg.AddAnchor(UINT(4242), ANCHOR_TOP_LEFT));
    EXPECT_EQ(before, dlg.GetAnchorCount());

    HWND hPush = ::GetDlgItem(dlg.m_hWnd, IDC_PUSH);
    EXPECT_TRUE(dlg.RemoveAnchor(hPush));
    EXPECT_FALSE(dlg.RemoveAnchor(hPush));
    EXPECT_EQ(before - 1, dlg.GetAnchorCount());
    const CRect pushBefore = dlg.ChildRect(IDC_PUSH);
    dlg.SetClientSize(dlg.initialClient.Width() + 30, dlg.initialClient.Height() + 30);
    EXPECT_EQ(pushBefore, dlg.ChildRect(IDC_PUSH));
}

// A plain window host whose class brush is a system colour index.
class CLayoutWnd : public CWnd, public CResizableLayout {
protected:
    CWnd* GetLayoutWindow() override { return this; }
};

TEST(ResizableLayout, ASystemColourClassBrushIsPaintedInThatColour) {
    CLayoutWnd host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, L"host", WS_POPUP, 0, 0, 60, 40, nullptr, nullptr));
    wt::DibCanvas canvas(60, 40, RGB(1, 2, 3));
    CDC dc;
    dc.Attach(canvas.dc());
    host.EraseBackgroundClipped(&dc);
    dc.Detach();
    EXPECT_EQ(::GetSysColor(COLOR_WINDOW), canvas.Pixel(30, 20));
    host.DestroyWindow();
}

}  // namespace
