#include "HelpFile.h"

#include "platform/platform.h"

namespace {

constexpr char kHelpExtension[] = ".html";

}  // namespace

std::string helpPathBeside(const std::string& programPath) {
    size_t slash = programPath.rfind('/');
    size_t dot = programPath.rfind('.');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart) return programPath + kHelpExtension;
    return programPath.substr(0, dot) + kHelpExtension;
}

std::string helpFileFor(const std::string& programPath, const std::string& docFromBin,
                        bool (*exists)(const std::string&)) {
    std::string beside = helpPathBeside(programPath);
    if (exists(beside)) return beside;
    std::string name = beside.substr(platform::directoryPart(beside).size());
    return platform::directoryPart(programPath) + docFromBin + name;
}
