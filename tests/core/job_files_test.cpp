#include <gtest/gtest.h>

#include <cstdio>

#include "core/context.h"
#include "core/job_files.h"
#include "platform/platform.h"
#include "testing/test_util.h"

namespace {

TEST(JobFilesTest, BaseNameCases) {
    const struct {
        const char* path;
        const char* base;
    } cases[] = {
        {"/movies/clip.3gp", "clip"},           {"/movies/clip.v2.mp4", "clip.v2"},
        {"/movies/noextension", "noextension"}, {"relative.3gp", "relative"},
        {"/dir.with.dots/file", "file"},        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(baseNameOf(c.path), c.base) << c.path;
}

TEST(JobFilesTest, NamesOfAJob) {
    g_context.pcmPath = "/earlier/job.pcm";
    setJobNames("/src/dir/movie.3gp", "/dest/");
    EXPECT_EQ(g_context.baseName, "movie");
    EXPECT_EQ(g_context.sourceDir, "/src/dir/");
    EXPECT_EQ(g_context.destinationPath, "/dest/movie_new.mp4");
    EXPECT_EQ(g_context.wavName, "/dest/movie.mp4.wav");
    EXPECT_EQ(g_context.moduleDir, platform::programDir());
    // No file is named before the job makes it.
    EXPECT_EQ(g_context.outputPath, "");
    EXPECT_EQ(g_context.pcmPath, "");
    EXPECT_EQ(videoEsFilePath(), "");
    EXPECT_EQ(decodedPicturesPath(), "");
}

// Files of the fixed names (a user's clip.pcm) are never opened: every job file gets a
// name of its own, and removing it leaves the others alone.
TEST(JobFilesTest, JobFilesAreNewFilesOfTheirOwn) {
    testing_util::TempDir dir;
    const std::string stem = dir.path() + "clip";
    testing_util::writeFile(stem + ".pcm", {7, 7, 7});
    std::string first, second;
    FILE* a = createJobFile(stem, ".pcm", &first);
    FILE* b = createJobFile(stem, ".pcm", &second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(testing_util::isJobFileName(first, stem, ".pcm")) << first;
    std::fclose(a);
    std::fclose(b);
    removeJobFile(&first);
    EXPECT_EQ(first, "");
    EXPECT_TRUE(testing_util::fileExists(second));
    EXPECT_EQ(testing_util::readFile(stem + ".pcm"), (std::vector<uint8_t>{7, 7, 7}));
    removeJobFile(&second);
    removeJobFile(&second);  // an empty name removes nothing
    EXPECT_EQ(testing_util::jobFilesNamed(stem, ".pcm"), std::vector<std::string>());

    std::string refused = "unchanged";
    EXPECT_EQ(createJobFile(dir.path() + "missing/clip", ".pcm", &refused), nullptr);
    EXPECT_EQ(refused, "");
}

TEST(JobFilesTest, LongPathsAreKeptWhole) {
    std::string dir = "/" + std::string(700, 'd') + "/";
    std::string name = std::string(600, 'n');
    setJobNames(dir + name + ".mp4", dir);
    EXPECT_EQ(g_context.baseName, name);
    EXPECT_EQ(g_context.destinationPath, dir + name + "_new.mp4");
    EXPECT_EQ(g_context.wavName, dir + name + ".mp4.wav");
}

}  // namespace
