#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/context.h"
#include "core/job_files.h"
#include "platform/platform.h"

namespace fuzz {

namespace {

std::string g_workDir;
std::string g_baseName;

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void removeWorkDir() {
    if (!g_workDir.empty()) nftw(g_workDir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::set<int> openDescriptors() {
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return fds;
    const int own = dirfd(dir);
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const int fd = std::atoi(e->d_name);
        if (fd != own) fds.insert(fd);
    }
    closedir(dir);
    return fds;
}

std::string descriptorTarget(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    ssize_t n = readlink(link, target, sizeof target - 1);
    return n < 0 ? std::string("?") : std::string(target, static_cast<size_t>(n));
}

// Every regular file below `dir`, and those in `shared` whose names hold `tag`.
std::set<std::string> jobFiles(const std::string& dir, const std::string& shared,
                               const std::string& tag) {
    std::set<std::string> files;
    std::vector<std::string> pending = {dir};
    while (!pending.empty()) {
        std::string d = pending.back();
        pending.pop_back();
        DIR* h = opendir(d.c_str());
        if (!h) continue;
        while (const dirent* e = readdir(h)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = d + name;
            struct stat st;
            if (lstat(path.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode))
                pending.push_back(path + "/");
            else
                files.insert(path);
        }
        closedir(h);
    }
    if (DIR* h = opendir(shared.c_str())) {
        while (const dirent* e = readdir(h)) {
            const std::string name = e->d_name;
            if (name.find(tag) != std::string::npos) files.insert(shared + name);
        }
        closedir(h);
    }
    return files;
}

}  // namespace

void setUpProcess(bool quietTrace) {
    if (!g_workDir.empty()) return;
    const char* base = std::getenv("KINOLITE_FUZZ_WORKDIR");
    if (!base || !*base) base = std::getenv("TMPDIR");
    if (!base || !*base) base = "/tmp";
    std::string pattern = std::string(base) + "/kinolite-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) fail("cannot create a working directory under %s", base);
    g_workDir = std::string(buffer.data()) + "/";
    if (chdir(g_workDir.c_str()) != 0) fail("cannot enter %s", g_workDir.c_str());
    setenv("TMPDIR", g_workDir.c_str(), 1);
    g_baseName = "fuzz" + std::to_string(getpid()) + "-";
    std::atexit(removeWorkDir);
    // The private temporary directory is the library's, made once per process.
    platform::privateTempDir();
    if (quietTrace && !std::getenv("KINOLITE_FUZZ_VERBOSE")) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
}

const std::string& workDir() {
    return g_workDir;
}

const std::string& jobBaseName() {
    return g_baseName;
}

std::string writeInput(const uint8_t* data, size_t size, const std::string& extension) {
    const std::string path = g_workDir + g_baseName + extension;
    writeFile(path, data, size);
    return path;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail("cannot create %s", path.c_str());
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) fail("cannot write %s", path.c_str());
}

void fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fprintf(stderr, "\n==kinolite-fuzz== ");
    std::vfprintf(stderr, format, args);
    std::fprintf(stderr, "\n");
    va_end(args);
    std::abort();
}

LeakWatch::LeakWatch()
    : fds_(openDescriptors()), files_(jobFiles(g_workDir, platform::programDir(), g_baseName)) {}

void LeakWatch::check(const std::vector<std::string>& keep) const {
    for (int fd : openDescriptors())
        if (!fds_.count(fd))
            fail("file descriptor %d left open: %s", fd, descriptorTarget(fd).c_str());
    for (const std::string& path : jobFiles(g_workDir, platform::programDir(), g_baseName)) {
        if (files_.count(path)) continue;
        bool kept = false;
        for (const std::string& k : keep) kept = kept || k == path;
        if (!kept) fail("file left behind: %s", path.c_str());
    }
}

void resetJobState() {
    ConversionContext& c = g_context;
    if (c.output) std::fclose(c.output);
    if (c.pcmFile) std::fclose(c.pcmFile);
    c.output = nullptr;
    c.pcmFile = nullptr;
    c.success = 1;
    c.isAac = 0;
    std::vector<uint8_t>().swap(c.amrBuffer);
    std::vector<int16_t>().swap(c.pcmSamples);
    c.amrBytes = 0;
    c.amrFrames = 0;
    c.pcmSampleCount = 0;
    c.videoFrames = 0;
    c.audioFrames = 0;
    c.wavBytes = 0;
    c.videoBytes = 0;
    c.sourceWidth = 0;
    c.sourceHeight = 0;
}

void discardPreparedJob() {
    ConversionContext& c = g_context;
    if (c.output) std::fclose(c.output);
    if (c.pcmFile) std::fclose(c.pcmFile);
    c.output = nullptr;
    c.pcmFile = nullptr;
    platform::removeFile(c.outputPath);
    platform::removeFile(videoEsFilePath());
    if (c.isAac) platform::removeFile(c.pcmPath);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0) {
        bytes.resize(static_cast<size_t>(st.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    }
    std::fclose(f);
    return bytes;
}

int64_t fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace fuzz
