#include "afxlate.h"

// The dialog's pointer slot: x86_64's user32 has window-long functions of
// pointer width, while i686's headers map the LongPtr names onto these. The
// i686 names stand on lines of their own, as in the list below, where the
// Windows 2000 load check reads them.
#if AFX_IMPORT_DECORATED
#define AFX_GET_WINDOW_LONG(X) \
    X(GetWindowLongA, 8)
#define AFX_SET_WINDOW_LONG(X) \
    X(SetWindowLongA, 12)
#else
#define AFX_GET_WINDOW_LONG(X) X(GetWindowLongPtrA, 8)
#define AFX_SET_WINDOW_LONG(X) X(SetWindowLongPtrA, 12)
#endif

// Every function of user32 the program calls, with the bytes of arguments
// its decorated name carries. A call to one that is missing here brings the
// import of user32 back, which the tests notice.
#define AFX_USER32_IMPORTS(X) \
    X(BeginPaint, 8)          \
    X(DialogBoxParamA, 20)    \
    X(DrawIcon, 16)           \
    X(EndDialog, 8)           \
    X(EndPaint, 8)            \
    X(ExitWindowsEx, 8)       \
    X(GetClientRect, 8)       \
    X(GetDlgItem, 8)          \
    X(GetNextDlgTabItem, 12)  \
    X(GetSystemMetrics, 4)    \
    X(GetWindow, 8)           \
    AFX_GET_WINDOW_LONG(X)    \
    X(GetWindowRect, 8)       \
    X(GetWindowTextA, 12)     \
    X(GetWindowTextLengthA, 4) \
    X(IsIconic, 4)            \
    X(IsWindowVisible, 4)     \
    X(LoadIconA, 8)           \
    X(MessageBoxA, 16)        \
    X(SendMessageA, 16)       \
    X(SetDlgItemTextA, 12)    \
    AFX_SET_WINDOW_LONG(X)    \
    X(SetWindowPos, 28)       \
    X(SetWindowTextA, 8)      \
    X(SystemParametersInfoA, 16)

namespace {

// The program's one reference on a late-bound library: taken at the first
// call into it, given back when the program ends.
class CLateLibrary {
public:
    constexpr CLateLibrary(LPCSTR pszName, void (*pfnUnbindAll)())
        : m_pszName(pszName), m_pfnUnbindAll(pfnUnbindAll) {}
    ~CLateLibrary();

    CLateLibrary(const CLateLibrary&) = delete;
    CLateLibrary& operator=(const CLateLibrary&) = delete;

    // Binds one import slot that still holds its thunk to the library's
    // function. Answers what the slot calls now, or nullptr when the library
    // or the function cannot be had.
    FARPROC Bind(PVOID volatile* ppSlot, PVOID pThunk, LPCSTR pszName);

private:
    FARPROC GetProc(LPCSTR pszName);

    LPCSTR m_pszName;
    void (*m_pfnUnbindAll)();
    HMODULE volatile m_hModule = nullptr;
};

CLateLibrary::~CLateLibrary()
{
    if (m_hModule == nullptr)
        return;
    // A call after this point binds afresh instead of jumping into a library
    // that may be gone.
    m_pfnUnbindAll();
    ::FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

FARPROC CLateLibrary::GetProc(LPCSTR pszName)
{
    if (m_hModule == nullptr) {
        HMODULE hModule = ::LoadLibraryA(m_pszName);
        if (hModule == nullptr)
            return nullptr;
        // The program has one thread; a test's second thread may race it
        // here, and the loser gives its reference back.
        if (::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&m_hModule),
                                                hModule, nullptr) != nullptr)
            ::FreeLibrary(hModule);
    }
    return ::GetProcAddress(m_hModule, pszName);
}

FARPROC CLateLibrary::Bind(PVOID volatile* ppSlot, PVOID pThunk, LPCSTR pszName)
{
    if (*ppSlot != pThunk)
        return reinterpret_cast<FARPROC>(*ppSlot);
    FARPROC pfn = GetProc(pszName);
    if (pfn != nullptr)
        ::InterlockedExchangePointer(ppSlot, reinterpret_cast<PVOID>(pfn));
    return pfn;
}

void UnbindUser32();
CLateLibrary g_user32("user32.dll", UnbindUser32);

template <typename F>
struct CLateThunk;

template <typename R, typename... A>
struct CLateThunk<R(WINAPI*)(A...)> {
    typedef R(WINAPI* PFN)(A...);

    // The @N of the decorated name: the argument bytes the callee pops.
    static constexpr DWORD kArgBytes = (0u + ... + ((sizeof(A) + 3) & ~3u));

    template <PFN* ppfn, const char* pszName>
    static FARPROC Bind()
    {
        return g_user32.Bind(reinterpret_cast<PVOID volatile*>(ppfn),
                             reinterpret_cast<PVOID>(&Call<ppfn, pszName>), pszName);
    }

    // Zero (or nullptr) is how the window functions fail, all but
    // DialogBoxParamA (-1); it gets zero too, as afxlate.h says.
    // GetProcAddress answers one pointer type for functions of every
    // signature; passing through void (*)() says that this one matches.
    template <PFN* ppfn, const char* pszName>
    static R WINAPI Call(A... args)
    {
        PFN pfn = reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(Bind<ppfn, pszName>()));
        if (pfn == nullptr)
            return R();
        return pfn(args...);
    }
};

}  // namespace

// The import slots themselves, under the names the compiler calls through.
#define AFX_THUNK(name) CLateThunk<decltype(&::name)>::Call<&afxImp_##name, afxName_##name>
#define AFX_DEFINE_SLOT(name, bytes)                                                      \
    static constexpr char afxName_##name[] = #name;                                      \
    extern decltype(&::name) afxImp_##name asm(AFX_IMPORT_SLOT(name, bytes));           \
    decltype(&::name) afxImp_##name = &AFX_THUNK(name);                                  \
    static_assert(!AFX_IMPORT_DECORATED || CLateThunk<decltype(&::name)>::kArgBytes == bytes, \
                  #name " takes other arguments");
AFX_USER32_IMPORTS(AFX_DEFINE_SLOT)

namespace {

void UnbindUser32()
{
#define AFX_UNBIND(name, bytes) \
    ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&afxImp_##name), \
                                 reinterpret_cast<PVOID>(&AFX_THUNK(name)));
    AFX_USER32_IMPORTS(AFX_UNBIND)
}

}  // namespace

#define AFX_TABLE_ENTRY(name, bytes) \
    { #name, &CLateThunk<decltype(&::name)>::Bind<&afxImp_##name, afxName_##name> },
const AFX_LATE_IMPORT afxUser32Imports[] = { AFX_USER32_IMPORTS(AFX_TABLE_ENTRY) };
const int afxUser32ImportCount = sizeof(afxUser32Imports) / sizeof(afxUser32Imports[0]);
