// The program's entry for GUI builds: hands over to the one application object.
// Kept in its own file so that programs with their own main (tests) do not
// pull it in.
#include "WinApp.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

// Without -municode the runtime calls the narrow entry; take the wide command line.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow) {
    LPWSTR cmd = ::GetCommandLineW();
    // Skip the program name, quoted or not, and the blanks after it.
    bool quoted = false;
    while (*cmd && (quoted || (*cmd != L' ' && *cmd != L'\t'))) {
        if (*cmd == L'"')
            quoted = !quoted;
        ++cmd;
    }
    while (*cmd == L' ' || *cmd == L'\t')
        ++cmd;
    return AfxWinMain(hInstance, hPrevInstance, cmd, nCmdShow);
}
