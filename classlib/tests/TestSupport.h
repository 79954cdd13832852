// Shared pieces of the class library tests: the application object, message
// box capture and message pumping.
#pragma once

#include "Afx.h"

#include <string>
#include <vector>

#include <functional>

namespace test {

// The application object of the test program; the hooks are for AfxWinMain tests.
class CTestApp : public CWinApp {
public:
    CTestApp() : CWinApp(L"ClasslibTests") {}
    std::function<BOOL()> onInitInstance;
    std::function<int()> onExitInstance;
    BOOL InitInstance() override { return onInitInstance ? onInitInstance() : CWinApp::InitInstance(); }
    int ExitInstance() override { return onExitInstance ? onExitInstance() : CWinApp::ExitInstance(); }
};

CTestApp& App();

// Texts of the message boxes shown since the last ClearMessageBoxes(); every
// box is answered with IDOK (IDYES for yes/no boxes) without being shown.
const std::vector<std::wstring>& MessageBoxes();
void ClearMessageBoxes();

// Processes queued messages until the queue is empty.
void PumpMessages();

// A top-level, visible window for tests that need a parent.
class CHostWnd : public CWnd {
public:
    BOOL CreateHost(int width = 400, int height = 300);
};

// The number of temporary handle wrappers the current thread holds.
size_t TemporaryCount();

// Builds an in-memory dialog template: a caption and buttons/edits laid out in a column.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, int cx, int cy, const wchar_t* caption);
    void AddControl(WORD classAtom, WORD id, DWORD style, int x, int y, int cx, int cy, const wchar_t* text);
    LPCDLGTEMPLATE Get() const { return reinterpret_cast<LPCDLGTEMPLATE>(m_data.data()); }

private:
    void Align();
    void AddWord(WORD w) { m_data.push_back(w); }
    void AddString(const wchar_t* s);
    std::vector<WORD> m_data;
    size_t m_countIndex = 0;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

}  // namespace test
