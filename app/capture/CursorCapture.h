// The cursor capture command: the cursor showing now, saved as a 32 x 32
// cursor file with its background transparent.
#pragma once

#include "Afx.h"

// Writes "<directory>\Cursor.cur", replacing an earlier one. On success
// `path` names the file; on failure `failure` says why.
bool CaptureCursorToFile(const CString& directory, CString& path, CString& failure);
