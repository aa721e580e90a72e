// The encoding driver of the video stage: creates and fills the encoder's mode records
// and runs the encoder over the decoded-pictures file.

#include <cstdio>
#include <memory>
#include <new>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "venc/venc.h"

void runEncoderOnFile(const std::string& picturesPath) {
    ConversionContext& c = g_context;
    encResetSourceFrameNumber();
    std::unique_ptr<EncVolMode> volmd(new (std::nothrow) EncVolMode);
    if (!volmd) {
        std::printf("malloc failed for g_volmd!\n");
        c.success = 0;
        return;
    }
    std::unique_ptr<EncVopMode> vopmd(new (std::nothrow) EncVopMode);
    if (!vopmd) {
        std::printf("malloc failed for g_vopmd!\n");
        c.success = 0;
        return;
    }
    encSetDefaults(volmd.get(), vopmd.get());
    vopmd->iWidth = c.width;
    vopmd->iHeight = c.height;
    volmd->uiBitRate = c.bitRate;
    volmd->iFirstFrame = 0;
    volmd->iLastFrame = 50000;
    volmd->bRateControl = 1;

    enc_g_volmd = volmd.get();
    enc_g_vopmd = vopmd.get();
    encodeVideo(picturesPath);
    enc_g_volmd = nullptr;
    enc_g_vopmd = nullptr;
    std::printf("encoding finished!\n");
}

void runEncoder() {
    runEncoderOnFile(decodedPicturesPath());
}
