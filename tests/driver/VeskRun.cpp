#include "tests/driver/VeskRun.h"

#include "app/settings/Profile.h"
#include "image/DibImage.h"

#include <dlgs.h>

#include <cstdio>

namespace vesk_test {

std::wstring BuiltExePath(bool trial)
{
    const std::string unixPath = trial ? VESK_TRIAL_EXE : VESK_EXE;
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

std::string NoiseBytes(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

void PaintBands(HDC dc, const RECT& r)
{
    RECT band = r;
    for (int i = 0; band.top < r.bottom; ++i, band.top += 7) {
        band.bottom = band.top + 7;
        SetBkColor(dc, RGB(40 * i % 256, 255 - 30 * i % 256, 90 + 50 * i % 166));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
    }
}

HWND TestWindow::Create(const wchar_t* className, const wchar_t* title, WNDPROC proc, COLORREF background,
                        const RECT& rect, DWORD style, HWND parent)
{
    Destroy();
    if (background != CLR_INVALID)
        m_brush = CreateSolidBrush(background);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = m_brush;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    m_class = className;
    m_hWnd = CreateWindowExW(parent ? 0 : WS_EX_TOPMOST, className, title, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, wc.hInstance, nullptr);
    return m_hWnd;
}

void TestWindow::Destroy()
{
    if (m_hWnd && IsWindow(m_hWnd))  // a child may have gone with its parent
        DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    if (!m_class.empty())
        UnregisterClassW(m_class.c_str(), GetModuleHandleW(nullptr));
    m_class.clear();
    if (m_brush)
        DeleteObject(m_brush);
    m_brush = nullptr;
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

std::vector<COLORREF> GrabScreen(const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<COLORREF> pixels;
    if (w <= 0 || h <= 0)
        return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        SelectObject(memory, old);
        GdiFlush();
        const auto* px = static_cast<const DWORD*>(bits);
        pixels.reserve(static_cast<size_t>(w) * h);
        for (int i = 0; i < w * h; ++i)
            pixels.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    return pixels;
}

int WrongPixels(const CDibImage& image, const std::vector<COLORREF>& expected)
{
    const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
    if (static_cast<size_t>(w) * h != expected.size())
        return -1;
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, h - 1 - y, false);  // rows counted from the bottom
            wrong += RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) != expected[static_cast<size_t>(y) * w + x];
        }
    return wrong;
}

bool AnswerFileDialog(HWND dialog, const std::wstring& folder, const std::wstring& names)
{
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box)
        box = GetDlgItem(dialog, edt1);
    if (!box)
        return false;
    // Sent, not posted: what is typed next must meet the dialog in its new folder.
    const auto confirm = [&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)), SMTO_NORMAL, kPatienceMs, &result);
    };
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    confirm();
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(names.c_str()));
    confirm();
    return WaitFor([&] { return !IsWindow(dialog); });
}

VeskRun::VeskRun(const wchar_t* tag) : m_tag(tag) {}

VeskRun::~VeskRun() { Kill(); }

bool VeskRun::Prepare(const std::wstring& programIn)
{
    static int counter = 0;
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"vesk-" + m_tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter);
    const std::wstring home = programIn.empty() ? m_folder : m_folder + L"\\" + programIn;
    m_exe = home + L"\\vesk.exe";
    m_ini = home + L"\\vesk.ini";
    return CreateDirectoryW(m_folder.c_str(), nullptr) &&
           (programIn.empty() || CreateDirectoryW(home.c_str(), nullptr)) &&
           CopyFileW(BuiltExePath().c_str(), m_exe.c_str(), FALSE);
}

bool VeskRun::PrepareQuiet()
{
    if (!Prepare())
        return false;
    HWND main = Start();
    if (!main || Exit(main) != 0)
        return false;
    profile::WriteValue(profile::kMiscSection, L"MouseCursor", 0, m_ini.c_str());
    profile::WriteValue(profile::kMiscSection, L"SoundEffect", 0, m_ini.c_str());
    profile::WriteValue(profile::kMiscSection, L"ToolTipEffect", 0, m_ini.c_str());
    profile::WriteValue(profile::kFileSection, L"EditedChecked", 0, m_ini.c_str());
    return true;
}

HWND VeskRun::Start(std::wstring* notice)
{
    Kill();
    if (notice)
        notice->clear();
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + m_exe + L"\"";
    if (!CreateProcessW(m_exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(), &si, &m_pi))
        return nullptr;
    CloseHandle(m_pi.hThread);
    m_pi.hThread = nullptr;
    HWND main = nullptr;
    WaitFor([&] {
        if (notice && notice->empty() && FindMessageBox())
            *notice = AnswerMessageBox(0);
        main = FindOwnWindow(kMainTitle);
        return main && IsWindowVisible(main);
    });
    if (main)
        WaitForInputIdle(m_pi.hProcess, kPatienceMs);
    return main;
}

DWORD VeskRun::Exit(HWND main, std::wstring* notice, const wchar_t* question)
{
    DWORD code = STILL_ACTIVE;
    if (notice)
        notice->clear();
    const auto ended = [&] { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; };
    bool asked = false, wrong = false;
    if (PostMessageW(main, WM_COMMAND, kExitCommand, 0)) {
        WaitFor([&] {
            HWND box = asked ? nullptr : FindMessageBox();
            if (box && GetDlgItem(box, IDYES)) {  // leaving with captures only in memory
                asked = true;
                wrong = !question || MessageBoxText(box).find(question) == std::wstring::npos;
                PostMessageW(box, WM_COMMAND, wrong ? IDNO : IDYES, 0);
            } else if (box && notice && notice->empty()) {
                *notice = AnswerMessageBox(0);
            }
            return wrong || ended();
        });
        if (ended())
            GetExitCodeProcess(m_pi.hProcess, &code);
    }
    Kill();
    return wrong || (question && !asked) ? kWrongQuestion : code;
}

std::wstring VeskRun::AnswerMessageBox(DWORD patienceMs) const
{
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindMessageBox()) != nullptr; }, patienceMs))
        return std::wstring();
    const std::wstring text = MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitFor([&] { return !IsWindow(box); });
    return text.empty() ? L" " : text;  // a box was there
}

void VeskRun::Kill()
{
    if (!m_pi.hProcess)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, kPatienceMs);
    }
    CloseHandle(m_pi.hProcess);
    m_pi = {};
}

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's text

struct WindowQuery {
    DWORD pid;
    const std::function<bool(HWND)>* pred;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam)
{
    auto* q = reinterpret_cast<WindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid != q->pid || !(*q->pred)(hWnd))
        return TRUE;
    q->found = hWnd;
    return FALSE;
}

struct ControlQuery {
    int id;
    HWND found;
};
BOOL CALLBACK MatchControl(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<ControlQuery*>(lParam);
    if (GetDlgCtrlID(hWnd) != q->id)
        return TRUE;
    q->found = hWnd;
    return FALSE;
}

}  // namespace

HWND FindControl(HWND parent, int id) {
    ControlQuery q = {id, nullptr};
    EnumChildWindows(parent, MatchControl, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND VeskRun::FindWindowIf(const std::function<bool(HWND)>& pred) const
{
    WindowQuery q = {m_pi.dwProcessId, &pred, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND VeskRun::FindOwnWindow(const wchar_t* title) const
{
    const std::wstring wanted = title;
    return FindWindowIf([&](HWND hWnd) {
        WCHAR text[256] = {};
        GetWindowTextW(hWnd, text, 256);
        return wanted == text;
    });
}

HWND VeskRun::FindMessageBox() const
{
    return FindWindowIf([](HWND hWnd) {
        WCHAR name[16] = {};
        GetClassNameW(hWnd, name, 16);
        // Dialogs with unnamed labels have a 0xFFFF child too, but none of them a button to answer with.
        return std::wstring(name) == L"#32770" && IsWindowVisible(hWnd) && GetDlgItem(hWnd, kMessageBoxTextId) &&
               (GetDlgItem(hWnd, IDOK) || GetDlgItem(hWnd, IDYES));
    });
}

std::wstring MessageBoxText(HWND box)
{
    WCHAR text[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(GetDlgItem(box, kMessageBoxTextId), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, kPatienceMs, &copied);
    return text;
}

void VeskRun::WaitUntilIdle(HWND hWnd) const
{
    WaitForInputIdle(m_pi.hProcess, kPatienceMs);
    DWORD_PTR result = 0;
    for (int i = 0; i < 2; ++i)
        SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result);
}

std::wstring VeskRun::Numbered(int n, const wchar_t* type) const
{
    return m_folder + L"\\Vesk_" + std::to_wstring(n) + L"." + type;
}

bool VeskRun::LoadWhenWritten(const std::wstring& path, CDibImage& image) const
{
    if (WaitFor([&] { return Exists(path) && image.Load(path.c_str(), 0); }))
        return true;
    // What the folder holds instead, for the failure's log.
    std::wstring seen = path + L" never loaded; the folder holds:";
    WIN32_FIND_DATAW found = {};
    const HANDLE find = FindFirstFileW((m_folder + L"\\*").c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found))
        if (found.cFileName[0] != L'.')
            seen += L" " + std::wstring(found.cFileName) + L" (" + std::to_wstring(found.nFileSizeLow) + L" bytes)";
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    std::string utf8(seen.size() * 3 + 1, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, seen.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
    std::fprintf(stderr, "%s\n", utf8.c_str());
    return false;
}

}  // namespace vesk_test
