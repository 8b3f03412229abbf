// Resource identifiers of Sentavio.exe.
#pragma once

// String table
#define IDS_TITLE                   1
#define IDS_NOT_OPTIMAL             2
#define IDS_ASK_OPTIMUM             3
#define IDS_DONT_SHOW_AGAIN         4
#define IDS_ASK_RESTART             5
#define IDS_DRIVER_NOT_FOR_DEVICE   6
#define IDS_REGISTRY_ERROR          7
#define IDS_YES                     8
#define IDS_NO                      9
#define IDS_CANCEL                  10

// Dialog, images
#define IDD_POWERPROMPT             102
#define IDR_MAINFRAME               128
#define IDB_QUESTION                130

// Controls of IDD_POWERPROMPT
#define IDC_DONT_SHOW_AGAIN         1009
#define IDC_MESSAGE                 1012
#define IDC_QUESTION                1013

#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif
