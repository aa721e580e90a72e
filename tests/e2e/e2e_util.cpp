#include "e2e_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "core/job_files.h"
#include "platform/platform.h"

namespace e2e {

using testing_util::fileExists;
using testing_util::shellQuote;

std::string uniqueName(const std::string& tag) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("e2e_") + info->test_suite_name() + "_" + info->name() + tag;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

std::string baseNameOf(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string copySource(const testing_util::TempDir& dir, const std::string& fixture,
                       const std::string& tag) {
    std::string ext = fixture.substr(fixture.rfind('.'));
    return writeSource(dir, testing_util::readFile(testing_util::fixturePath(fixture)), ext, tag);
}

std::string writeSource(const testing_util::TempDir& dir, const std::vector<uint8_t>& bytes,
                        const std::string& extension, const std::string& tag) {
    std::string path = dir.file(uniqueName(tag) + extension);
    testing_util::writeFile(path, bytes);
    return path;
}

testing_util::CommandResult cli(const std::string& args, bool mergeStderr) {
    return testing_util::runCommand(
        shellQuote(testing_util::cliPath()) + " " + args + " </dev/null", mergeStderr);
}

std::vector<std::string> leftovers(const std::string& source) {
    const std::string base = baseNameOf(source);
    const std::string temp = platform::privateTempDir() + base;
    const std::pair<std::string, const char*> names[] = {
        {platform::directoryPart(testing_util::cliPath()) + base + kVideoEsStem, kVideoEsExtension},
        {temp + kVideoEsStem, kVideoEsExtension},
        {base + kDecodedPicturesStem, kDecodedPicturesExtension},
        {temp + kDecodedPicturesStem, kDecodedPicturesExtension},
        {platform::directoryPart(source) + base, kPcmExtension},
        {temp, kPcmExtension},
    };
    std::vector<std::string> found;
    for (const auto& name : names)
        for (const std::string& f : testing_util::jobFilesNamed(name.first, name.second))
            found.push_back(f);
    return found;
}

int probeFrames(const std::string& path) {
    auto r = testing_util::runCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames -of csv=p=0 " +
        shellQuote(path));
    if (r.exitCode != 0 || r.output.empty()) return -1;
    return std::atoi(r.output.c_str());
}

double probeDuration(const std::string& path, const std::string& kind) {
    std::string args = kind.empty()
                           ? "-show_entries format=duration"
                           : "-select_streams " + kind + ":0 -show_entries stream=duration";
    auto r =
        testing_util::runCommand("ffprobe -v error " + args + " -of csv=p=0 " + shellQuote(path));
    if (r.exitCode != 0 || r.output.empty() || r.output[0] == 'N') return -1;
    return std::atof(r.output.c_str());
}

}  // namespace e2e
