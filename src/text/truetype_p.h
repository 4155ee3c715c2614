// Font look-up for TrueType text: the process-wide search path, the search
// itself and the system's font directories.
#ifndef MORPHEL_TEXT_TRUETYPE_P_H
#define MORPHEL_TEXT_TRUETYPE_P_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morphel {

// Longest font list and longest directory list, in converted bytes.
inline constexpr size_t kFontListCapacity = 199;
inline constexpr size_t kFontPathCapacity = 255;

// The directories, separated by semicolons, that every object of the process
// searches for font names. Any thread may set or read it at any time.
void SetFontSearchPath(std::string_view directories);
std::string FontSearchPath();

// The font file a font list names, or "" when there is none. The list is split
// at spaces; for each name in turn the name itself is tried when it is
// absolute, then directory/name.ttf, .pfa and .pfb for each directory of
// searchPath in order. The first readable regular file ends the search.
std::string FindFontFile(std::string_view fontList, std::string_view searchPath);

// True for "/..." and for a drive letter followed by ":/" or ":\".
bool IsAbsoluteFontName(std::string_view name);

// What SetFontPathTTFAuto stores: the Windows font folder on Windows, the
// system font directories elsewhere; never longer than kFontPathCapacity.
std::string SystemFontDirectories();

#if !defined(_WIN32)
// The directories below roots (each root included) that hold a .ttf, .pfa or
// .pfb file, depth first in name order, joined with semicolons for as long as
// whole entries fit in capacity bytes.
std::string FontDirectoriesUnder(const std::vector<std::string> &roots, size_t capacity);
#endif

}  // namespace morphel

#endif  // MORPHEL_TEXT_TRUETYPE_P_H
