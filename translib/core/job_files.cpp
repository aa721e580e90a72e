#include "core/job_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    c.destinationPath = c.destDir + c.baseName + kOutputSuffix;
    c.outputPath.clear();
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

bool createOutputFile() {
    ConversionContext& c = g_context;
    c.output = createJobFile(c.destDir + c.baseName + kOutputStem, kOutputExtension, &c.outputPath);
    if (!c.output) {
        const std::string dir =
            c.destDir.empty() ? std::string("the current directory") : c.destDir;
        noteJobFailure("cannot create a file in " + dir + ": " + std::strerror(errno));
        return false;
    }
    // The tag's file is private (0600); the handset file gets the mode of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fileno(c.output), 0666 & ~mask);
    return true;
}

bool moveOutputToDestination() {
    ConversionContext& c = g_context;
    if (c.outputPath.empty() || c.outputPath == c.destinationPath) return true;
    if (std::rename(c.outputPath.c_str(), c.destinationPath.c_str()) != 0) {
        noteJobFailure("cannot replace " + c.destinationPath + ": " + std::strerror(errno));
        removeJobFile(&c.outputPath);
        return false;
    }
    c.outputPath = c.destinationPath;
    return true;
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

void removeJobFilesAndOutput() {
    ConversionContext& c = g_context;
    removeJobFile(&c.videoEsPath);
    removeJobFile(&c.picturesPath);
    if (c.output) {
        std::fclose(c.output);
        c.output = nullptr;
    }
    platform::removeFile(c.outputPath);
    if (c.pcmFile) {
        std::fclose(c.pcmFile);
        c.pcmFile = nullptr;
    }
    removeJobFile(&c.pcmPath);
}
