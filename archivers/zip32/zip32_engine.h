/* The entry points of ZIP32.DLL, the ZIP engine. The command front end
   ZIP32J.DLL parses a command line and collects the files; it then loads
   this library by name and hands it one job: which archive, which members,
   which switches. The engine builds the new archive beside the old one and
   renames it into place only when complete.

   Texts are zero-terminated UTF-8; the password is the key's bytes (CP932). */
#ifndef KT_ARCHIVERS_ZIP32_ENGINE_H
#define KT_ARCHIVERS_ZIP32_ENGINE_H

#include <sys/stat.h>

#include "platform/archiver_api.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    ZIP32_ADD = 0,     /* add new members, replace existing ones */
    ZIP32_UPDATE = 1,  /* add new members, replace older ones */
    ZIP32_FRESHEN = 2, /* replace older ones, add nothing new */
    ZIP32_DELETE = 3,  /* remove the members matching the patterns */
    ZIP32_ADJUST = 4   /* rewrite offsets after a prepended stub */
};

/* Switch bits of a job. */
#define ZIP32_NO_DIR_ENTRIES 0x0001u /* -D */
#define ZIP32_ARCHIVE_TIME 0x0002u   /* -o: archive gets the newest member's time */
#define ZIP32_DOS_ATTRIBUTES 0x0004u /* -k: DOS attributes only, made on MS-DOS */
#define ZIP32_STRIP_PREFIX 0x0008u   /* -J: drop data in front of the archive */
#define ZIP32_RECOVER 0x0010u        /* -FF: read the old archive by its local headers */
#define ZIP32_VERBOSE 0x0020u        /* -v */
#define ZIP32_QUIET 0x0040u          /* -q */
/* -Y128, -Y192, -Y256: with a password, WinZip AE-2 AES instead of ZipCrypto;
   a two-bit field (the value is the AES strength 1-3). */
#define ZIP32_AES_MASK 0x0180u
#define ZIP32_AES_SHIFT 7
#define ZIP32_AES128 0x0080u
#define ZIP32_AES192 0x0100u
#define ZIP32_AES256 0x0180u

/* One file to add: its path on disk and the name it gets in the archive
   (a folder's name ends with "/"), and what the caller's stat (links
   followed) of the path gave while it collected the files, so the engine
   does not look again; null: the engine looks itself. */
typedef struct {
    const char* path;
    const char* name;
    const struct stat* found;
} ZIP32_MEMBER;

/* Progress: state is an ARCEXTRACT_ value; a non-zero result stops the job
   (it then ends with ERROR_USER_CANCEL and changes nothing). */
typedef int (*ZIP32_PROGRESS)(void* user, UINT state, EXTRACTINGINFOEX* info);
/* One line of report text. */
typedef void (*ZIP32_REPORT)(void* user, const char* line);

typedef struct {
    DWORD structSize; /* sizeof(ZIP32_JOB) */
    int command;
    const char* archive;
    const ZIP32_MEMBER* members; /* ADD, UPDATE, FRESHEN */
    DWORD memberCount;
    const char* const* patterns; /* DELETE: wildcards matched against stored names */
    DWORD patternCount;
    int level;            /* 0 store .. 9; 6 by default */
    const char* password; /* null or empty: no encryption */
    DWORD flags;
    ZIP32_PROGRESS progress; /* may be null */
    ZIP32_REPORT report;     /* may be null */
    void* user;
} ZIP32_JOB;

/* Runs a job; 0 on success, else an ERROR_ code. */
typedef int (*ZIP32_EXECUTE_PROC)(const ZIP32_JOB* job);
int Zip32Execute(const ZIP32_JOB* job);
WORD Zip32GetVersion(void);

#ifdef __cplusplus
}
#endif

#endif
