#include "core/job_files.h"

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
    c.pcmPath = c.sourceDir + c.baseName + ".pcm";
    c.outputPath = c.destDir + c.baseName + "_new.mp4";
}

std::string videoEsFilePath() {
    return g_context.moduleDir + g_context.baseName + kVideoEsSuffix;
}

std::string decodedPicturesPath() {
    return g_context.baseName + kDecodedPicturesSuffix;
}

bool openPcmFile() {
    ConversionContext& c = g_context;
    if (c.pcmFile) return true;
    c.pcmFile = std::fopen(c.pcmPath.c_str(), "wb");
    if (!c.pcmFile) {
        c.pcmPath = platform::privateTempDir() + c.baseName + ".pcm";
        c.pcmFile = std::fopen(c.pcmPath.c_str(), "wb");
    }
    return c.pcmFile != nullptr;
}
