#include "testing/test_util.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace testing_util {

TempDir::TempDir() {
    std::string pattern = "/tmp/kinolite-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
    std::system(("rm -rf " + shellQuote(path_)).c_str());
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

CommandResult runCommand(const std::string& command, bool mergeStderr) {
    CommandResult r;
    std::string full = command + (mergeStderr ? " 2>&1" : "");
    FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.output.append(buffer, n);
    int status = pclose(p);
    r.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string cliPath() {
    return KINOLITE_CLI;
}

std::string fixturePath(const std::string& name) {
    return std::string(KINOLITE_FIXTURES_DIR) + "/" + name;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

int64_t fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int ffmpeg(const std::string& args) {
    return runCommand("ffmpeg -nostdin -hide_banner -loglevel error -y " + args, true).exitCode;
}

unsigned testSeed(unsigned fixed) {
    const char* text = std::getenv("KINOLITE_TEST_SEED");
    if (!text || !*text) return fixed;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (*end) throw std::runtime_error("KINOLITE_TEST_SEED is not a number: " + std::string(text));
    return static_cast<unsigned>(value);
}

std::string seedTrace(unsigned seed) {
    return "seed " + std::to_string(seed) + " (KINOLITE_TEST_SEED=" + std::to_string(seed) +
           " repeats it)";
}

double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double sse = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = double(a[i]) - double(b[i]);
        sse += d * d;
    }
    if (sse == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / sse);
}

}  // namespace testing_util
