// The encoding run: setup, the frame loop (frame-rate conversion, the I/P cycle, VOP timing,
// one write per VOP), the statistics and the release of everything.

#include <sys/types.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/cancel.h"
#include "core/context.h"
#include "core/job_rules.h"
#include "dsp/dsp.h"
#include "platform/trace.h"
#include "venc/enc_bitstrm.h"
#include "venc/enc_codehead.h"
#include "venc/enc_framerate.h"
#include "venc/enc_global.h"
#include "venc/enc_mbenc.h"
#include "venc/enc_mv.h"
#include "venc/enc_prepare.h"
#include "venc/enc_ratectl.h"
#include "venc/venc.h"

namespace {

// Largest source or target picture dimension the encoder accepts.
constexpr int kMaxDimension = 4096;

template <class T>
void allocate(std::vector<T>& v, size_t n, const char* message) {
    try {
        v.assign(n, T{});
    } catch (const std::bad_alloc&) {
        encFail(message);
    }
}

// One frame buffer: three planes with their borders.
struct FrameBuffer {
    std::vector<uint8_t> y, u, v;
    EncPlanes planes;
};

enum class SourceFrame { Taken, Dropped, End };

class EncoderSession {
  public:
    EncoderSession(const EncoderJob& job, PictureSource& source, FILE* output)
        : m_job(job), m_pictures(source), m_output(output) {}

    // Runs the whole encoding; false when it failed.
    bool run();
    int codedVops() const { return m_encoded; }
    int framesPastLimit() const { return m_framesPastLimit; }
    int32_t bytesWritten() const { return m_bytes; }

  private:
    bool setup();
    bool validateJob();
    void allocateBuffers();
    bool frameLoop();
    SourceFrame prepareSourceFrame();
    bool passFramesPastLimit();
    void codeIVop(int vopTime);
    void codePVop(int vopTime);
    // Codes every macroblock in raster order with code(column, row, mode record), keeping
    // the statistics and exchanging the row records after every row.
    template <class CodeMacroblock>
    void forEachMacroblock(CodeMacroblock code);
    void finishVop(bool intra);
    void measurePsnr();
    bool writeBlock(const uint8_t* data, int bytes);
    void writeReconstruction();
    void printSummary();

    const EncoderJob& m_job;
    PictureSource& m_pictures;
    FILE* m_output;
    int32_t m_bytes = 0;  // stream bytes written, wrapping like every 32-bit count
    EncGeometry m_geo;
    int m_sourceWidth = 0, m_sourceHeight = 0;
    size_t m_sourceFrameBytes = 0;
    int m_timeIncrementBits = 1;
    EncCropWindow m_window;
    EncFramePreparer m_preparer;

    std::vector<EncMotionVector> m_mvs;
    std::vector<uint8_t> m_zoom;
    FrameBuffer m_src, m_ref0, m_ref1;
    std::vector<EncMbMode> m_modeRows[2];
    std::vector<EncPredStore> m_predRows[2];
    std::vector<uint8_t> m_readBuffer;
    std::vector<uint8_t> m_preparedBuffer;
    std::unique_ptr<COutBitStream> m_bs;
    std::unique_ptr<EncMbContext> m_ctx;

    int m_encoded = 0;
    int m_skipped = 0;
    int m_framesPastLimit = 0;
    double m_psnrSum[3] = {0, 0, 0};
};

bool EncoderSession::run() {
    if (!setup()) return false;
    return frameLoop();
}

bool EncoderSession::validateJob() {
    const EncoderJob& c = m_job;
    const EncVopMode* vop = enc_g_vopmd;
    if (vop->iWidth < 16 || vop->iHeight < 16 || vop->iWidth > kMaxDimension ||
        vop->iHeight > kMaxDimension || vop->iWidth % 16 || vop->iHeight % 16) {
        logError("picture size %dx%d is not supported", vop->iWidth, vop->iHeight);
        return false;
    }
    if (c.sourceWidth < 1 || c.sourceHeight < 1 || c.sourceWidth > kMaxDimension ||
        c.sourceHeight > kMaxDimension) {
        logError("source picture size %dx%d is not supported", c.sourceWidth, c.sourceHeight);
        return false;
    }
    if (c.sourceFrameRate == 0) {
        logError("source frame rate is 0: no source frame can be taken");
        return false;
    }
    if (!encCropWindowOf(c.sourceWidth, c.sourceHeight, c.cropLeft, c.cropTop, c.cropHorizontal,
                         c.cropVertical, c.cropEnabled, &m_window)) {
        logError(
            "crop margins (left %u, top %u, horizontal %u, vertical %u) leave no picture "
            "of the %dx%d source",
            c.cropLeft, c.cropTop, c.cropHorizontal, c.cropVertical, c.sourceWidth, c.sourceHeight);
        return false;
    }
    if (c.wideCrop && !jobrules::cropFitsSource(c.cropLeft, c.cropHorizontal - c.cropLeft,
                                                c.cropTop, c.cropVertical - c.cropTop,
                                                c.sourceWidth, c.sourceHeight, true)) {
        logError(
            "crop margins (left %u, right %d, top %u, bottom %d) are too wide for the %dx%d "
            "source: sources up to %d pixels wide take at most %d at the left and right and %d "
            "at the top and bottom, wider ones a quarter of their width and height",
            c.cropLeft, c.cropHorizontal - c.cropLeft, c.cropTop, c.cropVertical - c.cropTop,
            c.sourceWidth, c.sourceHeight, jobrules::kWideCropSourceWidth,
            jobrules::kMaxCropHorizontal, jobrules::kMaxCropVertical);
        return false;
    }
    if ((enc_g_volmd->uiBitRate >> 1) == 0) {
        logError("bit rate %u is too low", enc_g_volmd->uiBitRate);
        return false;
    }
    if (!m_output) {
        logError("no output file for the video stream");
        return false;
    }
    return true;
}

bool EncoderSession::setup() {
    EncVolMode* vol = enc_g_volmd;
    EncVopMode* vop = enc_g_vopmd;
    if (!m_pictures.open()) return false;
    if (!validateJob()) return false;
    m_sourceWidth = m_job.sourceWidth;
    m_sourceHeight = m_job.sourceHeight;

    m_psnrSum[0] = m_psnrSum[1] = m_psnrSum[2] = 0;
    const double rate = vol->dFrameRate;
    if (rate == std::floor(rate))
        vol->iClockRate = static_cast<int>(rate);
    else if (rate * 10 == std::floor(rate * 10))
        vol->iClockRate = static_cast<int>(rate * 10);
    else
        vol->iClockRate = static_cast<int>(rate * 100);

    encStatsClear(&enc_g_statsVOL);
    encStatsClear(&enc_g_statsVOP);
    encStatsClear(&enc_g_statsMB);
    try {
        m_bs = std::make_unique<COutBitStream>();
    } catch (const std::bad_alloc&) {
        encFail("COutBitStream malloc failed!\n");
    }
    if (!encDeriveMotionParameters(vop)) encFail("enc_g_vopmd->iSearchRangeForward <= 1024\n");
    if (!(vol->iClockRate - 1 < 65536)) encFail("iClockRate < 65536\n");
    m_timeIncrementBits = encTimeIncrementBits(vol->iClockRate);
    vop->iRoundingType = 0;

    m_geo.mbCols = (vop->iWidth + 15) / 16;
    m_geo.mbRows = (vop->iHeight + 15) / 16;
    m_geo.alignedWidth = 16 * m_geo.mbCols;
    m_geo.alignedHeight = 16 * m_geo.mbRows;
    m_geo.strideY = m_geo.alignedWidth + 2 * enc_LUMA_BORDER;
    m_geo.strideC = m_geo.strideY / 2;
    m_geo.paddedHeight = m_geo.alignedHeight + 2 * enc_LUMA_BORDER;
    vop->iAlignedWidth = m_geo.alignedWidth;
    vop->iAlignedHeight = m_geo.alignedHeight;
    vop->iPaddedWidth = m_geo.strideY;
    vop->iPaddedHeight = m_geo.paddedHeight;

    allocateBuffers();

    EncRateControlSettings rc;
    rc.bitRate = vol->uiBitRate;
    rc.frameRate = vol->dFrameRate;
    rc.ticksPerFrame = vol->iTicksPerFrame;
    rc.intraPeriod = vol->iIntraPeriod;
    rc.intraQP = vop->iIntraQP;
    encRateControlInitialise(rc);
    m_encoded = 0;
    m_skipped = 0;

    encWriteVOHeader(m_bs.get());
    encWriteVOLHeader(m_bs.get());
    if (!writeBlock(m_bs->buffer(), m_bs->byteCount())) return false;
    return true;
}

void EncoderSession::allocateBuffers() {
    const EncGeometry& g = m_geo;
    const size_t lumaBytes = static_cast<size_t>(g.strideY) * g.paddedHeight;
    const size_t chromaBytes = lumaBytes / 4;
    allocate(m_mvs, static_cast<size_t>(g.mbCols) * g.mbRows * enc_MVS_PER_MB,
             "motion vector malloc failed!\n");
    allocate(m_zoom, 4 * lumaBytes, "YUVRefZoomFrame malloc failed!\n");
    struct Planned {
        std::vector<uint8_t>* plane;
        size_t bytes;
        const char* message;
    };
    const Planned planes[9] = {
        {&m_src.y, lumaBytes, "YUVSrcFrame malloc failed!\n"},
        {&m_ref0.y, lumaBytes, "YUVRefFrame0 malloc failed!\n"},
        {&m_ref1.y, lumaBytes, "YUVRefFrame1 malloc failed!\n"},
        {&m_src.u, chromaBytes, "YUVSrcFrame malloc failed!\n"},
        {&m_ref0.u, chromaBytes, "YUVRefFrame0 malloc failed!\n"},
        {&m_ref1.u, chromaBytes, "YUVRefFrame1 malloc failed!\n"},
        {&m_src.v, chromaBytes, "YUVSrcFrame malloc failed!\n"},
        {&m_ref0.v, chromaBytes, "YUVRefFrame0 malloc failed!\n"},
        {&m_ref1.v, chromaBytes, "YUVRefFrame1 malloc failed!\n"},
    };
    for (const Planned& p : planes) allocate(*p.plane, p.bytes, p.message);
    for (FrameBuffer* f : {&m_src, &m_ref0, &m_ref1}) {
        f->planes.y = f->y.data() + enc_LUMA_BORDER * g.strideY + enc_LUMA_BORDER;
        f->planes.u = f->u.data() + enc_CHROMA_BORDER * g.strideC + enc_CHROMA_BORDER;
        f->planes.v = f->v.data() + enc_CHROMA_BORDER * g.strideC + enc_CHROMA_BORDER;
    }
    for (auto& row : m_modeRows)
        allocate(row, static_cast<size_t>(g.mbCols), "MB MODE malloc failed!\n");
    for (auto& row : m_predRows)
        allocate(row, static_cast<size_t>(g.mbCols) * enc_BLOCKS_PER_MB,
                 "DC AC prediction malloc failed!\n");

    m_sourceFrameBytes = static_cast<size_t>(m_sourceWidth) * m_sourceHeight +
                         2 * static_cast<size_t>(m_sourceWidth / 2) * (m_sourceHeight / 2);
    allocate(m_readBuffer, m_sourceFrameBytes, "source frame malloc failed!\n");
    const EncVopMode* vop = enc_g_vopmd;
    allocate(m_preparedBuffer,
             static_cast<size_t>(vop->iWidth) * vop->iHeight +
                 2 * static_cast<size_t>(vop->iWidth / 2) * (vop->iHeight / 2),
             "prepared frame malloc failed!\n");
    const EncFitGeometry fitted = encFitGeometryOf(m_window, vop->iWidth, vop->iHeight, m_job.fit);
    try {
        m_preparer.setup(m_sourceWidth, m_sourceHeight, vop->iWidth, vop->iHeight, fitted);
        m_ctx = std::make_unique<EncMbContext>();
    } catch (const std::bad_alloc&) {
        encFail("frame preparation malloc failed!\n");
    }

    if (m_job.fit != PictureFit::Stretch || m_preparer.reduceX() > 1 || m_preparer.reduceY() > 1) {
        const EncFitGeometry& g = fitted;
        platform::trace(
            "frame preparation: fit %s, window %dx%d at %d,%d, area reduction %dx%d to %dx%d, "
            "scaled to %dx%d at %d,%d of %dx%d\n",
            pictureFitName(m_job.fit), g.window.width, g.window.height, g.window.left, g.window.top,
            m_preparer.reduceX(), m_preparer.reduceY(), m_preparer.scaledWidth(),
            m_preparer.scaledHeight(), g.innerWidth, g.innerHeight, g.innerLeft, g.innerTop,
            vop->iWidth, vop->iHeight);
    }

    EncMbContext& ctx = *m_ctx;
    ctx.kernels = &dsp::kernels();
    ctx.quant =
        &ctx.kernels->quant[enc_g_volmd->iQuantType == 1 ? dsp::kQuantMpeg : dsp::kQuantH263];
    ctx.geo = g;
    dsp::buildQuantMatrix(enc_g_volmd->rgiIntraMatrix, &ctx.intraMatrix);
    dsp::buildQuantMatrix(enc_g_volmd->rgiInterMatrix, &ctx.interMatrix);
    encBuildInterLevelLimits(&ctx, enc_g_volmd->iQuantType);
    ctx.modeCurr = m_modeRows[0].data();
    ctx.modeAbove = m_modeRows[1].data();
    ctx.predCurr = m_predRows[0].data();
    ctx.predAbove = m_predRows[1].data();
    ctx.mvs = m_mvs.data();
    ctx.zoom = m_zoom.data();
    ctx.zoomStride = 2 * g.strideY;
    try {
        ctx.searchOrder = dsp::spiralOrder(enc_g_vopmd->iSearchRangeForward);
    } catch (const std::bad_alloc&) {
        encFail("motion search malloc failed!\n");
    }
}

bool EncoderSession::writeBlock(const uint8_t* data, int bytes) {
    m_bytes = encWrap32(int64_t{m_bytes} + bytes);
    if (std::fwrite(data, 1, static_cast<size_t>(bytes), m_output) != static_cast<size_t>(bytes))
        return false;
    return true;
}

SourceFrame EncoderSession::prepareSourceFrame() {
    ++enc_g_uiSourceFrame;
    if (!encKeepSourceFrame(enc_g_uiSourceFrame, m_job.frameRate, m_job.sourceFrameRate))
        return SourceFrame::Dropped;
    if (m_job.progress) *m_job.progress += 1;
    if (!m_pictures.read(enc_g_uiSourceFrame, m_readBuffer.data(), m_sourceFrameBytes))
        return SourceFrame::End;
    m_preparer.prepare(m_readBuffer.data(), m_preparedBuffer.data());

    const EncVopMode* vop = enc_g_vopmd;
    const int w = vop->iWidth, h = vop->iHeight;
    const uint8_t* in = m_preparedBuffer.data();
    for (int y = 0; y < h; ++y, in += w)
        std::memcpy(m_src.planes.y + y * m_geo.strideY, in, static_cast<size_t>(w));
    for (uint8_t* plane : {m_src.planes.u, m_src.planes.v})
        for (int y = 0; y < h / 2; ++y, in += w / 2)
            std::memcpy(plane + y * m_geo.strideC, in, static_cast<size_t>(w / 2));
    return SourceFrame::Taken;
}

bool EncoderSession::frameLoop() {
    const EncVolMode* vol = enc_g_volmd;
    EncVopMode* vop = enc_g_vopmd;
    int t = vol->iFirstFrame;
    int countdown = 0;
    bool running = true;
    while (running && t <= vol->iLastFrame) {
        if (jobCancelled()) return false;
        platform::trace("encode %d frame\n", t);
        vop->iCodingType = countdown != 0 ? 1 : 0;
        encRateControlPrintFullness();
        const SourceFrame frame = prepareSourceFrame();
        if (frame == SourceFrame::End) {
            running = false;
            break;
        }
        if (frame == SourceFrame::Dropped) continue;
        if (vop->iCodingType == 0) {
            platform::trace("\t I VOP\n");
            codeIVop(t);
            countdown = vol->iIntraPeriod;
        } else {
            platform::trace("\t P VOP\n");
            codePVop(t);
            countdown -= 1;
        }
        ++m_encoded;
        // The PSNR figures are only ever printed.
        if (platform::traceShown()) measurePsnr();
        if (m_job.reconstruction) writeReconstruction();
        if (!writeBlock(m_bs->buffer(), m_bs->byteCount())) return false;
        t += vol->iTicksPerFrame;
    }
    if (running && !passFramesPastLimit()) return false;
    printSummary();
    return true;
}

bool EncoderSession::passFramesPastLimit() {
    for (;;) {
        if (jobCancelled()) return false;
        ++enc_g_uiSourceFrame;
        if (!m_pictures.read(enc_g_uiSourceFrame, m_readBuffer.data(), m_sourceFrameBytes)) break;
        ++m_framesPastLimit;
        // The progress still counts the frames the frame rate keeps, so that it ends full.
        if (m_job.progress &&
            encKeepSourceFrame(enc_g_uiSourceFrame, m_job.frameRate, m_job.sourceFrameRate))
            *m_job.progress += 1;
    }
    return true;
}

template <class CodeMacroblock>
void EncoderSession::forEachMacroblock(CodeMacroblock code) {
    EncMbContext& ctx = *m_ctx;
    for (int row = 0; row < m_geo.mbRows; ++row) {
        for (int col = 0; col < m_geo.mbCols; ++col) {
            encStatsClear(&enc_g_statsMB);
            code(col, row, &ctx.modeCurr[col]);
            encStatsAdd(&enc_g_statsVOP, &enc_g_statsMB);
        }
        // The current row becomes the row above.
        std::swap(ctx.predCurr, ctx.predAbove);
        std::swap(ctx.modeCurr, ctx.modeAbove);
    }
}

void EncoderSession::codeIVop(int vopTime) {
    EncMbContext& ctx = *m_ctx;
    encStatsClear(&enc_g_statsVOP);
    m_bs->reset();
    enc_g_iVPMBnum = 0;
    const int qp = encRateControlIntraQP();
    platform::trace("\t QP: %d\n", qp);
    encWriteVOPHeader(m_bs.get(), qp, vopTime, m_timeIncrementBits);
    forEachMacroblock([&](int col, int row, EncMbMode* mode) {
        mode->bSkip = 0;
        mode->dctMd = venc::INTRA;
        mode->iQP = qp;
        encCopySourceMB(&ctx, m_src.planes, col, row);
        encCodeIntraMB(&ctx, m_ref1.planes, col, row, mode);
        encWriteIVopMBHeader(m_bs.get(), mode);
        encWriteIntraTexture(m_bs.get(), &ctx, mode);
    });
    finishVop(true);
}

void EncoderSession::codePVop(int vopTime) {
    EncMbContext& ctx = *m_ctx;
    encStatsClear(&enc_g_statsVOP);
    m_bs->reset();
    encFillBorder(m_ref1.planes, m_geo);
    m_ctx->kernels->mc.buildZoom(m_ref1.y.data(), m_geo.strideY, m_geo.paddedHeight, m_zoom.data(),
                                 enc_g_vopmd->iRoundingType);
    std::swap(m_ref0, m_ref1);
    enc_g_iVPMBnum = 0;
    ctx.complexitySum = 0;
    const int qp = encRateControlInterQP();
    platform::trace("\t QP: %d\n", qp);
    encWriteVOPHeader(m_bs.get(), qp, vopTime, m_timeIncrementBits);
    forEachMacroblock([&](int col, int row, EncMbMode* mode) {
        mode->iQP = qp;
        encCopySourceMB(&ctx, m_src.planes, col, row);
        EncMotionVector* mvs = &ctx.mvs[(row * m_geo.mbCols + col) * enc_MVS_PER_MB];
        encEstimate(&ctx, mode, mvs, m_ref0.planes.y, col, row);
        if (mode->dctMd == venc::INTRA) {
            encCodeIntraMB(&ctx, m_ref1.planes, col, row, mode);
            encWritePVopMBHeader(m_bs.get(), mode);
            encWriteIntraTexture(m_bs.get(), &ctx, mode);
            return;
        }
        encCompensate(&ctx, mvs, m_ref0.planes, col, row);
        encCodeInterMB(&ctx, m_ref1.planes, col, row, mode, mvs);
        encWritePVopMBHeader(m_bs.get(), mode);
        if (!mode->bSkip) {
            enc_g_statsMB.nBitsMV += encWriteVector(m_bs.get(), &ctx, col, row);
            encWriteInterTexture(m_bs.get(), &ctx, mode);
        }
    });
    finishVop(false);
}

void EncoderSession::finishVop(bool intra) {
    enc_g_statsVOP.nBitsStuffing += m_bs->align();
    const int32_t total = encStatsTotal(&enc_g_statsVOP);
    if (intra) {
        encRateControlUpdateIntra(total);
    } else {
        encRateControlUpdateInter(total, enc_g_statsVOP.nBitsTexture, m_ctx->complexitySum,
                                  m_sourceWidth, m_sourceHeight);
    }
}

void EncoderSession::measurePsnr() {
    const EncVopMode* vop = enc_g_vopmd;
    const double peak = static_cast<double>((1 << enc_g_volmd->nBits) - 1);
    struct Plane {
        const uint8_t* src;
        const uint8_t* rec;
        int width, height, stride;
        double identical;
        const char* format;
    };
    const Plane planes[3] = {
        {m_src.planes.y, m_ref1.planes.y, vop->iWidth, vop->iHeight, m_geo.strideY, 10000.0,
         "\t psnrY: %f\n"},
        {m_src.planes.u, m_ref1.planes.u, vop->iWidth / 2, vop->iHeight / 2, m_geo.strideC,
         1000000.0, "\t psnrU: %f\n"},
        {m_src.planes.v, m_ref1.planes.v, vop->iWidth / 2, vop->iHeight / 2, m_geo.strideC,
         1000000.0, "\t psnrV: %f\n"},
    };
    for (int i = 0; i < 3; ++i) {
        const Plane& p = planes[i];
        double error = 0;
        for (int y = 0; y < p.height; ++y) {
            const uint8_t* a = p.src + y * p.stride;
            const uint8_t* b = p.rec + y * p.stride;
            int rowError = 0;
            for (int x = 0; x < p.width; ++x) rowError += (a[x] - b[x]) * (a[x] - b[x]);
            error += rowError;
        }
        const double value =
            error == 0 ? p.identical : 10.0 * std::log10(peak * peak * p.width * p.height / error);
        platform::trace(p.format, value);
        m_psnrSum[i] += value;
    }
}

void EncoderSession::writeReconstruction() {
    const EncVopMode* vop = enc_g_vopmd;
    for (int y = 0; y < vop->iHeight; ++y)
        std::fwrite(m_ref1.planes.y + y * m_geo.strideY, 1, static_cast<size_t>(vop->iWidth),
                    m_job.reconstruction);
    for (const uint8_t* plane : {m_ref1.planes.u, m_ref1.planes.v})
        for (int y = 0; y < vop->iHeight / 2; ++y)
            std::fwrite(plane + y * m_geo.strideC, 1, static_cast<size_t>(vop->iWidth / 2),
                        m_job.reconstruction);
}

void EncoderSession::printSummary() {
    const int vops = m_encoded + m_skipped;
    // Each sum divided by the count (a product with the reciprocal can differ in the last
    // bit); with no VOP coded the averages are reported as 0 rather than as 0 / 0.
    auto average = [this](double sum) { return m_encoded > 0 ? sum / m_encoded : 0.0; };
    platform::trace("skipped frame number: %d\n", m_skipped);
    platform::trace("encoded frame number: %d\n", m_encoded);
    platform::trace("average psnrY: %f\n", average(m_psnrSum[0]));
    platform::trace("average psnrU: %f\n", average(m_psnrSum[1]));
    platform::trace("average psnrV: %f\n", average(m_psnrSum[2]));
    platform::trace(
        "bitrate: %fk bps\n",
        vops > 0 ? encRateControlTotalBits() * enc_g_volmd->dFrameRate / vops / 1000 : 0.0);
}

}  // namespace

void encResetSourceFrameNumber() {
    enc_g_uiSourceFrame = 0;
}

EncoderResult encodeVideo(PictureSource& source, FILE* output, const EncoderJob& job) {
    EncoderResult result;
    if (!enc_g_volmd || !enc_g_vopmd) {
        result.message = "the encoder's mode records are missing";
        return result;
    }
    EncoderSession session(job, source, output);
    try {
        result.ok = session.run();
    } catch (const EncodeAbort&) {
        result.ok = false;
    }
    result.vops = session.codedVops();
    result.framesPastLimit = session.framesPastLimit();
    result.bytes = session.bytesWritten();
    if (!result.ok) result.message = "the encoder failed on " + source.name();
    return result;
}

PicturesFileSource::PicturesFileSource(const std::string& path) : m_path(path) {}

PicturesFileSource::~PicturesFileSource() {
    if (m_file) std::fclose(m_file);
}

bool PicturesFileSource::open() {
    m_file = std::fopen(m_path.c_str(), "rb");
    return m_file != nullptr;
}

bool PicturesFileSource::read(uint32_t number, uint8_t* buffer, size_t bytes) {
    const off_t offset = static_cast<off_t>(number - 1) * static_cast<off_t>(bytes);
    return fseeko(m_file, offset, SEEK_SET) == 0 && std::fread(buffer, 1, bytes, m_file) == bytes;
}

EncoderResult encodeVideo(const std::string& picturesPath, FILE* output, const EncoderJob& job) {
    PicturesFileSource source(picturesPath);
    return encodeVideo(source, output, job);
}
