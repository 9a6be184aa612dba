// The extra-field blocks the reader understands: zip64 sizes and offsets, the extended timestamp ("UT"),
// NTFS times and the Unicode path of a name. An extra field is a chain of blocks: a 16-bit id, a 16-bit
// size, then that many bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZipInternal {

constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr std::uint16_t kZip64Marker16 = 0xFFFF;

// The data of the first block with id nId, when the whole block lies inside the field.
bool FindExtraBlock(const unsigned char* pExtra, std::size_t nLength, std::uint16_t nId, const unsigned char** ppData,
                    std::size_t* pnSize);

// The fields that a zip64 block can stand in for. Resolve takes, for every field whose classic value is the
// marker, the next value of the zip64 block in this order: uncompressed size, compressed size, local header
// offset (8 bytes each), disk number (4 bytes). False when the block is missing or too short for them.
struct SZip64Fields
{
    std::uint64_t nUncompressed = 0;
    std::uint64_t nCompressed = 0;
    std::uint64_t nLocalOffset = 0;
    std::uint32_t nDisk = 0;
};
bool ResolveZip64(const unsigned char* pExtra, std::size_t nLength, bool bUncompressed, bool bCompressed,
                  bool bLocalOffset, bool bDisk, SZip64Fields& fields);

// Times of an item, as UTC file times.
struct SItemTimes
{
    FILETIME ftModify = {};
    FILETIME ftAccess = {};
    FILETIME ftCreation = {};
};

// Applies an extended timestamp block ("UT"): for each flag bit set (modification, access, creation) a
// signed 32-bit Unix time, taken only when its 4 bytes lie inside both the block and the field. False when
// there is no such block.
bool ApplyUnixTimes(const unsigned char* pExtra, std::size_t nLength, SItemTimes& times);

// Applies an NTFS block (id 0x000A, its attribute 1: modification, access and creation file times); a zero
// time is left as it was. False when there is no such attribute.
bool ApplyNtfsTimes(const unsigned char* pExtra, std::size_t nLength, SItemTimes& times);

// The UTF-8 name of a Unicode path block (id 0x7075, version 1), when its CRC-32 is that of the stored name
// bytes (otherwise the name was changed by a tool that did not know the block, and the block is stale).
bool UnicodePathName(const unsigned char* pExtra, std::size_t nLength, const char* pRawName, std::size_t nRawLength,
                     std::string& strUtf8);

// A DOS date and time (date in the high 16 bits) taken as the local time it is in time zone pZone (null: the
// current one), as a UTC file time; zero when it is no valid date.
FILETIME DosLocalTimeToFileTime(std::uint32_t nDosDateTime, const TIME_ZONE_INFORMATION* pZone);

} // namespace ZipInternal
