#include "File.h"

#include <cwchar>

CTime::CTime(const FILETIME& ft) {
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    constexpr ULONGLONG kEpochDiff = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
    m_time = v.QuadPart < kEpochDiff ? 0 : static_cast<std::time_t>((v.QuadPart - kEpochDiff) / 10000000ULL);
}

BOOL PASCAL CFile::GetStatus(LPCWSTR pszFileName, CFileStatus& rStatus) {
    rStatus = CFileStatus();
    if (!pszFileName || !*pszFileName)
        return FALSE;
    DWORD n = GetFullPathNameW(pszFileName, MAX_PATH, rStatus.m_szFullName, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        rStatus.m_szFullName[0] = 0;
        return FALSE;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(rStatus.m_szFullName, GetFileExInfoStandard, &data)) {
        rStatus.m_szFullName[0] = 0;
        return FALSE;
    }
    rStatus.m_attribute = static_cast<BYTE>(data.dwFileAttributes & 0xFF);
    rStatus.m_size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    rStatus.m_ctime = CTime(data.ftCreationTime);
    rStatus.m_atime = CTime(data.ftLastAccessTime);
    rStatus.m_mtime = CTime(data.ftLastWriteTime);
    return TRUE;
}
