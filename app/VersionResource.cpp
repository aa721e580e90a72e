#include "VersionResource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace verres {

namespace {

constexpr size_t kBeginLength = sizeof(kBlockBegin) - 1;
constexpr size_t kEndLength = sizeof(kBlockEnd) - 1;

// A file mapped into memory for reading.
class MappedFile {
  public:
    explicit MappedFile(const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* p =
                ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                data_ = static_cast<const char*>(p);
                size_ = static_cast<size_t>(st.st_size);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<char*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    const char* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const char* data_ = nullptr;
    size_t size_ = 0;
};

// Every line between the framing lines is "\query=value" without NUL bytes.
bool linesAreEntries(const char* p, const char* end) {
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!eol || *p != '\\') return false;
        if (std::memchr(p, '\0', eol - p) || !std::memchr(p, '=', eol - p)) return false;
        p = eol + 1;
    }
    return true;
}

// The block in `data`: its start and length, or false. The reader's own copies of the
// framing lines (in a program that carries both) are followed by no entries and skipped.
bool findBlock(const char* data, size_t size, size_t* start, size_t* length) {
    size_t from = 0;
    while (from < size) {
        const void* hit = ::memmem(data + from, size - from, kBlockBegin, kBeginLength);
        if (!hit) return false;
        size_t begin = static_cast<size_t>(static_cast<const char*>(hit) - data);
        size_t window = std::min(size - begin, kMaxBlockSize);
        const void* endHit =
            ::memmem(data + begin + kBeginLength, window - kBeginLength, kBlockEnd, kEndLength);
        if (endHit) {
            const char* entries = data + begin + kBeginLength;
            const char* entriesEnd = static_cast<const char*>(endHit);
            if (entriesEnd > entries && linesAreEntries(entries, entriesEnd)) {
                *start = begin;
                *length = static_cast<size_t>(entriesEnd + kEndLength - (data + begin));
                return true;
            }
        }
        from = begin + 1;
    }
    return false;
}

}  // namespace

size_t fileVersionInfoSize(const std::string& path) {
    MappedFile f(path);
    size_t start = 0, length = 0;
    if (!f.data() || !findBlock(f.data(), f.size(), &start, &length)) return 0;
    return length;
}

bool fileVersionInfo(const std::string& path, std::vector<char>* block) {
    MappedFile f(path);
    size_t start = 0, length = 0;
    if (!f.data() || !findBlock(f.data(), f.size(), &start, &length)) return false;
    block->assign(f.data() + start, f.data() + start + length);
    for (char& ch : *block)
        if (ch == '\n') ch = '\0';
    return true;
}

const char* queryValue(const std::vector<char>& block, const std::string& query, size_t* length) {
    const char* p = block.data();
    const char* end = p + block.size();
    while (p < end) {
        size_t lineLength = strnlen(p, static_cast<size_t>(end - p));
        if (lineLength > query.size() && p[query.size()] == '=' &&
            std::memcmp(p, query.data(), query.size()) == 0) {
            if (length) *length = lineLength - query.size() - 1;
            return p + query.size() + 1;
        }
        p += lineLength + 1;
    }
    return nullptr;
}

std::vector<LangAndCodePage> translationsOf(const std::string& value) {
    constexpr size_t kPairDigits = 8;
    std::vector<LangAndCodePage> pairs;
    for (size_t i = 0; i + kPairDigits <= value.size(); i += kPairDigits) {
        std::string digits = value.substr(i, kPairDigits);
        bool hex = true;
        for (char ch : digits) hex = hex && std::isxdigit(static_cast<unsigned char>(ch));
        if (!hex) break;
        unsigned long v = std::strtoul(digits.c_str(), nullptr, 16);
        pairs.push_back({static_cast<uint16_t>(v >> 16), static_cast<uint16_t>(v & 0xffff)});
    }
    return pairs;
}

}  // namespace verres
