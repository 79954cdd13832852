#include "String.h"

#include "WinApp.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <cwctype>

CString::CString(LPCSTR psz) {
    if (!psz || !*psz)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (n <= 1)
        return;
    m_str.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, psz, -1, &m_str[0], n);
    m_str.resize(static_cast<size_t>(n - 1));
}

WCHAR CString::GetAt(int i) const {
    if (i < 0 || i >= GetLength())
        return 0;
    return m_str[static_cast<size_t>(i)];
}

void CString::SetAt(int i, WCHAR ch) {
    if (i >= 0 && i < GetLength())
        m_str[static_cast<size_t>(i)] = ch;
}

int CString::Compare(LPCWSTR psz) const {
    return wcscmp(m_str.c_str(), psz ? psz : L"");
}

int CString::CompareNoCase(LPCWSTR psz) const {
    return _wcsicmp(m_str.c_str(), psz ? psz : L"");
}

CString CString::Mid(int nFirst) const {
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const {
    const int len = GetLength();
    nFirst = std::clamp(nFirst, 0, len);
    nCount = std::clamp(nCount, 0, len - nFirst);
    return CString(m_str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount)));
}

CString CString::Left(int nCount) const {
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const {
    nCount = std::clamp(nCount, 0, GetLength());
    return Mid(GetLength() - nCount, nCount);
}

int CString::Find(WCHAR ch, int nStart) const {
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    size_t p = m_str.find(ch, static_cast<size_t>(nStart));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::Find(LPCWSTR pszSub, int nStart) const {
    if (!pszSub || nStart < 0 || nStart > GetLength())
        return -1;
    size_t p = m_str.find(pszSub, static_cast<size_t>(nStart));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::ReverseFind(WCHAR ch) const {
    size_t p = m_str.rfind(ch);
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::FindOneOf(LPCWSTR pszCharSet) const {
    if (!pszCharSet)
        return -1;
    size_t p = m_str.find_first_of(pszCharSet);
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

CString& CString::MakeLower() {
    if (!m_str.empty())
        CharLowerBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

CString& CString::MakeUpper() {
    if (!m_str.empty())
        CharUpperBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_str.begin(), m_str.end());
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_str.size() && iswspace(m_str[i]))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_str.size();
    while (n > 0 && iswspace(m_str[n - 1]))
        --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim(WCHAR ch) {
    return TrimRight(ch).TrimLeft(ch);
}

CString& CString::TrimLeft(WCHAR ch) {
    size_t i = 0;
    while (i < m_str.size() && m_str[i] == ch)
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight(WCHAR ch) {
    size_t n = m_str.size();
    while (n > 0 && m_str[n - 1] == ch)
        --n;
    m_str.resize(n);
    return *this;
}

int CString::Replace(WCHAR chOld, WCHAR chNew) {
    int count = 0;
    for (auto& c : m_str) {
        if (c == chOld) {
            c = chNew;
            ++count;
        }
    }
    return count;
}

int CString::Replace(LPCWSTR pszOld, LPCWSTR pszNew) {
    if (!pszOld || !*pszOld)
        return 0;
    const std::wstring from(pszOld);
    const std::wstring to(pszNew ? pszNew : L"");
    int count = 0;
    size_t pos = 0;
    while ((pos = m_str.find(from, pos)) != std::wstring::npos) {
        m_str.replace(pos, from.size(), to);
        pos += to.size();
        ++count;
    }
    return count;
}

int CString::Remove(WCHAR ch) {
    size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int nIndex, WCHAR ch) {
    nIndex = std::clamp(nIndex, 0, GetLength());
    m_str.insert(static_cast<size_t>(nIndex), 1, ch);
    return GetLength();
}

int CString::Insert(int nIndex, LPCWSTR psz) {
    nIndex = std::clamp(nIndex, 0, GetLength());
    if (psz)
        m_str.insert(static_cast<size_t>(nIndex), psz);
    return GetLength();
}

int CString::Delete(int nIndex, int nCount) {
    if (nIndex >= 0 && nIndex < GetLength() && nCount > 0)
        m_str.erase(static_cast<size_t>(nIndex), static_cast<size_t>(std::min(nCount, GetLength() - nIndex)));
    return GetLength();
}

BOOL CString::LoadString(UINT nID) {
    HINSTANCE hInst = AfxFindStringResourceHandle(nID);
    if (!hInst) {
        m_str.clear();
        return FALSE;
    }
    return LoadString(hInst, nID);
}

BOOL CString::LoadString(HINSTANCE hInstance, UINT nID) {
    // With a zero buffer size the system hands out a pointer into the
    // resource itself, so texts of any length load whole.
    const WCHAR* p = nullptr;
    int n = ::LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p) {
        m_str.clear();
        return FALSE;
    }
    m_str.assign(p, static_cast<size_t>(n));
    return TRUE;
}

void CString::FormatV(LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatVa(pszFormat, args);
    va_end(args);
}

void CString::FormatVa(LPCWSTR pszFormat, va_list args) {
    if (!pszFormat) {
        m_str.clear();
        return;
    }
    va_list copy;
    va_copy(copy, args);
    int n = _vscwprintf(pszFormat, copy);
    va_end(copy);
    if (n <= 0) {
        m_str.clear();
        return;
    }
    std::wstring out(static_cast<size_t>(n) + 1, L'\0');
    _vsnwprintf(&out[0], out.size(), pszFormat, args);
    out.resize(static_cast<size_t>(n));
    m_str.swap(out);
}

LPWSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

LPWSTR CString::GetBufferSetLength(int nNewLength) {
    m_str.resize(static_cast<size_t>(std::max(nNewLength, 0)));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0)
        nNewLength = static_cast<int>(wcsnlen(m_str.c_str(), m_str.size()));
    m_str.resize(static_cast<size_t>(std::min(nNewLength, GetLength())));
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, LPCWSTR b) { CString r(a); r += b; return r; }
CString operator+(LPCWSTR a, const CString& b) { CString r(a); r += b; return r; }
CString operator+(const CString& a, WCHAR b) { CString r(a); r += b; return r; }
CString operator+(WCHAR a, const CString& b) { CString r(a); r += b; return r; }

bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
bool operator==(const CString& a, LPCWSTR b) { return a.Compare(b) == 0; }
bool operator==(LPCWSTR a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }
bool operator!=(LPCWSTR a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return a.str() < b.str(); }
