#include "file_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool makeDirectories(const std::string& path, std::string* problem) {
    struct stat st;
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) continue;
        *problem = std::strerror(errno);
        return false;
    }
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *problem = "not a directory";
        return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
