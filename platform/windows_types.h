// Fixed-size stand-ins for the Windows types that the archiver interface and
// the archive layer are written in. Shared by the program, the command-line
// tool and every archiver library, so both sides of the library seam agree on
// sizes and layouts.
#ifndef KT_PLATFORM_WINDOWS_TYPES_H
#define KT_PLATFORM_WINDOWS_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

typedef char* LPSTR;
typedef const char* LPCSTR;
typedef BYTE* LPBYTE;
typedef WORD* LPWORD;
typedef DWORD* LPDWORD;
typedef void* LPVOID;

/* Window handles are numbers handed out by the message hub; they are carried
   in a pointer-sized opaque type so that a stray integer does not convert. */
typedef struct kt_hwnd_tag* HWND;
/* An open archive of a library; its meaning is private to that library. */
typedef struct kt_harc_tag* HARC;
/* A loaded library (the value returned by dlopen). */
typedef void* HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifdef __cplusplus
}
#endif

#endif
