#include <gtest/gtest.h>

#include "core/context.h"
#include "core/job_files.h"
#include "platform/platform.h"

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
    setJobNames("/src/dir/movie.3gp", "/dest/");
    EXPECT_EQ(g_context.baseName, "movie");
    EXPECT_EQ(g_context.sourceDir, "/src/dir/");
    EXPECT_EQ(g_context.outputPath, "/dest/movie_new.mp4");
    EXPECT_EQ(g_context.pcmPath, "/src/dir/movie.pcm");
    EXPECT_EQ(g_context.wavName, "/dest/movie.mp4.wav");
    EXPECT_EQ(g_context.moduleDir, platform::programDir());
    EXPECT_EQ(videoEsFilePath(), g_context.moduleDir + "movievideoxy_122344565fhr1.cmp");
    EXPECT_EQ(decodedPicturesPath(), "movievideoxy_122344565fhr1.yuv");
}

TEST(JobFilesTest, LongPathsAreKeptWhole) {
    std::string dir = "/" + std::string(700, 'd') + "/";
    std::string name = std::string(600, 'n');
    setJobNames(dir + name + ".mp4", dir);
    EXPECT_EQ(g_context.baseName, name);
    EXPECT_EQ(g_context.outputPath, dir + name + "_new.mp4");
    EXPECT_EQ(g_context.pcmPath, dir + name + ".pcm");
}

}  // namespace
