// The card a frame list draws for one item: background by selection and
// focus, a raised card with the thumbnail in its picture cell, and four lines
// (name, type, size, time). Continuous capture's list and the GIF maker's list
// draw their items alike; each states the time in the unit its own delay field uses.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameRecord.h"

constexpr int kFrameCardHeight = 150;

// Continuous capture's time line: the time in milliseconds.
CString MillisecondsTimeLine(float tenths);

// `font`: the list's font for the text lines; `timeLine`: the card's last line.
void DrawFrameCard(const DRAWITEMSTRUCT& item, const FrameRecord& frame, HFONT font, const CString& timeLine);
