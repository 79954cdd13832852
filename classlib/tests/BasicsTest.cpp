// CString, CRect and CFile::GetStatus.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Basics, StringOperations) {
    CString s(L"Vesk Capture.PNG");
    struct Case {
        CString got;
        const wchar_t* want;
    } cases[] = {
        {s.Left(4), L"Vesk"},
        {s.Mid(5, 7), L"Capture"},
        {s.Mid(5), L"Capture.PNG"},
        {s.Right(3), L"PNG"},
        {s.Mid(-3, 2), L"Ve"},      // out-of-range arguments are clamped
        {s.Mid(40), L""},
        {s.Left(99), L"Vesk Capture.PNG"},
        {s.Mid(s.ReverseFind(L'.') + 1), L"PNG"},
        {CString(s).MakeLower(), L"vesk capture.png"},
        {CString(s).MakeUpper(), L"VESK CAPTURE.PNG"},
        {CString(L"  pad  ").Trim(), L"pad"},
        {CString(L"a\\b\\c").Mid(CString(L"a\\b\\c").ReverseFind(L'\\') + 1), L"c"},
        {CString(L"x") + L"y" + CString(L"z") + L'!', L"xyz!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want);

    EXPECT_EQ(s.Find(L'C'), 5);
    EXPECT_EQ(s.Find(L"PNG"), 13);
    EXPECT_EQ(s.Find(L'z'), -1);
    EXPECT_EQ(s.ReverseFind(L'z'), -1);
    EXPECT_EQ(s.CompareNoCase(L"vesk capture.png"), 0);
    EXPECT_NE(s.Compare(L"vesk capture.png"), 0);

    CString replaced(L"a-b-c");
    EXPECT_EQ(replaced.Replace(L"-", L"--"), 2);
    EXPECT_EQ(replaced, L"a--b--c");
}

TEST(Basics, StringFormatAndBuffers) {
    CString folder(L"C:\\캡쳐");
    CString path;
    path.Format(L"%s\\%s", folder, L"vesk.ini");  // CString arguments pass as text
    EXPECT_EQ(path, L"C:\\캡쳐\\vesk.ini");
    CString colour;
    colour.Format(L"#%02X%02X%02X", 255, 16, 1);
    EXPECT_EQ(colour, L"#FF1001");
    CString number;
    number.Format(L"%d", -2147483647 - 1);
    EXPECT_EQ(number, L"-2147483648");
    CString longText;
    longText.Format(L"%s", static_cast<LPCWSTR>(CString(L'k', 5000)));
    EXPECT_EQ(longText.GetLength(), 5000);

    CString buffer;
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.GetBuffer(MAX_PATH), MAX_PATH);
    buffer.ReleaseBuffer();
    EXPECT_EQ(buffer.GetLength(), static_cast<int>(n));
    LPWSTR raw = buffer.GetBuffer(3);
    raw[2] = 0;
    buffer.ReleaseBuffer();
    EXPECT_EQ(buffer.GetLength(), 2);

    CString korean;
    EXPECT_TRUE(korean.LoadString(IDS_KOREAN));
    EXPECT_EQ(korean, L"캡쳐 알림 효과가 활성화 되었습니다.");
    EXPECT_FALSE(korean.LoadString(4711));
    EXPECT_TRUE(korean.IsEmpty());
    EXPECT_EQ(AfxFindStringResourceHandle(IDS_KOREAN), AfxGetResourceHandle());
}

TEST(Basics, RectangleOperations) {
    CRect r(10, 20, 110, 70);
    EXPECT_EQ(r.Width(), 100);
    EXPECT_EQ(r.Height(), 50);
    EXPECT_EQ(r.CenterPoint(), CPoint(60, 45));
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(110, 70)));  // right and bottom are outside

    struct Case {
        CRect got;
        CRect want;
    } cases[] = {
        {[&] { CRect c(r); c.InflateRect(5, 2); return c; }(), CRect(5, 18, 115, 72)},
        {[&] { CRect c(r); c.DeflateRect(10, 5); return c; }(), CRect(20, 25, 100, 65)},
        {[&] { CRect c(r); c.OffsetRect(-10, 5); return c; }(), CRect(0, 25, 100, 75)},
        {[&] { CRect c(110, 70, 10, 20); c.NormalizeRect(); return c; }(), r},
        {[&] { CRect c; c.IntersectRect(r, CRect(100, 60, 200, 200)); return c; }(), CRect(100, 60, 110, 70)},
        {[&] { CRect c; c.UnionRect(r, CRect(0, 0, 5, 5)); return c; }(), CRect(0, 0, 110, 70)},
        {r & CRect(200, 200, 300, 300), CRect()},
        {r + CPoint(1, 2), CRect(11, 22, 111, 72)},
        {CRect(CPoint(3, 4), CSize(10, 20)), CRect(3, 4, 13, 24)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want);

    CRect moved(r);
    moved.MoveToXY(0, 0);
    EXPECT_EQ(moved.Size(), r.Size());
    EXPECT_EQ(moved.TopLeft(), CPoint(0, 0));
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
    EXPECT_EQ(CPoint(LPARAM(MAKELPARAM(-3, 7))), CPoint(-3, 7));
}

TEST(Basics, FileStatus) {
    WCHAR exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(exe, status));
    EXPECT_GT(status.m_size, 0u);
    EXPECT_GT(status.m_mtime.GetTime(), 0);
    EXPECT_EQ(CString(status.m_szFullName).CompareNoCase(exe), 0);

    EXPECT_FALSE(CFile::GetStatus(L"Z:\\no\\such\\vesk.ini", status));
    EXPECT_FALSE(CFile::GetStatus(L"", status));
}

TEST(Basics, ApplicationGlobals) {
    CWinApp* app = AfxGetApp();
    ASSERT_NE(app, nullptr);
    EXPECT_STREQ(app->m_pszAppName, L"ClasslibTests");
    app->SetRegistryKey(L"로컬 응용 프로그램 마법사에서 생성된 응용 프로그램");
    EXPECT_STREQ(app->m_pszRegistryKey, L"로컬 응용 프로그램 마법사에서 생성된 응용 프로그램");
    EXPECT_EQ(AfxGetInstanceHandle(), ::GetModuleHandleW(nullptr));
    EXPECT_EQ(AfxGetMainWnd(), nullptr);

    class CSiteManager : public COccManager {};
    CSiteManager manager;
    AfxEnableControlContainer(&manager);
    EXPECT_EQ(AfxGetOccManager(), &manager);
    AfxEnableControlContainer(nullptr);

    test::ClearMessageBoxes();
    EXPECT_EQ(AfxMessageBox(L"같은 이름을 가진 파일이 이미 존재 합니다.\n덮어쓰시겠습니까?", MB_YESNO), IDYES);
    ASSERT_EQ(test::MessageBoxes().size(), 1u);
}

}  // namespace
