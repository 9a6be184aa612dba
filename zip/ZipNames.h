// Item names and destination paths: conversion of UTF-8-flagged names to the system code page, the checks
// that keep destinations below the target folder, and folder creation. Every walk over a name steps over
// double-byte characters whole, so a trail byte that equals '\' is never taken for a separator.
#pragma once

#include <cstddef>

namespace ZipInternal {

// Byte length of the character that starts at p (1, or 2 for a lead byte followed by a trail byte).
std::size_t CharLength(const char* p, const char* pEnd);

bool IsSeparator(char c);

// True when the name's last character is '/' or '\'.
bool EndsWithSeparator(const char* pstrName, std::size_t nLength);

// Offset of the last '/' or '\' in the name, or -1.
std::ptrdiff_t LastSeparator(const char* pstrName, std::size_t nLength);

// Converts a UTF-8 name to the system code page, terminated. False when the bytes are not valid UTF-8 or
// the result (with its terminator) does not fit nCapacity. Characters the code page lacks become '?'.
bool Utf8ToSystemName(const char* pUtf8, std::size_t nLength, char* pOut, std::size_t nCapacity,
                      std::size_t* pnOutLength);

// A destination that stays below the folder it is resolved against: not starting with '/' or '\', no ':'
// (drives, streams), and no segment that the platform treats as the parent folder ("..", also with
// trailing dots or spaces, which the platform strips).
bool IsContainedName(const char* pstrName);

// Makes every folder of pstrFolders (nLength bytes, separators of either kind) below pstrBase, parent first.
// False when a composed path does not fit MAX_PATH; a folder that cannot be made is left to the file
// creation that follows to report.
bool MakeFolders(const char* pstrBase, const char* pstrFolders, std::size_t nLength);

// Compares a stored name with a wanted one, separators of either kind being equal; ignoring case maps only
// the letters a to z, and double-byte characters always compare exactly.
bool NamesEqual(const char* pStored, std::size_t nStored, const char* pWanted, std::size_t nWanted, bool bIgnoreCase);

} // namespace ZipInternal
