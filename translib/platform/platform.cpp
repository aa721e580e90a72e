#include "platform/platform.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <vector>

namespace platform {

std::string programPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string directoryPart(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

std::string privateTempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp && *tmp) ? tmp : "/tmp";
    if (base.back() != '/') base += '/';
    std::string dir = base + "kinolite-" + std::to_string(getuid()) + "/";
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return base;
    return dir;
}

std::string programDir() {
    std::string dir = directoryPart(programPath());
    if (!dir.empty() && access(dir.c_str(), W_OK) == 0) return dir;
    return privateTempDir();
}

bool removeFile(const std::string& path) {
    if (path.empty()) return true;
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

int createUniqueFile(const std::string& stem, const std::string& extension, std::string* path) {
    std::string name = stem + "-XXXXXX" + extension;
    int fd = mkostemps(&name[0], static_cast<int>(extension.size()), O_CLOEXEC);
    if (fd < 0) name.clear();
    *path = name;
    return fd;
}

const char* formatLogLine(const char* format, va_list args) {
    thread_local char line[kLogLineCapacity];
    int n = std::vsnprintf(line, sizeof line, format, args);
    if (n < 0) line[0] = '\0';
    return line;
}

void yieldThreadPriority() {
    // On Linux a thread's nice value is its own: PRIO_PROCESS with the thread's id.
    const id_t thread = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, thread, 19);
}

}  // namespace platform
