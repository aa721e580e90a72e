// The encoder's entry point: creates and fills the two mode records for a job and runs the
// encoder over a decoded-pictures file.

#include <cstdio>
#include <memory>
#include <new>

#include "core/job_rules.h"
#include "platform/trace.h"
#include "venc/venc.h"

namespace {

// The frame loop codes VOPs while the VOP time is at most this.
constexpr int kLastVopTime = 50000;
// With 3 ticks between two VOPs (the encoder's default) that is the handset limit.
static_assert(kLastVopTime / 3 + 1 == jobrules::kMaxHandsetPictures,
              "the VOP times 0, 3, ... up to kLastVopTime are the handset file's pictures");

}  // namespace

EncoderResult runEncoder(PictureSource& source, FILE* output, const EncoderJob& job) {
    platform::updateTraceTarget();
    encResetSourceFrameNumber();
    EncoderResult failed;
    failed.message = "the encoder's mode records cannot be allocated";
    std::unique_ptr<EncVolMode> volmd(new (std::nothrow) EncVolMode);
    if (!volmd) {
        platform::trace("malloc failed for g_volmd!\n");
        return failed;
    }
    std::unique_ptr<EncVopMode> vopmd(new (std::nothrow) EncVopMode);
    if (!vopmd) {
        platform::trace("malloc failed for g_vopmd!\n");
        return failed;
    }
    encSetDefaults(volmd.get(), vopmd.get());
    vopmd->iWidth = job.width;
    vopmd->iHeight = job.height;
    volmd->uiBitRate = job.bitRate;
    volmd->iFirstFrame = 0;
    volmd->iLastFrame = kLastVopTime;
    volmd->bRateControl = 1;

    enc_g_volmd = volmd.get();
    enc_g_vopmd = vopmd.get();
    EncoderResult result = encodeVideo(source, output, job);
    enc_g_volmd = nullptr;
    enc_g_vopmd = nullptr;
    platform::trace("encoding finished!\n");
    return result;
}

EncoderResult runEncoderOnFile(const std::string& picturesPath, FILE* output,
                               const EncoderJob& job) {
    PicturesFileSource source(picturesPath);
    return runEncoder(source, output, job);
}
