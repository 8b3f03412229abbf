// The few Windows types the byte-level functions use, so that they build
// natively on Linux for the fuzzers (powrprof.h beside it: the record they
// map). Nothing else of the platform is here: a function that needs more
// does not belong among the byte functions.
#pragma once

#include <stdint.h>

typedef uint8_t BYTE;
typedef uint32_t DWORD;
typedef int BOOL;

#define TRUE 1
#define FALSE 0
#define LOBYTE(w) ((BYTE)((w) & 0xff))
