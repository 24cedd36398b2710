// Host paths on Windows: the core keeps them in UTF-8, the Win32 seams hand them to the wide
// (UTF-16) calls, so that no name outside the ANSI code page is lost. Included by *_win32.cpp only.
#ifndef TOLVEN_PLATFORM_HOST_WIDE_WIN32_H
#define TOLVEN_PLATFORM_HOST_WIDE_WIN32_H

#include <windows.h>

#include <string>

// The longest path the wide calls take, in UTF-16 units, the \\?\ prefix included.
const size_t kHostLongestWidePath = 32767;

// `path` (UTF-8) as the wide file calls take it: as it is while its full form stays shorter than
// 248 characters (CreateDirectory's limit, the lowest of the calls), else its full form with the
// \\?\ prefix (\\?\UNC\ for \\server\share), which lifts the MAX_PATH limit. False, with the
// last error set, for text that is not UTF-8 (ERROR_INVALID_NAME) or a path longer than
// kHostLongestWidePath (ERROR_FILENAME_EXCED_RANGE).
bool hostWidePath(const char* path, std::wstring* out);

// Wide text the system gave (a path, a name) in UTF-8; `length` units, or up to the first 0.
std::string hostUtf8(const wchar_t* text, int length = -1);

// CreateFileW and GetFileAttributesW on a UTF-8 path; a path hostWidePath refuses fails as they
// would, with its last error.
HANDLE hostCreateFile(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
DWORD hostFileAttributes(const char* path);

#endif
