// kinolite-cli decode: its summary lines, exit codes, usage errors, and that it leaves no
// temporary file behind and never touches a file it did not make.

#include <gtest/gtest.h>

#include <dirent.h>

#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using testing_util::cliPath;
using testing_util::runCommand;
using testing_util::shellQuote;
using testing_util::TempDir;

// Names of the files in a directory that the decode command uses for its temporaries.
std::vector<std::string> decodeTemporaries(const std::string& dir) {
    std::vector<std::string> found;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.rfind("kinolite-decode-", 0) == 0) found.push_back(name);
        }
        closedir(d);
    }
    return found;
}

std::string cliDir() {
    return cliPath().substr(0, cliPath().rfind('/') + 1);
}

TEST(CliDecodeTest, DecodesAndPrintsTheSize) {
    TempDir dir;
    const std::string out = dir.file("pictures.yuv");
    auto r = runCommand(shellQuote(cliPath()) + " decode " +
                        shellQuote(testing_util::fixturePath("vdec/h263_sqcif_gobs.h263")) + " " +
                        shellQuote(out));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("width: 128\nheight: 96\nframes: 10\n"), std::string::npos) << r.output;
    EXPECT_EQ(testing_util::fileSize(out), int64_t(10 * vdec_test::frameBytes(128, 96)));
    EXPECT_TRUE(decodeTemporaries(dir.path()).empty());
    EXPECT_TRUE(decodeTemporaries(cliDir()).empty());
}

TEST(CliDecodeTest, RelativeOutputPath) {
    TempDir dir;
    auto r =
        runCommand("cd " + shellQuote(dir.path()) + " && " + shellQuote(cliPath()) + " decode " +
                   shellQuote(testing_util::fixturePath("vdec/h263_qcif.h263")) + " out.yuv");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testing_util::fileSize(dir.file("out.yuv")),
              int64_t(6 * vdec_test::frameBytes(176, 144)));
    EXPECT_TRUE(decodeTemporaries(dir.path()).empty());
}

TEST(CliDecodeTest, FailuresExitOneAndLeaveNothing) {
    TempDir dir;
    testing_util::writeFile(dir.file("junk.m4v"), {0x12, 0x34, 0x56});
    // A picture size the decoder refuses: the stream is the user's and stays.
    vdec_test::VolFields wide;
    wide.width = 1936;  // wider than 1920
    wide.height = 1088;
    vdec_test::BitWriter w;
    vdec_test::writeSequenceHeaders(&w, wide);
    vdec_test::writeFlatIntraVop(&w, wide);
    testing_util::writeFile(dir.file("wide.m4v"), w.bytes());
    const struct {
        const char* name;
        std::string input;
        std::string output;
        const char* message;
    } cases[] = {
        {"refused stream", dir.file("junk.m4v"), dir.file("a.yuv"),
         "no video object layer or short video header found!"},
        {"missing input", dir.file("missing.m4v"), dir.file("b.yuv"), "cannot read"},
        {"refused size", dir.file("wide.m4v"), dir.file("d.yuv"), "the decoder refused"},
        {"missing output directory", testing_util::fixturePath("vdec/h263_qcif.h263"),
         dir.file("nowhere/c.yuv"), "cannot write"},
    };
    for (const auto& c : cases) {
        auto r = runCommand(
            shellQuote(cliPath()) + " decode " + shellQuote(c.input) + " " + shellQuote(c.output),
            true);
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.name << ": " << r.output;
        EXPECT_FALSE(testing_util::fileExists(c.output)) << c.name;
    }
    EXPECT_TRUE(testing_util::fileExists(dir.file("wide.m4v")));
    // An output that was there before a failed run stays as it was.
    testing_util::writeFile(dir.file("kept.yuv"), {1, 2, 3});
    auto r = runCommand(shellQuote(cliPath()) + " decode " + shellQuote(dir.file("junk.m4v")) +
                        " " + shellQuote(dir.file("kept.yuv")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(testing_util::readFile(dir.file("kept.yuv")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(decodeTemporaries(dir.path()).empty());
    EXPECT_TRUE(decodeTemporaries(cliDir()).empty());
}

TEST(CliDecodeTest, UsageAndHelp) {
    const struct {
        std::string args;
        int exitCode;
        const char* text;
    } cases[] = {
        {"decode --help", 0, "Usage: kinolite-cli decode ES_FILE OUT.yuv"},
        {"decode", 2, "Usage: kinolite-cli decode"},
        {"decode only-one", 2, "Usage: kinolite-cli decode"},
        {"decode a b c", 2, "Usage: kinolite-cli decode"},
        {"decode -x a b", 2, "unknown option '-x'"},
        {"--help", 0, "decode"},
    };
    for (const auto& c : cases) {
        auto r = runCommand(shellQuote(cliPath()) + " " + c.args, true);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
        EXPECT_NE(r.output.find(c.text), std::string::npos) << c.args << ": " << r.output;
    }
}

}  // namespace
