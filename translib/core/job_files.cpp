#include "core/job_files.h"

#include <unistd.h>

#include <cstdio>

#include "core/context.h"
#include "platform/platform.h"

std::string baseNameOf(const std::string& sourcePath) {
    size_t slash = sourcePath.rfind('/');
    std::string name = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

void setJobNames(const std::string& sourcePath, const std::string& destDir) {
    ConversionContext& c = g_context;
    c.baseName = baseNameOf(sourcePath);
    c.destDir = destDir;
    c.moduleDir = platform::programDir();
    c.sourceDir = platform::directoryPart(sourcePath);
    c.wavName = c.destDir + c.baseName + ".mp4.wav";
    c.outputPath = c.destDir + c.baseName + "_new.mp4";
    c.pcmPath.clear();
    c.videoEsPath.clear();
    c.picturesPath.clear();
}

FILE* createJobFile(const std::string& stem, const std::string& extension, std::string* path) {
    int fd = platform::createUniqueFile(stem, extension, path);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        removeJobFile(path);
    }
    return file;
}

void removeJobFile(std::string* path) {
    if (path->empty()) return;
    platform::removeFile(*path);
    path->clear();
}

std::string videoEsFilePath() {
    return g_context.videoEsPath;
}

std::string decodedPicturesPath() {
    return g_context.picturesPath;
}

bool openPcmFile() {
    ConversionContext& c = g_context;
    if (c.pcmFile) return true;
    c.pcmFile = createJobFile(c.sourceDir + c.baseName, kPcmExtension, &c.pcmPath);
    if (!c.pcmFile)
        c.pcmFile =
            createJobFile(platform::privateTempDir() + c.baseName, kPcmExtension, &c.pcmPath);
    return c.pcmFile != nullptr;
}

bool createDecodedPicturesFile() {
    ConversionContext& c = g_context;
    const std::string stem = c.baseName + kDecodedPicturesStem;
    FILE* file = createJobFile(stem, kDecodedPicturesExtension, &c.picturesPath);
    if (!file)
        file = createJobFile(platform::privateTempDir() + stem, kDecodedPicturesExtension,
                             &c.picturesPath);
    if (!file) return false;
    std::fclose(file);
    return true;
}
