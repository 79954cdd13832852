// Keeping top-level windows where the user can reach them: inside the work
// area (the screen less the taskbar) of the screen they open on.
#pragma once

#include "Afx.h"

// `rect` moved, not resized, to lie inside `work`; a rectangle larger than
// `work` keeps its top-left corner, where the caption is, inside.
CRect FitInside(const CRect& rect, const CRect& work);
// The work area of the screen that holds most of `rect`.
CRect WorkAreaOf(const CRect& rect);
// Moves a window that reaches beyond the work area of its screen back inside it.
void KeepInWorkArea(HWND hWnd);
