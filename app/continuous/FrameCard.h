// The card a frame list draws for one item: background by selection and
// focus, a raised card with the thumbnail in its picture cell, and four lines
// (name, type, size, time in milliseconds). Continuous capture's list and the
// GIF maker's list draw their items alike.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameRecord.h"

constexpr int kFrameCardHeight = 150;

// `font`: the list's font for the text lines.
void DrawFrameCard(const DRAWITEMSTRUCT& item, const FrameRecord& frame, HFONT font);
