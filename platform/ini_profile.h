// INI files with the semantics of the Windows profile API.
//
// Sections and keys are found without regard to (ASCII) case; the first
// matching section and the first matching key in it count. Lines that are
// neither sections nor keys (comments, blank lines, anything else) are kept
// in their order when the file is rewritten. Values are read with the blanks
// around them removed and one pair of enclosing quotes (" or ') taken off.
#pragma once

#include "windows_types.h"

// Copies the value of `key` in `section` of `fileName` into `buffer` (at most
// size - 1 bytes, never ending inside a UTF-8 character, always terminated)
// and returns the number of bytes copied. A missing file, section or key gives
// `def` (empty when null) without its trailing blanks; a key present with an
// empty value gives the empty text.
// With `section` null the buffer receives every section name, with `key` null
// every key of the section, each name terminated by a zero byte and the list
// by a second one; when the list does not fit, it is cut and size - 2 is
// returned.
DWORD GetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                              LPCSTR fileName);

// Sets `key` in `section` of `fileName` to `value`, creating the file (mode
// 0600: it may hold a password), the section and the key as needed. A null
// `value` removes the key, a null `key` the whole section. The file is
// replaced atomically, so a crash never leaves it half-written; a write that
// changes nothing leaves the file alone.
// A value that the reader would change (blanks at either end, or enclosed in
// quotes) is written inside double quotes, so it reads back exactly.
// Returns FALSE with errno set when the file cannot be read or replaced, and
// with errno EINVAL for a name or value that cannot be stored on one line
// (a line break anywhere, "=" in a key, "]" in a section name).
BOOL WritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
