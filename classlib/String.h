// CString: a wide, value-semantics string with the MFC operations.
#pragma once

#include "AfxDefs.h"

#include <string>
#include <type_traits>

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCWSTR psz) : m_str(psz ? psz : L"") {}
    CString(LPCWSTR pch, int nLength) : m_str(pch && nLength > 0 ? std::wstring(pch, static_cast<size_t>(nLength)) : std::wstring()) {}
    CString(const std::wstring& s) : m_str(s) {}
    // Narrow text is taken as being in the system's ANSI code page.
    CString(LPCSTR psz);
    CString(WCHAR ch, int nRepeat = 1) : m_str(nRepeat > 0 ? static_cast<size_t>(nRepeat) : 0, ch) {}

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCWSTR psz) { m_str = psz ? psz : L""; return *this; }
    CString& operator=(WCHAR ch) { m_str.assign(1, ch); return *this; }

    operator LPCWSTR() const { return m_str.c_str(); }
    LPCWSTR GetString() const { return m_str.c_str(); }
    const std::wstring& str() const { return m_str; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    WCHAR GetAt(int i) const;
    void SetAt(int i, WCHAR ch);
    WCHAR operator[](int i) const { return GetAt(i); }

    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(LPCWSTR psz) { if (psz) m_str += psz; return *this; }
    CString& operator+=(WCHAR ch) { m_str += ch; return *this; }

    int Compare(LPCWSTR psz) const;
    int CompareNoCase(LPCWSTR psz) const;

    // Out-of-range arguments are clamped, as callers of these expect.
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;

    int Find(WCHAR ch, int nStart = 0) const;
    int Find(LPCWSTR pszSub, int nStart = 0) const;
    int ReverseFind(WCHAR ch) const;
    int FindOneOf(LPCWSTR pszCharSet) const;

    CString& MakeLower();
    CString& MakeUpper();
    CString& MakeReverse();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(WCHAR ch);
    CString& TrimLeft(WCHAR ch);
    CString& TrimRight(WCHAR ch);
    int Replace(WCHAR chOld, WCHAR chNew);
    int Replace(LPCWSTR pszOld, LPCWSTR pszNew);
    int Remove(WCHAR ch);
    int Insert(int nIndex, WCHAR ch);
    int Insert(int nIndex, LPCWSTR psz);
    int Delete(int nIndex, int nCount = 1);

    // Loads from the module that holds the string; FALSE (and empty) when absent.
    BOOL LoadString(UINT nID);
    BOOL LoadString(HINSTANCE hInstance, UINT nID);

    // printf-style formatting with the platform's wide conventions (%s is wide);
    // CString arguments may be passed directly.
    template <class... Args>
    void Format(LPCWSTR pszFormat, const Args&... args) { FormatV(pszFormat, Pass(args)...); }
    template <class... Args>
    void Format(UINT nFormatID, const Args&... args) {
        CString fmt;
        fmt.LoadString(nFormatID);
        FormatV(fmt, Pass(args)...);
    }
    template <class... Args>
    void AppendFormat(LPCWSTR pszFormat, const Args&... args) {
        CString tail;
        tail.FormatV(pszFormat, Pass(args)...);
        m_str += tail.m_str;
    }
    void FormatV(LPCWSTR pszFormat, ...);
    void FormatVa(LPCWSTR pszFormat, va_list args);

    // Direct buffer access: the buffer holds at least nMinBufLength characters
    // plus a terminator; ReleaseBuffer(-1) takes the length up to the first NUL.
    LPWSTR GetBuffer(int nMinBufLength = 0);
    LPWSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    template <class T>
    static auto Pass(const T& v) {
        if constexpr (std::is_same_v<T, CString>)
            return v.GetString();
        else
            return v;
    }

    std::wstring m_str;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCWSTR b);
CString operator+(LPCWSTR a, const CString& b);
CString operator+(const CString& a, WCHAR b);
CString operator+(WCHAR a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCWSTR b);
bool operator==(LPCWSTR a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, LPCWSTR b);
bool operator!=(LPCWSTR a, const CString& b);
bool operator<(const CString& a, const CString& b);
