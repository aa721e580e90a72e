#include "x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// The screen: large enough for every dialog; 24-bit colour, so grabbed pixels equal the
// images drawn.
constexpr char kScreen[] = "1280x1024x24";
// How long Xvfb may take to report its display.
constexpr int kStartTimeoutMs = 20000;

}  // namespace

bool XServer::start(std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "pipe failed";
        return false;
    }
    pid_ = fork();
    if (pid_ < 0) {
        *error = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", kScreen, "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, kStartTimeoutMs) > 0) {
        char buf[16];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        *error = "Xvfb did not start (is the xvfb package installed? make deps installs it)";
        return false;
    }
    number.resize(number.find('\n'));
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}

XServer::~XServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

// Under LeakSanitizer: libdbus (which Qt's desktop integration opens) keeps a buffer until
// the process ends. Only that third-party library's allocations are exempt.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
