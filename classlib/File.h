// File status queries (CFile::GetStatus) with the time type they report in.
#pragma once

#include "AfxDefs.h"

#include <ctime>

class CTime {
public:
    CTime() = default;
    explicit CTime(std::time_t t) : m_time(t) {}
    // A file time (UTC) as seconds since 1970; zero for a time before that.
    explicit CTime(const FILETIME& ft);
    std::time_t GetTime() const { return m_time; }
    bool operator==(const CTime& o) const { return m_time == o.m_time; }
    bool operator!=(const CTime& o) const { return m_time != o.m_time; }
    bool operator<(const CTime& o) const { return m_time < o.m_time; }

private:
    std::time_t m_time = 0;
};

struct CFileStatus {
    CTime m_ctime;
    CTime m_mtime;
    CTime m_atime;
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    WCHAR m_szFullName[MAX_PATH] = {};
};

class CFile {
public:
    // Fills rStatus for an existing file or folder; FALSE when it cannot be found.
    static BOOL PASCAL GetStatus(LPCWSTR pszFileName, CFileStatus& rStatus);
};
