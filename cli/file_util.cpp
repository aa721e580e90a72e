#include "file_util.h"

#include <cstdio>

bool readWholeFile(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0) ok = false;
    return ok;
}
