/* The common archiver interface: the one calling convention shared by every
   archiver library (UNLHA32.DLL, ZIP32J.DLL, UNZIP32.DLL, ...) and the archive
   layer that loads them by file name. Both sides include this header and
   nothing else of each other.

   Texts are zero-terminated UTF-8 byte strings. Records are packed exactly as
   the interface has always laid them out, so sizes and offsets are fixed. */
#ifndef KT_PLATFORM_ARCHIVER_API_H
#define KT_PLATFORM_ARCHIVER_API_H

#include <stddef.h>
#include <time.h>

#include "windows_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FNAME_MAX32 512

#pragma pack(push, 1)

/* One archive member, filled by FindFirst/FindNext. */
typedef struct {
    DWORD dwOriginalSize;
    DWORD dwCompressedSize;
    DWORD dwCRC;
    UINT uFlag;
    UINT uOSType;
    WORD wRatio; /* per mille */
    WORD wDate;  /* MS-DOS date */
    WORD wTime;  /* MS-DOS time */
    char szFileName[FNAME_MAX32 + 1];
    char dummy1[3];
    char szAttribute[8];
    char szMode[8];
} INDIVIDUALINFO;

typedef struct {
    DWORD dwFileSize;
    DWORD dwWriteSize;
    char szSourceFileName[FNAME_MAX32 + 1];
    char dummy1[3];
    char szDestFileName[FNAME_MAX32 + 1];
    char dummy[3];
} EXTRACTINGINFO;

/* The progress record a library hands to its owner window. */
typedef struct {
    EXTRACTINGINFO exinfo;
    DWORD dwCompressedSize;
    DWORD dwCRC;
    UINT uOSType;
    WORD wRatio;
    WORD wDate;
    WORD wTime;
    char szAttribute[8];
    char szMode[8];
} EXTRACTINGINFOEX;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(INDIVIDUALINFO) == 558, "INDIVIDUALINFO layout");
static_assert(sizeof(EXTRACTINGINFO) == 1040, "EXTRACTINGINFO layout");
static_assert(sizeof(EXTRACTINGINFOEX) == 1074, "EXTRACTINGINFOEX layout");
static_assert(offsetof(EXTRACTINGINFOEX, exinfo.szSourceFileName) == 8, "szSourceFileName offset");
#endif

/* Name of the registered window message that carries progress. The first
   message parameter is one of the ARCEXTRACT_ states, the second the address
   of an EXTRACTINGINFOEX record. A non-zero reply asks the library to stop;
   the command then ends with ERROR_USER_CANCEL. */
#define WM_ARCEXTRACT_NAME "wm_arcextract"

#define ARCEXTRACT_BEGIN 0
#define ARCEXTRACT_INPROCESS 1
#define ARCEXTRACT_END 2
#define ARCEXTRACT_OPEN 3
#define ARCEXTRACT_COPY 4

/* CheckArchive modes. */
#define CHECKARCHIVE_RAPID 0
#define CHECKARCHIVE_BASIC 1
#define CHECKARCHIVE_FULLCRC 2
#define CHECKARCHIVE_RECOVERY 4
#define CHECKARCHIVE_SFX 8
#define CHECKARCHIVE_ALL 16
#define CHECKARCHIVE_ENDDATA 32

/* OpenArchive mode bits (only those the layer passes are named here). */
#define M_REGARDLESS_INIT_FILE 0x00000002
#define M_ERROR_MESSAGE_OFF 0x00800000

/* Error codes. 0x8005-0x8011 are warnings, from 0x8012 on errors. */
#define ERROR_START 0x8000
#define ERROR_DISK_SPACE 0x8005
#define ERROR_READ_ONLY 0x8006
#define ERROR_USER_SKIP 0x8007
#define ERROR_UNKNOWN_TYPE 0x8008
#define ERROR_METHOD 0x8009
#define ERROR_PASSWORD_FILE 0x800A
#define ERROR_VERSION 0x800B
#define ERROR_FILE_CRC 0x800C
#define ERROR_FILE_OPEN 0x800D
#define ERROR_MORE_FRESH 0x800E
#define ERROR_NOT_EXIST 0x800F
#define ERROR_ALREADY_EXIST 0x8010
#define ERROR_TOO_MANY_FILES 0x8011
#define ERROR_MAKEDIRECTORY 0x8012
#define ERROR_CANNOT_WRITE 0x8013
#define ERROR_HUFFMAN_CODE 0x8014
#define ERROR_COMMENT_HEADER 0x8015
#define ERROR_HEADER_CRC 0x8016
#define ERROR_HEADER_BROKEN 0x8017
#define ERROR_ARC_FILE_OPEN 0x8018
#define ERROR_NOT_ARC_FILE 0x8019
#define ERROR_CANNOT_READ 0x801A
#define ERROR_FILE_STYLE 0x801B
#define ERROR_COMMAND_NAME 0x801C
#define ERROR_MORE_HEAP_MEMORY 0x801D
#define ERROR_ENOUGH_MEMORY 0x801E
#define ERROR_ALREADY_RUNNING 0x801F
#define ERROR_USER_CANCEL 0x8020
#define ERROR_HARC_ISNOT_OPENED 0x8021
#define ERROR_NOT_SEARCH_MODE 0x8022
#define ERROR_NOT_SUPPORT 0x8023
#define ERROR_TIME_STAMP 0x8024
#define ERROR_TMP_OPEN 0x8025
#define ERROR_LONG_FILE_NAME 0x8026
#define ERROR_ARC_READ_ONLY 0x8027
#define ERROR_SAME_NAME_FILE 0x8028
#define ERROR_NOT_FIND_ARC_FILE 0x8029
#define ERROR_RESPONSE_READ 0x802A
#define ERROR_NOT_FILENAME 0x802B
#define ERROR_TMP_COPY 0x802C
#define ERROR_EOF 0x802D
#define ERROR_ADD_TO_LARC 0x802E
#define ERROR_TMP_BACK_SPACE 0x802F
#define ERROR_SHARING 0x8030
#define ERROR_NOT_FIND_FILE 0x8031
#define ERROR_LOG_FILE 0x8032
#define ERROR_NO_DEVICE 0x8033
#define ERROR_GET_ATTRIBUTES 0x8034
#define ERROR_SET_ATTRIBUTES 0x8035
#define ERROR_GET_INFORMATION 0x8036
#define ERROR_GET_POINT 0x8037
#define ERROR_SET_POINT 0x8038
#define ERROR_CONVERT_TIME 0x8039
#define ERROR_GET_TIME 0x803A
#define ERROR_SET_TIME 0x803B
#define ERROR_CLOSE_FILE 0x803C
#define ERROR_HEAP_MEMORY 0x803D
#define ERROR_HANDLE 0x803E
#define ERROR_TIME_STAMP_RANGE 0x803F
#define ERROR_MAKE_ARCHIVE 0x8040
#define ERROR_NOT_CONFIRM_NAME 0x8041
#define ERROR_UNEXPECTED_EOF 0x8042
#define ERROR_INVALID_END_MARK 0x8043
#define ERROR_INVOLVED_LZH 0x8044
#define ERROR_NO_END_MARK 0x8045
#define ERROR_HDR_INVALID_SIZE 0x8046
#define ERROR_UNKNOWN_LEVEL 0x8047
#define ERROR_BROKEN_DATA 0x8048
#define ERROR_INVALID_PATH 0x8049
#define ERROR_TOO_BIG 0x804A
#define ERROR_UNKNOWN 0x8FFF

/* Progress callback of SetOwnerWindowEx. The layer always passes none and
   listens for the registered message instead. */
typedef BOOL (*ARCHIVERPROC)(HWND hwnd, UINT msg, UINT state, EXTRACTINGINFOEX* info);
typedef ARCHIVERPROC* LPARCHIVERPROC;

/* Entry-point shapes. A library named with prefix P exports P (the command
   function), POpenArchive, PCloseArchive, PFindFirst, PFindNext,
   PCheckArchive, PSetOwnerWindowEx, PKillOwnerWindowEx, PExtractMem and the
   informational PGetVersion, PGetRunning, PGetFileCount. */
typedef int (*ARC_COMMAND_PROC)(HWND wnd, LPCSTR cmdLine, LPSTR output, DWORD outputSize);
typedef HARC (*ARC_OPEN_ARCHIVE_PROC)(HWND wnd, LPCSTR arcFile, DWORD mode);
typedef int (*ARC_CLOSE_ARCHIVE_PROC)(HARC arc);
typedef int (*ARC_FIND_FIRST_PROC)(HARC arc, LPCSTR wildName, INDIVIDUALINFO* info);
typedef int (*ARC_FIND_NEXT_PROC)(HARC arc, INDIVIDUALINFO* info);
/* GetOriginalSizeEx / GetCompressedSizeEx: the full size of the member the
   last FindFirst / FindNext gave, for sizes INDIVIDUALINFO cannot hold. */
typedef BOOL (*ARC_GET_SIZE_EX_PROC)(HARC arc, int64_t* size);
typedef BOOL (*ARC_CHECK_ARCHIVE_PROC)(LPCSTR arcFile, int mode);
typedef int (*ARC_EXTRACT_MEM_PROC)(HWND wnd, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize,
                                    time_t* time, LPWORD attr, LPDWORD written);
typedef BOOL (*ARC_SET_OWNER_WINDOW_EX_PROC)(HWND wnd, LPARCHIVERPROC proc);
typedef BOOL (*ARC_KILL_OWNER_WINDOW_EX_PROC)(HWND wnd);
typedef WORD (*ARC_GET_VERSION_PROC)(void);
typedef BOOL (*ARC_GET_RUNNING_PROC)(void);
typedef int (*ARC_GET_FILE_COUNT_PROC)(LPCSTR arcFile);
/* tar32.dll only: 1 tar, 2-5 gzip kinds, 6-7 bzip2 kinds, other: no tar. */
typedef int (*TAR_GET_ARCHIVE_TYPE_PROC)(LPCSTR arcFile);

#ifdef __cplusplus
}
#endif

#endif
