// Small text helpers shared by the whole program.
#pragma once

#include "Afx.h"

// The string-table text of nID; empty when the table has none.
CString LoadResString(UINT nID);
CString IntToString(int value);
