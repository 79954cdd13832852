// Common dialogs, answered by a thread timer that finds the open dialog.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <functional>

namespace {

std::function<bool(HWND)> g_answer;  // true when the dialog was answered

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam) {
    WCHAR cls[16] = {};
    if (::IsWindowVisible(hWnd) && ::GetClassNameW(hWnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

int g_ticks = 0;
bool g_gaveUp = false;

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND hDlg = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&hDlg));
    if (hDlg && g_answer && g_answer(hDlg)) {
        ::KillTimer(nullptr, id);
        g_answer = nullptr;
    } else if (hDlg && ++g_ticks > 150) {
        // Never wait for a person: cancel whatever is open and fail the test.
        g_gaveUp = true;
        ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    }
}

// Runs dialog.DoModal() while the timer answers it.
template <class Dialog>
INT_PTR RunAnswered(Dialog& dialog, std::function<bool(HWND)> answer) {
    g_answer = std::move(answer);
    g_ticks = 0;
    g_gaveUp = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 100, AnswerTimer);
    INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, timer);
    g_answer = nullptr;
    EXPECT_FALSE(g_gaveUp) << "the dialog could not be answered";
    return result;
}

bool Press(HWND hDlg, int id) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
    return true;
}

const wchar_t kSaveFilter[] =
    L"JPG/JPEG Files(*.jpg;*.jpeg)\0*.jpg;*.jpeg;\0PNG Files(*.png)\0*.png;\0GIF Files(*.gif)\0*.gif;\0"
    L"BMP Files(*.bmp)\0*.bmp;\0TIF/TIFF Files(*.tif;*.tiff)\0*.tif;*.tiff\0";

TEST(CommonDialogs, FileDialogTakesNulSeparatedFilters) {
    CFileDialog dialog(FALSE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kSaveFilter);
    int pairs = 0;
    for (LPCWSTR p = dialog.m_ofn.lpstrFilter; *p; p += wcslen(p) + 1)
        ++pairs;
    EXPECT_EQ(pairs, 10);

    WCHAR folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    CString target = CString(folder) + L"vesk_classlib_save.png";
    ::DeleteFileW(target);
    CString firstFilter;
    int filterCount = 0;
    INT_PTR result = RunAnswered(dialog, [&](HWND hDlg) {
        HWND hTypes = ::GetDlgItem(hDlg, cmb1);
        filterCount = static_cast<int>(::SendMessageW(hTypes, CB_GETCOUNT, 0, 0));
        WCHAR text[128] = {};
        ::SendMessageW(hTypes, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
        firstFilter = text;
        HWND hName = ::GetDlgItem(hDlg, cmb13);
        if (!hName)
            hName = ::GetDlgItem(hDlg, edt1);
        ::SetWindowTextW(hName, target);
        return Press(hDlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(filterCount, 5);
    EXPECT_EQ(firstFilter, L"JPG/JPEG Files(*.jpg;*.jpeg)");
    EXPECT_EQ(dialog.GetPathName().CompareNoCase(target), 0);
    EXPECT_EQ(dialog.GetFileName(), L"vesk_classlib_save.png");
    EXPECT_EQ(dialog.GetFileExt(), L"png");
}

TEST(CommonDialogs, FileDialogCancelAndPipeFilters) {
    CFileDialog dialog(TRUE, L"bmp", nullptr, OFN_FILEMUSTEXIST, L"Bitmaps (*.bmp)|*.bmp|All (*.*)|*.*||");
    int pairs = 0;
    for (LPCWSTR p = dialog.m_ofn.lpstrFilter; *p; p += wcslen(p) + 1)
        ++pairs;
    EXPECT_EQ(pairs, 4);
    EXPECT_EQ(RunAnswered(dialog, [](HWND hDlg) { return Press(hDlg, IDCANCEL); }), IDCANCEL);
}

TEST(CommonDialogs, ColourAndFont) {
    CColorDialog colour(RGB(10, 20, 30), CC_FULLOPEN);
    EXPECT_EQ(RunAnswered(colour, [](HWND hDlg) { return Press(hDlg, IDOK); }), IDOK);
    EXPECT_EQ(colour.GetColor(), RGB(10, 20, 30));
    EXPECT_NE(CColorDialog::GetSavedCustomColors(), nullptr);

    LOGFONTW lf = {};
    lf.lfHeight = -16;
    lf.lfWeight = FW_BOLD;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    CFontDialog font(&lf);
    EXPECT_EQ(RunAnswered(font, [](HWND hDlg) { return Press(hDlg, IDOK); }), IDOK);
    EXPECT_FALSE(font.GetFaceName().IsEmpty());
    EXPECT_GT(font.GetSize(), 0);
    EXPECT_GT(font.GetWeight(), 0);

    CFontDialog cancelled;
    EXPECT_EQ(RunAnswered(cancelled, [](HWND hDlg) { return Press(hDlg, IDCANCEL); }), IDCANCEL);
}

}  // namespace
