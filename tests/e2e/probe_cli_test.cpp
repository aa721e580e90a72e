// kinolite-cli probe and inspect --json: probe's verdicts agree with what convert then does.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "e2e_util.h"

namespace {

using testing_util::shellQuote;
using testing_util::TempDir;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Every committed source movie, probed and then converted in one batch: a source is
// "convertible" exactly when its job is done, and the JSON parses.
TEST(ProbeCliTest, VerdictsAgreeWithConvert) {
    TempDir out;
    std::vector<std::string> sources = {std::string(KINOLITE_SOURCE_DIR) + "/samples/sample.3gp"};
    const std::string dir = testing_util::fixturePath("demux/");
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') sources.push_back(dir + e->d_name);
    closedir(d);
    std::sort(sources.begin(), sources.end());
    std::string args;
    for (const std::string& s : sources) args += " " + shellQuote(s);

    auto json = e2e::cli("probe --json -o " + shellQuote(out.path()) + args);
    const std::vector<std::string> objects = lines(json.output);
    ASSERT_EQ(objects.size(), sources.size()) << json.output;
    auto parsed = testing_util::runCommand(
        "printf '%s' " + shellQuote(json.output) +
        " | python3 -c 'import sys, json\nfor l in sys.stdin: o = json.loads(l); "
        "print(o[\"convertible\"], o[\"destination\"])'");
    ASSERT_EQ(parsed.exitCode, 0) << parsed.output;

    auto converted = e2e::cli("convert -y -o " + shellQuote(out.path()) + args);
    for (const std::string& line : lines(parsed.output)) {
        const bool convertible = line.rfind("True ", 0) == 0;
        const std::string destination = line.substr(line.find(' ') + 1);
        EXPECT_EQ(converted.output.find("done: " + destination + "\n") != std::string::npos,
                  convertible)
            << destination << "\n"
            << converted.output;
        EXPECT_EQ(testing_util::fileExists(destination), convertible) << destination;
    }
    EXPECT_EQ(json.exitCode, converted.exitCode);

    // The text report of a source that does not convert says why, as convert does.
    auto text = e2e::cli("probe " + shellQuote(dir + "no_audio.3gp"));
    EXPECT_EQ(text.exitCode, 1);
    for (const char* field : {"  container: 3GP", "  audio codec: none", "  drift question: no",
                              "  verdict: not convertible: no audio"})
        EXPECT_NE(text.output.find(field), std::string::npos) << field << "\n" << text.output;
    EXPECT_EQ(e2e::leftovers(dir + "no_audio.3gp"), std::vector<std::string>());
}

TEST(ProbeCliTest, InspectJson) {
    TempDir out;
    const std::string source = testing_util::fixturePath("demux/mp4v_amr.3gp");
    ASSERT_EQ(e2e::cli("convert -o " + shellQuote(out.path()) + " " + shellQuote(source)).exitCode,
              0);
    const std::string output = out.path() + "mp4v_amr_new.mp4";
    auto r = e2e::cli("inspect --json " + shellQuote(output));
    EXPECT_EQ(r.exitCode, 0);
    auto parsed = testing_util::runCommand(
        "printf '%s' " + shellQuote(r.output) +
        " | python3 -c 'import sys, json; o = json.load(sys.stdin); "
        "print(o[\"ok\"], o[\"fields\"][\"tag\"], o[\"fields\"][\"frames\"])'");
    EXPECT_EQ(parsed.output, "True KNLT 30\n") << r.output;
    auto bad = e2e::cli("inspect --json " + shellQuote(source));
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("\"ok\":false"), std::string::npos) << bad.output;
}

}  // namespace
