// The window library (user32) is bound on first use instead of by the
// executable's import table: loading it costs more than the rest of a silent
// run, and most runs end without showing a window.
//
// Calls to an imported function compile to an indirect call through its
// import slot (AFX_IMPORT_SLOT below). AfxLateImports.cpp defines those slots for
// every window function the program calls. Each slot starts out pointing to
// a thunk of the same signature, which loads the library, looks the function
// up, stores it in the slot and forwards the call; later calls go straight to
// the library. When the library or the function cannot be had, the thunk
// answers zero (nullptr), and GetLastError tells why. Zero is the failure
// value of every function bound here but DialogBoxParamA, whose own is -1:
// its thunk answers 0 all the same, which CDialog::DoModal passes on (it
// says why that is enough).
//
// An executable that links the object library framework_imports imports no
// user32; every other executable keeps the ordinary import.
#pragma once

#include <windows.h>

// The symbol of a function's import slot, the pointer the compiler calls
// through: i686 decorates stdcall names with the argument bytes the callee
// pops (__imp__Name@N); x86_64 has one calling convention and no decoration
// (__imp_Name). This is the one place in the sources where the two differ;
// the build spells the same decoration once more, for the exports of the
// test bed's stand-in power library (sentavio_stdcall_symbol in the
// top-level CMakeLists.txt).
#if defined(__i386__)
#define AFX_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#define AFX_IMPORT_DECORATED 1
#else
#define AFX_IMPORT_SLOT(name, bytes) "__imp_" #name
#define AFX_IMPORT_DECORATED 0
#endif

struct AFX_LATE_IMPORT {
    LPCSTR pszName;
    // Binds the slot if it is not bound yet and answers what it now calls:
    // the library's function, or nullptr when it cannot be had.
    FARPROC (*pfnBind)();
};

// Every late-bound function of user32, and how many there are.
extern const AFX_LATE_IMPORT afxUser32Imports[];
extern const int afxUser32ImportCount;
