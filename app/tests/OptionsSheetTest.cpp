// The options sheet as a user meets it: run modally on this thread while a
// driver thread clicks the tree with real mouse input, types into the pages
// and presses the sheet's buttons. Every check runs on the sheet's thread.
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpTreeWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/OptionsPropertySheet.h"
#include "app/settings/Profile.h"
#include "resources/resource.h"
#include "tests/driver/XInput.h"
#include "WidgetTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 8000;  // a hang guard, not a measurement
constexpr UINT kRunOnUi = WM_APP + 1;
constexpr UINT kApplyButton = 0x3021;

// Runs functions on the sheet's thread for the driver thread.
HWND g_uiWindow = nullptr;

LRESULT CALLBACK UiProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOnUi) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void OnUi(const std::function<void()>& fn) {
    ::SendMessageW(g_uiWindow, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn));
}

template <class T>
T FromUi(const std::function<T()>& fn) {
    T value{};
    OnUi([&] { value = fn(); });
    return value;
}

// Polls (on the sheet's thread) until pred() holds or the patience runs out.
bool WaitOnUi(const std::function<bool()>& pred, DWORD patienceMs = kPatienceMs) {
    const DWORD start = ::GetTickCount();
    while (!FromUi<bool>(pred)) {
        if (::GetTickCount() - start > patienceMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

// The real X pointer, moved from the driver thread while the sheet's runs.
void ClickAt(POINT p) {
    EXPECT_TRUE(vesk_test::XMove(p.x, p.y) && vesk_test::XClick()) << "the pointer never reached " << p.x << "," << p.y;
}

// Ctrl+Tab, with Shift for the way back.
void PressCtrlTab(bool shift) {
    wt::Key(VK_CONTROL, false);
    if (shift)
        wt::Key(VK_SHIFT, false);
    wt::Key(VK_TAB, false);
    wt::Key(VK_TAB, true);
    if (shift)
        wt::Key(VK_SHIFT, true);
    wt::Key(VK_CONTROL, true);
}

std::vector<std::wstring> g_boxes;
int g_boxAnswer = IDCANCEL;

int RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_boxes.push_back(text ? text : L"");
    return g_boxAnswer;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

CRect ClientRectIn(HWND hWnd, HWND hParent) {
    CRect r;
    ::GetWindowRect(hWnd, &r);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring TextOf(HWND hWnd) {
    WCHAR buffer[512] = {};
    ::GetWindowTextW(hWnd, buffer, 512);
    return buffer;
}

// The sheet with an owner, as the main window's commands give it one.
class OwnedSheet : public COptionsPropertySheet {
public:
    using COptionsPropertySheet::COptionsPropertySheet;
    void SetOwner(CWnd* owner) { m_pParentWnd = owner; }
};

class OptionsSheetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::setvbuf(stdout, nullptr, _IONBF, 0);  // a hang still shows how far it came
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = UiProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OptionsSheetTestUi";
        ::RegisterClassW(&wc);
        g_uiWindow = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        AfxSetMessageBoxHook(RecordBox);
    }

    void SetUp() override {
        // Named even in brief output, so that a hang shows where it came.
        std::printf("%s\n", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        // A button left down by an earlier program would swallow the clicks.
        vesk_test::XDo(L"mouseup 1");
        WCHAR temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-sheet-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++counter_);
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        path_ = profile::SettingsPathIn(CString(folder_.c_str()));
        ASSERT_TRUE(profile::WriteDefaults(path_, CString(folder_.c_str())));
        file_.LoadOptions(path_);
        watermark_.LoadOptions(path_);
        misc_.LoadOptions(path_);
        g_boxes.clear();
        g_boxAnswer = IDCANCEL;
    }
    void TearDown() override {
        ::DeleteFileW(path_);
        ::RemoveDirectoryW(folder_.c_str());
    }

    // Runs the sheet modally; `script` drives it from another thread and the
    // sheet is cancelled afterwards if the script left it open.
    INT_PTR Run(bool singlePage, int page, const std::function<void(COptionsPropertySheet&)>& script) {
        OwnedSheet sheet(file_, watermark_, misc_, tree_);
        sheet.SetOwner(owner_);
        sheet.SinglePage = singlePage;
        sheet.PageIndex = page;
        std::atomic<bool> finished{false};
        std::thread driver([&] {
            const bool shown = WaitOnUi([&] {
                return sheet.m_hWnd && ::IsWindowVisible(sheet.m_hWnd) && sheet.GetActivePage() &&
                       sheet.GetActivePage()->m_hWnd;
            });
            if (shown) {
                // Let the posted page selection of the initialisation land: one
                // still queued would bring back a sheet that Cancel has ended.
                OnUi([&] {
                    MSG msg;
                    while (::PeekMessageW(&msg, sheet.m_hWnd, PSM_SETCURSEL, PSM_SETCURSEL, PM_REMOVE))
                        ::DispatchMessageW(&msg);
                });
                const bool landed = WaitOnUi([&] { return sheet.GetActiveIndex() == (singlePage ? page : 0); });
                OnUi([&] {
                    EXPECT_TRUE(landed) << "active page " << sheet.GetActiveIndex();
                    sheet.GetWindowRect(&shownAt_);
                    // Wholly on the screen, so that every click lands where it is aimed.
                    // Topmost: a window another program left behind must not take the clicks.
                    sheet.SetWindowPos(&CWnd::wndTopMost, 60, 40, 0, 0, SWP_NOSIZE);
                });
                script(sheet);
            } else {
                OnUi([] { ADD_FAILURE() << "the sheet did not show"; });
            }
            Press(sheet, PSBTN_CANCEL);
            finished = true;
        });
        const INT_PTR result = sheet.DoModal();
        // The driver may still ask this thread for something on its way out.
        while (!finished) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        driver.join();
        return result;
    }

    // Presses a button of the sheet as a click on it would. The press arrives
    // as a sent message; the posted one wakes the modal loop to notice the end.
    static void Press(COptionsPropertySheet& sheet, int button) {
        OnUi([&] {
            // An ended sheet has no current page, though its window waits for the loop.
            if (sheet.m_hWnd && ::IsWindow(sheet.m_hWnd) && sheet.SendMessage(PSM_GETCURRENTPAGEHWND)) {
                sheet.PressButton(button);
                sheet.PostMessage(WM_NULL);
            }
        });
    }

    // Clicks a tree item with the mouse and waits for the page to follow.
    // Successive clicks alternate between the ends of the item's text, so
    // that two clicks on one item are never taken for a double click. Wine
    // now and then loses a synthetic click; it is given again, at most twice.
    static void ClickTreeItem(COptionsPropertySheet& sheet, COpTreeWnd& tree, int item, int expectedPage) {
        static bool leftEnd = false;
        bool switched = false;
        for (int attempt = 0; attempt < 3 && !switched; ++attempt) {
            leftEnd = !leftEnd;
            const POINT p = FromUi<POINT>([&] {
                union {
                    RECT rect;
                    HTREEITEM item;
                } query = {};
                query.item = tree.Item(item);
                tree.Tree().SendMessage(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&query));
                POINT c = {leftEnd ? query.rect.left + 3 : query.rect.right - 3,
                           (query.rect.top + query.rect.bottom) / 2};
                ::ClientToScreen(tree.Tree().m_hWnd, &c);
                return c;
            });
            ClickAt(p);
            switched = WaitOnUi(
                [&] { return sheet.GetActiveIndex() == expectedPage && !sheet.HeaderTitle.IsEmpty() &&
                             tree.Tree().GetSelectedItem() == tree.Item(expectedPage); },
                2000);
        }
        OnUi([&] { EXPECT_TRUE(switched) << "page " << expectedPage; });
    }

    CString Read(const wchar_t* section, const wchar_t* key) const { return profile::ReadValue(section, key, path_); }

    std::wstring folder_;
    CString path_;
    CWnd* owner_ = nullptr;  // the sheet's owner; none when null
    CRect shownAt_;          // where the sheet first showed
    static inline int counter_ = 0;
    COpFilePropertyPage file_;
    COpWatermarkPropertyPage watermark_;
    COpContinuePage misc_;
    COpTreeWnd tree_;
};

// A changed FILE page never warns here: a single page has nowhere to go back to.
TEST_F(OptionsSheetTest, EachPageAloneShowsItsHeaderWithoutTreeOrTabs) {
    const wchar_t* const titles[] = {L"파일설정", L"워터마크 설정", L"기타 설정"};
    file_.Modified = true;
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        Run(true, page, [&](COptionsPropertySheet& sheet) {
            OnUi([&] {
                EXPECT_EQ(page, sheet.GetActiveIndex());
                EXPECT_FALSE(::IsWindowVisible(sheet.GetTabControl()->m_hWnd));
                EXPECT_TRUE(tree_.m_hWnd && !::IsWindowVisible(tree_.m_hWnd));
                EXPECT_EQ(std::wstring(titles[page]), std::wstring(sheet.HeaderTitle));
                EXPECT_TRUE(sheet.HeaderIcon);
                EXPECT_EQ(L"Options", TextOf(sheet.m_hWnd));

                ::RedrawWindow(sheet.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                const CRect p = ClientRectIn(sheet.GetActivePage()->m_hWnd, sheet.m_hWnd);
                const CRect t = ClientRectIn(sheet.GetTabControl()->m_hWnd, sheet.m_hWnd);
                HDC dc = ::GetDC(sheet.m_hWnd);
                const int top = t.top + 2;
                // The band's strips, away from the icon and the title.
                for (int strip : {100, 180, 255}) {
                    const int x = p.left + static_cast<int>((strip + 0.5) * p.Width() / 256);
                    EXPECT_EQ(RGB(std::max(38, strip), std::max(147, strip), 255), ::GetPixel(dc, x, top)) << strip;
                }
                // The outline's dark line along the top and left.
                EXPECT_EQ(RGB(145, 155, 156), ::GetPixel(dc, p.left - 1, t.top));
                ::ReleaseDC(sheet.m_hWnd, dc);
            });
        });
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(OptionsSheetTest, AllPagesPutTheTreeBesideThePage) {
    int singleWidth = 0;
    Run(true, 0, [&](COptionsPropertySheet& sheet) {
        OnUi([&] {
            CRect r;
            sheet.GetWindowRect(&r);
            singleWidth = r.Width();
        });
    });
    Run(false, 0, [&](COptionsPropertySheet& sheet) {
        OnUi([&] {
            EXPECT_TRUE(sheet.HeaderTitle.IsEmpty());  // until the first click
            EXPECT_TRUE(::IsWindowVisible(tree_.m_hWnd));
            const CRect tree = ClientRectIn(tree_.m_hWnd, sheet.m_hWnd);
            const CRect tab = ClientRectIn(sheet.GetTabControl()->m_hWnd, sheet.m_hWnd);
            const CRect page = ClientRectIn(sheet.GetActivePage()->m_hWnd, sheet.m_hWnd);
            EXPECT_EQ(CPoint(0, 0), tree.TopLeft());
            EXPECT_EQ(tab.bottom, tree.bottom);
            EXPECT_FALSE(::IsWindowVisible(sheet.GetTabControl()->m_hWnd));
            EXPECT_GE(page.left, tree.right);
            CRect window;
            sheet.GetWindowRect(&window);
            EXPECT_EQ(singleWidth + 2 * (tree.Width() / 2), window.Width());

            const CRect apply = ClientRectIn(::GetDlgItem(sheet.m_hWnd, kApplyButton), sheet.m_hWnd);
            const CRect cancel = ClientRectIn(::GetDlgItem(sheet.m_hWnd, IDCANCEL), sheet.m_hWnd);
            const CRect ok = ClientRectIn(::GetDlgItem(sheet.m_hWnd, IDOK), sheet.m_hWnd);
            EXPECT_EQ(page.right, apply.right);
            EXPECT_EQ(apply.left - 7, cancel.right);
            EXPECT_EQ(cancel.left - 7, ok.right);
        });
    });
    // Over an owner at the work area's corner, or reaching past it, the
    // widened sheet still opens inside the work area.
    CRect work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    for (const CPoint& at : {work.TopLeft(), work.BottomRight() - CSize(200, 100)}) {
        CWnd owner;
        ASSERT_TRUE(owner.Attach(::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, at.x, at.y, 640, 480,
                                                   nullptr, nullptr, nullptr, nullptr)));
        owner_ = &owner;
        Run(false, 0, [](COptionsPropertySheet&) {});
        owner_ = nullptr;
        ::DestroyWindow(owner.Detach());
        CRect common;
        common.IntersectRect(&shownAt_, &work);
        EXPECT_EQ(shownAt_, common) << "owner at " << at.x << "," << at.y << ": sheet at " << shownAt_.left << ","
                                    << shownAt_.top << " to " << shownAt_.right << "," << shownAt_.bottom;
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(OptionsSheetTest, LeavingAChangedPageWarnsAndOkGoesBack) {
    Run(false, 0, [&](COptionsPropertySheet& sheet) {
        OnUi([&] { ::SendMessageW(::GetDlgItem(file_.m_hWnd, IDC_FILE_NAME), WM_CHAR, L'x', 0); });
        g_boxAnswer = IDOK;
        ClickTreeItem(sheet, tree_, 2, 0);
        OnUi([&] {
            ASSERT_EQ(1u, g_boxes.size());
            EXPECT_EQ(std::wstring(L"변경된 내용이 있습니다.\n각각의 페이지 별로 저장 합니다.\n저장 하려면 적용 버튼을 클릭 하세요."),
                      g_boxes[0]);
            EXPECT_EQ(std::wstring(L"파일설정"), std::wstring(sheet.HeaderTitle));
        });
        g_boxAnswer = IDCANCEL;
        ClickTreeItem(sheet, tree_, 2, 2);
        OnUi([&] {
            EXPECT_EQ(2u, g_boxes.size());
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, kApplyButton)));  // MISC is unchanged
        });
    });
}

TEST_F(OptionsSheetTest, NameAndTypeResetTheCounterAndApplyWritesOnlyTheActivePage) {
    profile::WriteValue(profile::kFileSection, L"FileCount", 12, path_);
    file_.LoadOptions(path_);
    const INT_PTR result = Run(false, 0, [&](COptionsPropertySheet& sheet) {
        HWND name = FromUi<HWND>([&] { return ::GetDlgItem(file_.m_hWnd, IDC_FILE_NAME); });
        OnUi([&] {
            EXPECT_EQ(L"Vesk_12", TextOf(name));
            HWND combo = ::GetDlgItem(file_.m_hWnd, IDC_FILE_TYPE);
            ::SendMessageW(combo, CB_SETCURSEL, 2, 0);
            ::SendMessageW(file_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_FILE_TYPE, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo));
            EXPECT_EQ(L"Vesk_0", TextOf(name));
            EXPECT_EQ(0, file_.FileCount);
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, kApplyButton)));

            ::SendMessageW(name, EM_SETSEL, 0, -1);
            for (wchar_t c : std::wstring(L"12/08:"))
                ::SendMessageW(name, WM_CHAR, c, 0);
        });
        // A name no file can have: OK says which characters cannot be used and stays on the name.
        Press(sheet, PSBTN_OK);
        OnUi([&] {
            ASSERT_EQ(g_boxes.size(), 1u);
            EXPECT_NE(g_boxes[0].find(L"\\ / : * ? \" < > |"), std::wstring::npos);
            EXPECT_EQ(::GetFocus(), name);
        });
        // So does a click in the tree, once, and the name keeps the focus.
        ClickTreeItem(sheet, tree_, 2, 0);
        const bool refocused = WaitOnUi([&] { return ::GetFocus() == name; });
        OnUi([&] {
            EXPECT_TRUE(refocused);
            EXPECT_EQ(g_boxes.size(), 2u);
            EXPECT_EQ(::SendMessageW(name, EM_GETSEL, 0, 0), MAKELONG(0, 6));
            ::SendMessageW(name, EM_SETSEL, 0, -1);
            for (wchar_t c : std::wstring(L"shot"))
                ::SendMessageW(name, WM_CHAR, c, 0);
            EXPECT_EQ(L"shot_0", TextOf(name));
            ::SendMessageW(name, EM_SETSEL, 6, 6);
            ::SendMessageW(name, WM_CHAR, L'9', 0);  // typed after the underscore: undone
            EXPECT_EQ(L"shot_0", TextOf(name));
        });
        Press(sheet, PSBTN_APPLYNOW);
        OnUi([&] {
            EXPECT_EQ(CString(L"shot"), Read(profile::kFileSection, L"FileName"));
            EXPECT_EQ(CString(L"png"), Read(profile::kFileSection, L"FileType"));
            EXPECT_EQ(CString(L"0"), Read(profile::kFileSection, L"FileCount"));
            EXPECT_FALSE(file_.Modified);
        });

        // A FILE edit left unapplied, then OK on the MISC page: only MISC is written.
        OnUi([&] { ::SendMessageW(name, WM_CHAR, L'z', 0); });
        g_boxAnswer = IDCANCEL;
        ClickTreeItem(sheet, tree_, 2, 2);
        OnUi([&] {
            ::SendMessageW(::GetDlgItem(misc_.m_hWnd, IDC_MISC_SOUND_EFFECT), BM_CLICK, 0, 0);
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, kApplyButton)));
        });
        Press(sheet, PSBTN_OK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(CString(L"0"), Read(profile::kMiscSection, L"SoundEffect"));
    EXPECT_EQ(CString(L"shot"), Read(profile::kFileSection, L"FileName"));
    EXPECT_EQ(CString(L"shotz"), file_.FileName);  // kept in memory only
    EXPECT_TRUE(file_.Modified);
}

TEST_F(OptionsSheetTest, StartWithWindowsCreatesAndRemovesTheRunValue) {
    WCHAR exe[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    auto runValue = [] {
        std::wstring data;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, COpContinuePage::kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return std::make_pair(false, data);
        WCHAR buffer[1024] = {};
        DWORD size = sizeof buffer, type = 0;
        const bool found = ::RegQueryValueExW(key, COpContinuePage::kRunValue, nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        if (found)
            data.assign(buffer, size / sizeof(WCHAR));
        return std::make_pair(found && type == REG_SZ, data);
    };
    for (bool check : {true, false, false}) {
        SCOPED_TRACE(check);
        Run(true, 2, [&](COptionsPropertySheet& sheet) {
            OnUi([&] {
                HWND box = ::GetDlgItem(misc_.m_hWnd, IDC_MISC_WINDOW_START);
                if ((::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != check)
                    ::SendMessageW(box, BM_CLICK, 0, 0);
            });
            Press(sheet, PSBTN_OK);
        });
        const auto value = runValue();
        EXPECT_EQ(check, value.first);
        if (check) {
            // The path in quotes, which a blank in it cannot split, and its zero, nothing more.
            EXPECT_EQ(L"\"" + std::wstring(exe, length) + L"\"" + L'\0', value.second);
        }
        EXPECT_EQ(CString(check ? L"1" : L"0"), Read(profile::kMiscSection, L"WindowStart"));
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(OptionsSheetTest, TreeClicksSwitchPagesAndLeaveObjectCountsFlat) {
    HFONT headerFont = nullptr;
    HBITMAP tabImages = nullptr;
    HICON lastIcon = nullptr;
    Run(false, 0, [&](COptionsPropertySheet& sheet) {
        // Ctrl+Tab, Ctrl+Shift+Tab change pages as the tree does, the header
        // and the tree's selection following, again and again though each
        // change hides the page that had the focus.
        const wchar_t* const titles[] = {L"파일설정", L"워터마크 설정", L"기타 설정"};
        for (const auto& step : {std::make_pair(false, 1), std::make_pair(true, 0), std::make_pair(true, 2)}) {
            PressCtrlTab(step.first);
            const bool followed = WaitOnUi([&] {
                return sheet.GetActiveIndex() == step.second && tree_.Tree().GetSelectedItem() == tree_.Item(step.second) &&
                       std::wstring(sheet.HeaderTitle) == titles[step.second];
            }, 3000);
            OnUi([&] {
                EXPECT_TRUE(followed) << "page " << sheet.GetActiveIndex() << " instead of " << step.second << ", header "
                                      << testing::PrintToString(std::wstring(sheet.HeaderTitle));
            });
        }
        // Every page visited once, so that all their windows exist.
        ClickTreeItem(sheet, tree_, 1, 1);
        OnUi([&] { EXPECT_EQ(std::wstring(L"워터마크 설정"), std::wstring(sheet.HeaderTitle)); });
        ClickTreeItem(sheet, tree_, 2, 2);
        OnUi([&] {
            EXPECT_EQ(std::wstring(L"기타 설정"), std::wstring(sheet.HeaderTitle));
            // Arrow keys after the click only move the tree's selection.
            tree_.Tree().SendMessage(WM_KEYDOWN, VK_UP);
            EXPECT_EQ(tree_.Item(1), tree_.Tree().GetSelectedItem());
            EXPECT_EQ(2, sheet.GetActiveIndex());
        });
        auto countChildren = [&] {
            int n = 0;
            ::EnumChildWindows(sheet.m_hWnd, CountWindow, reinterpret_cast<LPARAM>(&n));
            return n;
        };
        const int windowsBefore = FromUi<int>(countChildren);
        OnUi([&] {
            headerFont = static_cast<HFONT>(sheet.HeaderFont.GetSafeHandle());
            IMAGEINFO info = {};
            HIMAGELIST list = reinterpret_cast<HIMAGELIST>(sheet.GetTabControl()->SendMessage(TCM_GETIMAGELIST));
            if (list && ImageList_GetImageInfo(list, 0, &info))
                tabImages = info.hbmImage;
        });
        std::vector<HICON> icons;
        for (int i = 0; i < 12; ++i) {
            const int target = i % 3;
            ClickTreeItem(sheet, tree_, target, target);
            icons.push_back(FromUi<HICON>([&] { return sheet.HeaderIcon; }));
        }
        OnUi([&] {
            EXPECT_EQ(windowsBefore, countChildren());
            EXPECT_EQ(UINT(OBJ_FONT), ::GetObjectType(headerFont));
            EXPECT_EQ(headerFont, sheet.HeaderFont.GetSafeHandle());
            // Only the icon on show is alive; every one it replaced is gone.
            int alive = 0;
            for (HICON icon : std::set<HICON>(icons.begin(), icons.end())) {
                ICONINFO info = {};
                if (::GetIconInfo(icon, &info)) {
                    ++alive;
                    ::DeleteObject(info.hbmColor);
                    ::DeleteObject(info.hbmMask);
                }
            }
            EXPECT_EQ(1, alive);
        });
        lastIcon = icons.back();
    });
    EXPECT_EQ(0u, ::GetObjectType(headerFont));
    ASSERT_TRUE(tabImages);
    EXPECT_EQ(0u, ::GetObjectType(tabImages));
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(lastIcon, &info));
    EXPECT_TRUE(g_boxes.empty());
}

// Abandoned edits go back to what the sheet opened with; an Apply counts as
// the new start, and the next save writes nothing that was cancelled.
TEST_F(OptionsSheetTest, CancelPutsBackWhatNoApplyWrote) {
    const INT_PTR result = Run(false, 0, [&](COptionsPropertySheet& sheet) {
        OnUi([&] {
            ::SendMessageW(::GetDlgItem(file_.m_hWnd, IDC_FILE_EDITED_CHECK), BM_CLICK, 0, 0);
            HWND name = ::GetDlgItem(file_.m_hWnd, IDC_FILE_NAME);
            ::SendMessageW(name, EM_SETSEL, 0, -1);
            for (wchar_t c : std::wstring(L"gone"))
                ::SendMessageW(name, WM_CHAR, c, 0);
            EXPECT_EQ(1, file_.EditedChecked);
        });
        g_boxAnswer = IDCANCEL;  // the warning: go on to the watermark page
        ClickTreeItem(sheet, tree_, 1, 1);
        OnUi([&] {
            HWND location = ::GetDlgItem(watermark_.m_hWnd, IDC_WATERMARK_LOCATION);
            ::SendMessageW(location, CB_SETCURSEL, 4, 0);
            ::SendMessageW(watermark_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_LOCATION, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(location));
        });
        Press(sheet, PSBTN_APPLYNOW);
        OnUi([&] {
            HWND location = ::GetDlgItem(watermark_.m_hWnd, IDC_WATERMARK_LOCATION);
            ::SendMessageW(location, CB_SETCURSEL, 0, 0);
            ::SendMessageW(watermark_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_LOCATION, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(location));
            EXPECT_EQ(0, watermark_.Location);
        });
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(4, watermark_.Location);  // applied, then changed and cancelled
    EXPECT_FALSE(watermark_.Modified);
    EXPECT_EQ(0, file_.EditedChecked);
    EXPECT_EQ(CString(L"Vesk"), file_.FileName);
    EXPECT_EQ(CString(L"Vesk_0"), file_.NameWithCount);
    EXPECT_FALSE(file_.Modified);
    file_.SaveChanges(path_);  // as the next opening does
    EXPECT_EQ(CString(L"0"), Read(profile::kFileSection, L"EditedChecked"));
    EXPECT_EQ(CString(L"Vesk"), Read(profile::kFileSection, L"FileName"));
    EXPECT_EQ(CString(L"4"), Read(profile::kWatermarkSection, L"Location"));
}

// The system sheet loads icons that pages ask it for and keeps bitmaps of
// them under Wine: openings must not add up.
TEST_F(OptionsSheetTest, RepeatedOpeningsLeaveNoGdiObjects) {
    auto openBoth = [&] {
        Run(false, 0, [](COptionsPropertySheet&) {});
        Run(true, 1, [](COptionsPropertySheet&) {});
    };
    openBoth();
    const int before = wt::CountGdiObjects();
    for (int i = 0; i < 5; ++i)
        openBoth();
    EXPECT_EQ(before, wt::CountGdiObjects());
}

}  // namespace
