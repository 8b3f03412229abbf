#include "afxwin.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {
// Every empty string shares this one, so an empty CString costs no allocation.
char g_chNil[1] = "";
}

CString::CString() : m_pchData(g_chNil) {}

CString::CString(LPCSTR psz) : m_pchData(g_chNil)
{
    *this = psz;
}

CString::CString(const CString& other) : m_pchData(g_chNil)
{
    Assign(other.m_pchData, other.GetLength());
}

CString::~CString()
{
    Release();
}

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_pchData, other.GetLength());
    return *this;
}

CString& CString::operator=(LPCSTR psz)
{
    Assign(psz, psz != nullptr ? lstrlenA(psz) : 0);
    return *this;
}

int CString::GetLength() const
{
    return lstrlenA(m_pchData);
}

void CString::Release()
{
    if (m_pchData != g_chNil)
        free(m_pchData);
    m_pchData = g_chNil;
}

void CString::Assign(LPCSTR psz, int nLength)
{
    if (nLength <= 0) {
        Release();
        return;
    }
    LPSTR pNew = static_cast<LPSTR>(malloc(nLength + 1));
    if (pNew == nullptr) {
        Release();
        return;
    }
    memcpy(pNew, psz, nLength);
    pNew[nLength] = '\0';
    Release();
    m_pchData = pNew;
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    int nLength = GetLength();
    if (nMinBufLength < nLength)
        nMinBufLength = nLength;
    LPSTR pNew = static_cast<LPSTR>(malloc(nMinBufLength + 1));
    if (pNew == nullptr)
        return nullptr;
    memcpy(pNew, m_pchData, nLength + 1);
    Release();
    m_pchData = pNew;
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (m_pchData == g_chNil)
        return;
    if (nNewLength >= 0)
        m_pchData[nNewLength] = '\0';
    if (m_pchData[0] == '\0')
        Release();
}

BOOL CString::LoadString(UINT nID)
{
    Release();

    // A string table holds sixteen counted UTF-16 strings per block; the
    // resource loader picks the block in the user's language.
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = FindResourceA(hInst, MAKEINTRESOURCEA((nID >> 4) + 1), RT_STRING);
    if (hRes == nullptr)
        return FALSE;
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(hInst, hRes)));
    if (p == nullptr)
        return FALSE;
    for (UINT i = 0; i < (nID & 15); ++i)
        p += 1 + *p;
    int nChars = *p++;
    if (nChars == 0)
        return FALSE;

    // Characters the ANSI code page lacks become its default character.
    int nBytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, p, nChars, nullptr, 0,
                                     nullptr, nullptr);
    LPSTR pBuf = GetBuffer(nBytes);
    if (pBuf == nullptr)
        return FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, p, nChars, pBuf, nBytes, nullptr, nullptr);
    ReleaseBuffer(nBytes);
    return TRUE;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, pszFormat);
    int n = _vsnprintf(buf, sizeof(buf) - 1, pszFormat, args);
    va_end(args);
    buf[n < 0 ? sizeof(buf) - 1 : n] = '\0';
    *this = buf;
}
