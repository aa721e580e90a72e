#pragma once
// A private X server (Xvfb) for the desktop program's tests and screenshots, so that real
// windows are mapped, painted and grabbed on machines without a display.

#include <sys/types.h>

#include <string>

class XServer {
  public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb on a free display and points DISPLAY at it (and Qt at its xcb platform).
    // False, with a reason, when it cannot be started.
    bool start(std::string* error);
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};
