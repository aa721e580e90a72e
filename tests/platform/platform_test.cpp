#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/context.h"
#include "platform/platform.h"
#include "testing/test_util.h"

namespace {

const char* formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* line = platform::formatLogLine(format, args);
    va_end(args);
    return line;
}

TEST(PlatformTest, ProgramDirIsTheExecutablesDirectory) {
    std::string path = platform::programPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find("platform_tests"), std::string::npos);
    EXPECT_EQ(platform::programDir(), platform::directoryPart(path));
    EXPECT_EQ(platform::programDir().back(), '/');
}

TEST(PlatformTest, PrivateTempDirUsesTmpdir) {
    testing_util::TempDir dir;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", dir.path().c_str(), 1);
    std::string fallback = platform::privateTempDir();
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(fallback.rfind(dir.path(), 0), 0u);
    EXPECT_NE(fallback.find("kinolite-"), std::string::npos);
    EXPECT_TRUE(testing_util::fileExists(fallback));
}

TEST(PlatformTest, DirectoryPartCases) {
    EXPECT_EQ(platform::directoryPart("/a/b/c.mp4"), "/a/b/");
    EXPECT_EQ(platform::directoryPart("c.mp4"), "");
    EXPECT_EQ(platform::directoryPart("/c"), "/");
}

TEST(PlatformTest, RemoveFileOfMissingFileIsNoError) {
    testing_util::TempDir dir;
    testing_util::writeFile(dir.file("x"), {1, 2, 3});
    EXPECT_TRUE(platform::removeFile(dir.file("x")));
    EXPECT_FALSE(testing_util::fileExists(dir.file("x")));
    EXPECT_TRUE(platform::removeFile(dir.file("x")));
}

TEST(PlatformTest, LongLogLinesAreCutNotOverflowed) {
    std::string longText(3 * platform::kLogLineCapacity, 'x');
    const char* line = formatted("text=%s", longText.c_str());
    EXPECT_EQ(std::string(line).size(), platform::kLogLineCapacity - 1);
}

TEST(PlatformTest, LogErrorFailsTheJob) {
    g_context.success = 1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(logError("something %d went wrong", 42), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "something 42 went wrong\n");
    EXPECT_EQ(g_context.success, 0);
}

}  // namespace
