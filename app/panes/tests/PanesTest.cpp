// The saved-file and saved-DC panes in a stand-in main dialog: thumbnails,
// queue order across threads, tab counts, clicks into the work area, teardown.
#include "PanesTestRes.h"
#include "app/panes/DcTabWnd.h"
#include "app/panes/FileTabCtrl.h"
#include "app/panes/FileTabWnd.h"
#include "app/panes/PaneResources.h"
#include "image/DibImage.h"
#include "workarea/MainFrmWnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Pumps until pred() holds; the bound only keeps a broken build from hanging.
bool PumpUntil(const std::function<bool()>& pred, int maxRounds = 3000) {
    for (int round = 0; round < maxRounds; ++round) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (pred())
            return true;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return pred();
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

// The image list keeps its bitmap selected in its own DC: draw the image out.
COLORREF ImageListPixel(HIMAGELIST hList, int image, int x, int y) {
    HDC hScreen = ::GetDC(nullptr);
    HBITMAP hCanvas = ::CreateCompatibleBitmap(hScreen, 55, 55);
    HDC hDC = ::CreateCompatibleDC(hScreen);
    HGDIOBJ hOld = ::SelectObject(hDC, hCanvas);
    COLORREF color = CLR_INVALID;
    if (ImageList_Draw(hList, image, hDC, 0, 0, ILD_NORMAL))
        color = ::GetPixel(hDC, x, y);
    ::SelectObject(hDC, hOld);
    ::DeleteDC(hDC);
    ::DeleteObject(hCanvas);
    ::ReleaseDC(nullptr, hScreen);
    return color;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

bool WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF color) {
    HBITMAP hBitmap = MakeSolidBitmap(width, height, color);
    CDibImage image;
    const bool ok = image.CreateFromHBITMAP(hBitmap) && image.Save(path.c_str(), 1);
    ::DeleteObject(hBitmap);
    return ok;
}

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(192, 192, 192);
constexpr COLORREF kRed = RGB(255, 0, 0);

// ---------------------------------------------------------------------------

TEST(ThumbnailGeometry, FitsAndCentresInsideTheCell) {
    struct Case {
        int w, h;
        ThumbPlacement expected;
    };
    const Case cases[] = {
        {110, 55, {55, 27, 0, 14}},
        {20, 10, {55, 27, 0, 14}},    // small pictures are enlarged
        {55, 55, {55, 55, 0, 0}},
        {1600, 1200, {55, 41, 0, 7}},
        {10, 40, {13, 55, 21, 0}},
        {5000, 1, {55, 1, 0, 27}},    // never a zero-height picture
        {0, 0, {0, 0, 0, 0}},         // unreadable: blank cell
        {0, 30, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ThumbPlacement p = CThumbListCtrl::PlaceThumbnail(c.w, c.h);
        EXPECT_EQ(c.expected.width, p.width) << c.w << "x" << c.h;
        EXPECT_EQ(c.expected.height, p.height) << c.w << "x" << c.h;
        EXPECT_EQ(c.expected.x, p.x) << c.w << "x" << c.h;
        EXPECT_EQ(c.expected.y, p.y) << c.w << "x" << c.h;
        EXPECT_LE(p.x + p.width, CThumbListCtrl::kCellSize);
        EXPECT_LE(p.y + p.height, CThumbListCtrl::kCellSize);
    }
}

TEST(ThumbnailGeometry, CellPixels) {
    struct Probe {
        int x, y;
        COLORREF color;
    };
    struct Case {
        int w, h;  // 0 × 0: no picture
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        // 55 × 27 at (0, 14): both outer columns are picture, the rows above and below are cell.
        {110, 55, {{0, 14, kRed}, {54, 14, kRed}, {0, 40, kRed}, {54, 40, kRed}, {27, 13, kWhite},
                   {27, 41, kWhite}, {27, 0, kGrey}, {27, 54, kGrey}, {0, 5, kGrey}}},
        {20, 10, {{0, 14, kRed}, {54, 40, kRed}, {27, 13, kWhite}}},
        // A square picture covers the frame.
        {55, 55, {{0, 0, kRed}, {54, 54, kRed}, {54, 0, kRed}}},
        {0, 0, {{27, 27, kWhite}, {0, 0, kGrey}, {54, 54, kGrey}}},
    };
    for (const Case& c : cases) {
        CDibImage picture;
        if (c.w > 0) {
            HBITMAP hSource = MakeSolidBitmap(c.w, c.h, kRed);
            ASSERT_TRUE(picture.CreateFromHBITMAP(hSource));
            ::DeleteObject(hSource);
        }
        HBITMAP hCell = CThumbListCtrl::MakeThumbnail(picture);
        ASSERT_NE(nullptr, hCell);
        BITMAP bm = {};
        ::GetObjectW(hCell, sizeof(bm), &bm);
        EXPECT_EQ(55, bm.bmWidth);
        EXPECT_EQ(55, bm.bmHeight);
        for (const Probe& probe : c.probes)
            EXPECT_EQ(probe.color, BitmapPixel(hCell, probe.x, probe.y))
                << c.w << "x" << c.h << " at " << probe.x << "," << probe.y;
        ::DeleteObject(hCell);
    }
}

// ---------------------------------------------------------------------------

class CPaneHost : public CDialog {
public:
    CPaneHost() : CDialog(IDD_PANE_HOST) {}
    std::vector<LPARAM> saveTargets;

protected:
    LRESULT OnSetSaveTarget(WPARAM, LPARAM lParam) {
        saveTargets.push_back(lParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaneHost, CDialog)
    ON_MESSAGE(WM_APP + 7, OnSetSaveTarget)
END_MESSAGE_MAP()

class PanesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create(IDD_PANE_HOST));
        host.SetWindowPos(nullptr, 20, 20, 640, 520, SWP_NOZORDER);
        ASSERT_TRUE(frame.Create(nullptr, L"VeskFrame", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), &host));
        frame.SetWindowPos(nullptr, 0, 0, 620, 300, SWP_NOZORDER | SWP_SHOWWINDOW);
        ASSERT_TRUE(tabs.Create(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 310, 620, 480), &host,
                                IDC_PANE_TABS));
        tabs.Init();
        ASSERT_TRUE(files.Create(IDD_FILE_TAB, &tabs));
        ASSERT_TRUE(dcs.Create(IDD_DC_TAB, &tabs));
        files.SetWorkArea(&frame);
        dcs.SetWorkArea(&frame);
        CString name;
        name.LoadString(IDS_SAVED_FILES_TAB);
        tabs.AddTab(name, ::LoadIconW(nullptr, IDI_APPLICATION), &files);
        name.LoadString(IDS_SAVED_DC_TAB);
        tabs.AddTab(name, ::LoadIconW(nullptr, IDI_INFORMATION), &dcs);
        host.ShowWindow(SW_SHOW);
        PumpUntil([] { return false; }, 5);
    }
    void TearDown() override {
        tabs.DestroyWindow();
        frame.DestroyWindow();
        host.DestroyWindow();
        for (HBITMAP h : bitmaps)
            ::DeleteObject(h);
    }
    HBITMAP Keep(HBITMAP h) {
        bitmaps.push_back(h);
        return h;
    }
    void ClickList(CDialog& pane, CListCtrl& list, int item, UINT listID) {
        list.SetItemState(-1, 0, LVIS_SELECTED);
        if (item >= 0)
            list.SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
        NMHDR hdr = {list.m_hWnd, listID, static_cast<UINT>(NM_CLICK)};
        pane.SendMessage(WM_NOTIFY, listID, reinterpret_cast<LPARAM>(&hdr));
    }

    CPaneHost host;
    CMainFrmWnd frame;
    CFileTabCtrl tabs;
    CFileTabWnd files;
    CDcTabWnd dcs;
    std::vector<HBITMAP> bitmaps;
};

TEST_F(PanesTest, TabsStartPlainAndTheFilesPaneIsTheTarget) {
    EXPECT_EQ(CString(L"저장된 파일"), tabs.GetTabTitle(0));
    EXPECT_EQ(CString(L"저장된 DC"), tabs.GetTabTitle(1));
    EXPECT_NE(0u, tabs.GetStyle() & TCS_OWNERDRAWFIXED);
    ASSERT_TRUE(PumpUntil([&] { return !host.saveTargets.empty(); }));
    EXPECT_EQ(0, host.saveTargets.back());
    EXPECT_TRUE(files.IsWindowVisible());
    EXPECT_EQ(-1, files.m_nSelectedIndex);
    EXPECT_EQ(-1, dcs.m_nSelectedIndex);
    EXPECT_FALSE(files.HasSelection());
}

TEST_F(PanesTest, ClickingTheDcTabSwitchesTheTarget) {
    host.saveTargets.clear();
    NMHDR changing = {tabs.m_hWnd, IDC_PANE_TABS, static_cast<UINT>(TCN_SELCHANGING)};
    host.SendMessage(WM_NOTIFY, IDC_PANE_TABS, reinterpret_cast<LPARAM>(&changing));
    tabs.SetCurSel(1);
    NMHDR click = {tabs.m_hWnd, IDC_PANE_TABS, static_cast<UINT>(NM_CLICK)};
    host.SendMessage(WM_NOTIFY, IDC_PANE_TABS, reinterpret_cast<LPARAM>(&click));
    ASSERT_TRUE(PumpUntil([&] { return !host.saveTargets.empty(); }));
    EXPECT_EQ(1, host.saveTargets.back());
    EXPECT_TRUE(dcs.IsWindowVisible());
    EXPECT_FALSE(files.IsWindowVisible());
}

TEST_F(PanesTest, ThreeThreadsAddBitmapsInOrderWithCounts) {
    constexpr int kThreads = 3;
    constexpr int kEach = 6;
    std::vector<HBITMAP> sources[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i)
            sources[t].push_back(Keep(MakeSolidBitmap(40 + 10 * t, 30 + i, RGB(0, 0, 255))));
    }
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::wstring name = L"예약된 이름\\veskdc_" + std::to_wstring(t * 100 + i) + L".bmp";
                dcs.AddItem(name.c_str(), sources[t][i]);
            }
        });
    }
    for (auto& w : workers)
        w.join();
    ASSERT_TRUE(PumpUntil([&] { return dcs.m_list.GetItemCount() == kThreads * kEach; }));
    ASSERT_TRUE(PumpUntil([&] { return tabs.GetCount(1) == kThreads * kEach; }));
    EXPECT_EQ(CString(L"저장된 DC(18)"), tabs.GetTabTitle(1));
    EXPECT_EQ(CString(L"저장된 파일"), tabs.GetTabTitle(0));

    // Each thread's entries keep their order; data is the thread's bitmap.
    int next[kThreads] = {};
    for (int item = 0; item < kThreads * kEach; ++item) {
        const CString text = dcs.m_list.GetItemText(item, 0);
        int number = -1;
        ASSERT_EQ(1, swscanf(text.Mid(text.ReverseFind(L'_') + 1), L"%d", &number)) << (LPCWSTR)text;
        const int t = number / 100, i = number % 100;
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(next[t], i);
        next[t] = i + 1;
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(sources[t][i]), dcs.m_list.GetItemData(item));
        EXPECT_TRUE(text.Find(L"예약된 이름\\") == 0);
    }
    EXPECT_EQ(kThreads * kEach, dcs.m_list.GetThumbnails().GetImageCount());
    IMAGEINFO info = {};
    ASSERT_TRUE(dcs.m_list.GetThumbnails().GetImageInfo(0, &info));
    EXPECT_EQ(55, info.rcImage.right - info.rcImage.left);
    EXPECT_EQ(55, info.rcImage.bottom - info.rcImage.top);
    // A label shows whole on one line: a pane of the default height has no room for a second.
    CRect label;
    ASSERT_TRUE(dcs.m_list.GetItemRect(kThreads * kEach - 1, &label, LVIR_LABEL));
    CClientDC dc(&dcs.m_list);
    CScopedSelectObject font(dc.m_hDC, reinterpret_cast<HGDIOBJ>(dcs.m_list.SendMessage(WM_GETFONT)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc.m_hDC, &metrics);
    EXPECT_LT(label.Height(), 2 * metrics.tmHeight);
}

TEST_F(PanesTest, FilesFromThreadsGetNamesPathsAndThumbnails) {
    const std::wstring big = TempPath(L"panes_big.bmp");
    const std::wstring wide = TempPath(L"panes_wide.bmp");
    ASSERT_TRUE(WriteSolidBmp(big, 160, 120, kRed));
    ASSERT_TRUE(WriteSolidBmp(wide, 110, 55, kRed));
    const std::wstring missing = TempPath(L"panes_missing_file.png");
    const std::wstring paths[3] = {big, wide, missing};

    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&, t] { files.AddItem(paths[t].c_str()); });
    for (auto& w : workers)
        w.join();
    ASSERT_TRUE(PumpUntil([&] { return files.m_list.GetItemCount() == 3 && tabs.GetCount(0) == 3; }));
    EXPECT_EQ(CString(L"저장된 파일(3)"), tabs.GetTabTitle(0));

    for (int item = 0; item < 3; ++item) {
        CString* path = files.m_list.GetItemPath(item);
        ASSERT_NE(nullptr, path);
        EXPECT_EQ(CNpTabListCtrl::FileNamePart(*path), files.m_list.GetItemText(item, 0));
        LVITEMW lvi = {};
        lvi.mask = LVIF_IMAGE;
        lvi.iItem = item;
        ASSERT_TRUE(files.m_list.GetItem(&lvi));
        HIMAGELIST hList = files.m_list.GetThumbnails().m_hImageList;
        if (*path == CString(wide.c_str())) {
            EXPECT_EQ(kRed, ImageListPixel(hList, lvi.iImage, 0, 14));
            EXPECT_EQ(kRed, ImageListPixel(hList, lvi.iImage, 54, 40));
            EXPECT_EQ(kWhite, ImageListPixel(hList, lvi.iImage, 27, 13));
        } else if (*path == CString(missing.c_str())) {
            // An unreadable file still gets its item, with a blank cell.
            EXPECT_EQ(kWhite, ImageListPixel(hList, lvi.iImage, 27, 27));
            EXPECT_EQ(kGrey, ImageListPixel(hList, lvi.iImage, 0, 0));
        } else {
            EXPECT_EQ(kRed, ImageListPixel(hList, lvi.iImage, 27, 27));  // 55 × 41 at (0, 7)
            EXPECT_EQ(kWhite, ImageListPixel(hList, lvi.iImage, 27, 6));
        }
    }
    ::DeleteFileW(big.c_str());
    ::DeleteFileW(wide.c_str());
}

TEST_F(PanesTest, ShotNameAndPath) {
    files.AddItem(L"C:\\captures\\shot_7.png");
    files.AddItem(L"plainname.bmp");
    ASSERT_TRUE(PumpUntil([&] { return files.m_list.GetItemCount() == 2; }));
    EXPECT_EQ(CString(L"shot_7.png"), files.m_list.GetItemText(0, 0));
    EXPECT_EQ(CString(L"C:\\captures\\shot_7.png"), *files.m_list.GetItemPath(0));
    EXPECT_EQ(CString(L"plainname.bmp"), files.m_list.GetItemText(1, 0));
}

TEST_F(PanesTest, DeleteWithoutItemsOrOutOfRangeChangesNothing) {
    files.DeleteItem(0);
    files.DeleteItem(-1);
    dcs.DeleteItem(0);
    EXPECT_EQ(0, tabs.GetCount(0));
    EXPECT_EQ(0, tabs.GetCount(1));
    EXPECT_EQ(CString(L"저장된 파일"), tabs.GetTabTitle(0));

    dcs.AddItem(L"예약된 이름\\veskdc_1.bmp", Keep(MakeSolidBitmap(20, 20, kRed)));
    ASSERT_TRUE(PumpUntil([&] { return dcs.m_list.GetItemCount() == 1 && tabs.GetCount(1) == 1; }));
    dcs.DeleteItem(5);
    EXPECT_EQ(1, dcs.m_list.GetItemCount());
    dcs.DeleteItem(0);
    EXPECT_EQ(0, dcs.m_list.GetItemCount());
    EXPECT_EQ(CString(L"저장된 DC(0)"), tabs.GetTabTitle(1));
}

TEST_F(PanesTest, ClickingADcEntryOpensOneWorkAreaTabAndDeleteClosesIt) {
    HBITMAP hBitmap = Keep(MakeSolidBitmap(300, 200, kRed));
    dcs.AddItem(L"예약된 이름\\veskdc_4.bmp", hBitmap);
    ASSERT_TRUE(PumpUntil([&] { return dcs.m_list.GetItemCount() == 1; }));

    ClickList(dcs, dcs.m_list, -1, IDC_DC_LIST);  // outside any item
    EXPECT_EQ(1, frame.GetView()->GetTabCount());  // the tool list alone
    EXPECT_EQ(-1, dcs.m_nSelectedIndex);

    ClickList(dcs, dcs.m_list, 0, IDC_DC_LIST);
    ClickList(dcs, dcs.m_list, 0, IDC_DC_LIST);
    EXPECT_EQ(0, dcs.m_nSelectedIndex);
    EXPECT_EQ(hBitmap, dcs.m_hSelectedBitmap);
    ASSERT_EQ(2, frame.GetView()->GetTabCount());
    EXPECT_EQ(CString(L"veskdc_4.bmp"), frame.GetView()->GetTabTitle(1));
    EXPECT_EQ(WorkTabSavedDc, frame.GetView()->GetCurrentKind());
    ASSERT_NE(nullptr, frame.GetView()->GetCurrentImage());
    EXPECT_EQ(300u, frame.GetView()->GetCurrentImage()->GetWidth());

    dcs.DeleteItem(dcs.m_nSelectedIndex);
    EXPECT_EQ(1, frame.GetView()->GetTabCount());  // the tool list alone
    EXPECT_EQ(-1, dcs.m_nSelectedIndex);
    // The entry's bitmap is still its owner's and intact.
    BITMAP bm = {};
    ASSERT_NE(0, ::GetObjectW(hBitmap, sizeof(bm), &bm));
    EXPECT_EQ(kRed, BitmapPixel(hBitmap, 150, 100));
}

TEST_F(PanesTest, ClickingAFileOpensItAndDeletingClosesItsTab) {
    const std::wstring path = TempPath(L"panes_click.bmp");
    ASSERT_TRUE(WriteSolidBmp(path, 64, 48, kRed));
    files.AddItem(path.c_str());
    ASSERT_TRUE(PumpUntil([&] { return files.m_list.GetItemCount() == 1; }));
    ClickList(files, files.m_list, 0, IDC_FILE_LIST);
    EXPECT_EQ(CString(path.c_str()), files.m_strSelectedPath);
    ASSERT_EQ(2, frame.GetView()->GetTabCount());
    EXPECT_EQ(CString(L"panes_click.bmp"), frame.GetView()->GetTabTitle(1));
    EXPECT_EQ(WorkTabSavedFile, frame.GetView()->GetCurrentKind());
    // Written outside and clicked again: the tab reads it anew, and so does its thumbnail.
    ASSERT_TRUE(WriteSolidBmp(path, 64, 48, RGB(0, 0, 255)));
    ClickList(files, files.m_list, 0, IDC_FILE_LIST);
    const auto thumbnail = [&] { return ImageListPixel(files.m_list.GetThumbnails().m_hImageList, 0, 27, 27); };
    EXPECT_TRUE(PumpUntil([&] { return thumbnail() == RGB(0, 0, 255); })) << std::hex << thumbnail();
    // A click beside the items highlights none.
    ClickList(files, files.m_list, -1, IDC_FILE_LIST);
    EXPECT_FALSE(files.HasSelection());

    files.DeleteItem(0);
    EXPECT_EQ(0, files.m_list.GetItemCount());
    EXPECT_EQ(1, frame.GetView()->GetTabCount());  // the tool list alone
    EXPECT_FALSE(files.HasSelection());
    EXPECT_EQ(CString(L"저장된 파일(0)"), tabs.GetTabTitle(0));
    ::DeleteFileW(path.c_str());
}

// A pane that a key brings up shows its highlighted item in the work area.
TEST_F(PanesTest, APaneBroughtUpShowsItsHighlightedItem) {
    const std::wstring path = TempPath(L"panes_shown.bmp");
    ASSERT_TRUE(WriteSolidBmp(path, 64, 48, kRed));
    files.AddItem(path.c_str());
    dcs.AddItem(L"예약된 이름\\veskdc_9.bmp", Keep(MakeSolidBitmap(30, 20, kRed)));
    ASSERT_TRUE(PumpUntil([&] { return files.m_list.GetItemCount() == 1 && dcs.m_list.GetItemCount() == 1; }));
    ClickList(files, files.m_list, 0, IDC_FILE_LIST);
    ClickList(dcs, dcs.m_list, 0, IDC_DC_LIST);
    tabs.SendMessage(WM_KEYDOWN, VK_RIGHT);
    ASSERT_TRUE(dcs.IsWindowVisible());
    tabs.SendMessage(WM_KEYDOWN, VK_LEFT);
    EXPECT_TRUE(files.IsWindowVisible() && !dcs.IsWindowVisible());
    EXPECT_EQ(CString(L"panes_shown.bmp"), frame.GetView()->GetTabTitle(frame.GetView()->GetCurrentTab()));
    ::DeleteFileW(path.c_str());
}

TEST_F(PanesTest, EnterNeverEndsThePane) {
    MSG msg = {};
    msg.hwnd = files.m_list.m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_RETURN;
    EXPECT_TRUE(files.PreTranslateMessage(&msg));
    EXPECT_TRUE(::IsWindow(files.m_hWnd));
}

TEST(PaneTeardown, DestroyingAListWithAFullQueueReturns) {
    CPaneHost host;
    ASSERT_TRUE(host.Create(IDD_PANE_HOST));
    CFileTabCtrl tabs;
    ASSERT_TRUE(tabs.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &host, IDC_PANE_TABS));
    tabs.Init();
    auto dcs = std::make_unique<CDcTabWnd>();
    ASSERT_TRUE(dcs->Create(IDD_DC_TAB, &tabs));
    tabs.AddTab(L"저장된 DC", nullptr, dcs.get());
    std::vector<HBITMAP> sources;
    for (int i = 0; i < 300; ++i)
        sources.push_back(MakeSolidBitmap(400, 300, RGB(i % 256, 0, 0)));
    std::thread producer([&] {
        for (int i = 0; i < 300; ++i)
            dcs->AddItem(L"veskdc.bmp", sources[i]);
    });
    producer.join();
    // Let the worker get going, then tear down while the UI thread is not pumping.
    PumpUntil([&] { return dcs->m_list.GetItemCount() > 0; });
    tabs.DestroyWindow();  // destroys the pane and its list, which stops the worker
    EXPECT_EQ(nullptr, dcs->m_hWnd);
    dcs.reset();
    host.DestroyWindow();
    for (HBITMAP h : sources)
        EXPECT_NE(0, ::DeleteObject(h));
}

}  // namespace
