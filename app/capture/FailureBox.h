// Error boxes of the capture commands. Their texts carry file paths, which
// have no blanks for the message box to wrap at: a long one would make the box
// wider than the screen, so such lines are broken first.
#pragma once

#include "Afx.h"

// `text` with every line wider than `maxWidth` pixels in `font` broken into
// lines that fit, after a backslash or blank where there is one.
CString WrapLongLines(const CString& text, HFONT font, int maxWidth);
// `text` wrapped for a message box on the primary screen's work area.
CString FitMessageToScreen(const CString& text);
// An error box with `message`, fitted to the screen.
void ShowFailureBox(LPCWSTR message);
