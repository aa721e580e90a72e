#include "convert_display.h"

#include <cstdio>

#include "core/job_rules.h"

namespace {

constexpr int kBarWidth = 30;

}  // namespace

void ConvertDisplay::draw(double fraction, const std::string& label) {
    if (!bar_) return;
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %s\x1b[K", bar.c_str(), label.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ConvertDisplay::result(const std::string& line) {
    clearBar();
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void ConvertDisplay::ask(const std::string& source) {
    clearBar();
    std::fprintf(stderr, "%s\n%s [y/n] ", source.c_str(), jobrules::kDriftQuestion);
    std::fflush(stderr);
}

void ConvertDisplay::warn(const std::string& source) {
    clearBar();
    std::fprintf(stderr, "kinolite-cli convert: warning: %s: %s (going on; -n declines)\n",
                 source.c_str(), jobrules::kDriftQuestion);
}

void ConvertDisplay::clearBar() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    shown_ = false;
}

char answerOf(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (line == "y" || line == "Y" || line == "yes") return 'y';
    if (line == "n" || line == "N" || line == "no") return 'n';
    return 0;
}
