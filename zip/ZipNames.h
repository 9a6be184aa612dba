// Item names and destination paths: decoding a stored name into its GBK bytes and its exact UTF-16 form, the
// checks that keep destinations below the target folder, and folder creation. Paths are checked and made as
// UTF-16, so names that GBK lacks are created exactly; GBK byte names are only compared (finding by name),
// stepping over double-byte characters whole so that a trail byte equal to '\' is never taken for a separator.
#pragma once

#include <cstddef>
#include <string>

namespace ZipInternal {

// Byte length of the GBK character that starts at p (1, or 2 for a lead byte followed by a trail byte).
std::size_t CharLength(const char* p, const char* pEnd);

// An item's name in both forms the reader hands out.
struct SItemName
{
    std::string strGbk;   // GBK bytes: what ZipItemInfo.szName holds
    std::wstring strWide; // the exact name
};

// Decodes a stored name (nLength raw bytes, no NUL among them). Flagged UTF-8 (or given as UTF-8 by a
// matching Unicode path block, pUnicodePath): decoded exactly, the GBK form has '?' for what GBK lacks.
// Otherwise the bytes are GBK: the GBK form is the bytes themselves. False for UTF-8 that is not valid.
bool DecodeItemName(const char* pRaw, std::size_t nLength, bool bUtf8, const std::string* pUnicodePath,
                    SItemName& name);

bool IsSeparator(wchar_t c);

// True when the name's last character is '/' or '\'.
bool EndsWithSeparator(const std::wstring& strName);

// A destination that stays below the folder it is resolved against: not starting with '/' or '\', no ':'
// (drives, streams), and no segment that the platform treats as the parent folder ("..", also with
// trailing dots or spaces, which the platform strips).
bool IsContainedName(const std::wstring& strName);

// strBase (ending in a backslash) + strRelative with '/' turned into '\'. False (and nothing made) when the
// base is empty or the whole path with its terminator would not fit MAX_PATH.
bool ComposePath(const std::wstring& strBase, const std::wstring& strRelative, std::wstring& strPath);

// Makes every folder of strPath after its first nBase characters, parent first, up to its last separator
// (the whole path when it ends with one). A folder that cannot be made is left to what follows to report.
void MakeFolders(const std::wstring& strPath, std::size_t nBase);

// Compares a stored name with a wanted one, separators of either kind being equal; ignoring case maps only
// the letters a to z, and double-byte characters always compare exactly.
bool NamesEqual(const char* pStored, std::size_t nStored, const char* pWanted, std::size_t nWanted, bool bIgnoreCase);

} // namespace ZipInternal
