#pragma once
// The program's version information, the way the About box reads it from a file.
//
// The desktop program carries a version block in its executable (res/VersionBlock.cpp.in):
// a text framed by a begin and an end line, one "query=value" line per entry, the query
// being "\VarFileInfo\Translation" (value: language and code page as eight hexadecimal
// digits) or "\StringFileInfo\<language><code page>\<key>". Any file can be searched for
// such a block; one without it has no version information.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace verres {

// The lines that frame the block.
inline constexpr char kBlockBegin[] = "<<KinoliteVersionInfo>>\n";
inline constexpr char kBlockEnd[] = "<</KinoliteVersionInfo>>\n";

// Longest block the reader accepts (the framing lines included).
inline constexpr size_t kMaxBlockSize = 8192;

// Size in bytes of the version block of `path`, 0 when the file has none or cannot be read.
size_t fileVersionInfoSize(const std::string& path);

// Reads the version block of `path` (the framing lines included) with every end-of-line
// turned into a NUL byte, so that each value in it is a C string. False when there is none.
bool fileVersionInfo(const std::string& path, std::vector<char>* block);

// The value of one query in a block read by fileVersionInfo, pointing into the block, or
// null when the block does not hold the query. `length` (may be null) receives its length.
const char* queryValue(const std::vector<char>& block, const std::string& query, size_t* length);

// A language and code page pair of "\VarFileInfo\Translation".
struct LangAndCodePage {
    uint16_t wLanguage;
    uint16_t wCodePage;
};
// The pairs a Translation value holds ("080404b0" gives one: 0x0804, 0x04b0).
std::vector<LangAndCodePage> translationsOf(const std::string& value);

}  // namespace verres
