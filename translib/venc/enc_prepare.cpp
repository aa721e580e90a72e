#include "venc/enc_prepare.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/area_reduce.h"

namespace {

// Video black, painted around a padded picture: the samples a decoder shows as black.
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kBlackChroma = 128;

// The even integer nearest to num / den (both positive), halfway cases going up.
int nearestEven(int64_t num, int64_t den) {
    return static_cast<int>(2 * ((num + den) / (2 * den)));
}

// Both passes read the sample (or row) after the one they interpolate from, also at the
// end of a row, where it is the start of the next row in the contiguous frame. Past the
// last plane they read this slack, which repeats the frame's last sample.
int slackBytes(int width) {
    return 2 * width + 32;
}

size_t frameBytes(int width, int height) {
    return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(width / 2) * (height / 2);
}

void fillSlack(std::vector<uint8_t>& frame, size_t used) {
    const uint8_t last = used > 0 ? frame[used - 1] : 0;
    std::fill(frame.begin() + static_cast<std::ptrdiff_t>(used), frame.end(), last);
}

// Horizontal pass over one plane: inWidth -> outWidth samples per row.
void scaleRows(const uint8_t* in, uint8_t* out, int rows, int inWidth, int outWidth,
               uint16_t step) {
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = in + static_cast<size_t>(y) * inWidth;
        if (step == 256) {  // every weight pair is (256, 0): a copy
            std::memcpy(out, row, static_cast<size_t>(outWidth));
            out += outWidth;
            continue;
        }
        for (int x = 0; x < outWidth; ++x) {
            const int p = x * step;
            const int i0 = p >> 8, f = p & 255;
            out[x] = static_cast<uint8_t>(encRoundWeighted((256 - f) * row[i0] + f * row[i0 + 1]));
        }
        out += outWidth;
    }
}

// Vertical pass over one plane: inRows -> outRows rows of `width` samples; the last two
// output rows copy their input row unfiltered.
void scaleColumns(const uint8_t* in, uint8_t* out, int width, int outRows, uint16_t step) {
    for (int y = 0; y < outRows; ++y) {
        const int p = y * step;
        const int i0 = p >> 8, f = p & 255;
        const uint8_t* row0 = in + static_cast<size_t>(i0) * width;
        if (y >= outRows - 2 || f == 0) {  // a copy (a weight of 0 on the next row, too)
            std::memcpy(out, row0, static_cast<size_t>(width));
        } else {
            const uint8_t* row1 = row0 + width;
            for (int x = 0; x < width; ++x)
                out[x] = static_cast<uint8_t>(encRoundWeighted((256 - f) * row0[x] + f * row1[x]));
        }
        out += width;
    }
}

}  // namespace

bool encCropWindowOf(int sourceWidth, int sourceHeight, uint16_t cropLeft, uint16_t cropTop,
                     uint16_t cropHorizontal, uint16_t cropVertical, int8_t cropEnabled,
                     EncCropWindow* window) {
    int left = 0, top = 0, horizontal = 0, vertical = 0;
    if (cropEnabled) {
        left = cropLeft;
        top = cropTop;
        horizontal = cropHorizontal;
        vertical = cropVertical;
        if ((horizontal - left) & 1) horizontal += 1;
        if (left & 1) {
            left += 1;
            horizontal += 1;
        }
        if ((vertical - top) & 1) vertical += 1;
        if (top & 1) {
            top += 1;
            vertical += 1;
        }
    }
    if (left > horizontal || top > vertical) return false;
    if (horizontal >= sourceWidth || vertical >= sourceHeight) return false;
    window->left = left;
    window->top = top;
    window->width = sourceWidth - horizontal;
    window->height = sourceHeight - vertical;
    return true;
}

uint16_t encScaleStep(int inputSize, int outputSize) {
    return static_cast<uint16_t>((inputSize * 256) / outputSize);
}

int encNearest(double x) {
    const double t = std::trunc(x);
    const double d = std::fabs(x - t);
    const double away = x < 0 ? t - 1 : t + 1;
    if (d > 0.5) return static_cast<int>(away);
    if (d < 0.5) return static_cast<int>(t);
    return std::fmod(t, 2.0) == 0 ? static_cast<int>(t) : static_cast<int>(away);
}

EncFitGeometry encFitGeometryOf(const EncCropWindow& window, int targetWidth, int targetHeight,
                                PictureFit fit) {
    EncFitGeometry g;
    g.window = window;
    g.innerWidth = targetWidth;
    g.innerHeight = targetHeight;
    const int64_t w = window.width, h = window.height;
    if (fit == PictureFit::Stretch || w <= 0 || h <= 0 || targetWidth <= 0 || targetHeight <= 0)
        return g;
    // w / h against targetWidth / targetHeight, in integers.
    const int64_t wide = w * targetHeight, tall = h * targetWidth;
    if (wide == tall) return g;
    if (fit == PictureFit::Pad) {
        if (wide > tall) {  // wider than the target: bars above and below
            g.innerHeight = std::clamp(nearestEven(h * targetWidth, w), 2, targetHeight);
            g.innerTop = ((targetHeight - g.innerHeight) / 2) & ~1;
        } else {  // narrower: bars left and right
            g.innerWidth = std::clamp(nearestEven(w * targetHeight, h), 2, targetWidth);
            g.innerLeft = ((targetWidth - g.innerWidth) / 2) & ~1;
        }
        return g;
    }
    if (wide > tall) {  // cut at the left and right
        const int kept = std::clamp(nearestEven(h * targetWidth, targetHeight), 2, window.width);
        g.window.left += ((window.width - kept) / 2) & ~1;
        g.window.width = kept;
    } else {  // cut at the top and bottom
        const int kept = std::clamp(nearestEven(w * targetHeight, targetWidth), 2, window.height);
        g.window.top += ((window.height - kept) / 2) & ~1;
        g.window.height = kept;
    }
    return g;
}

void EncFramePreparer::setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                             const EncCropWindow& window) {
    EncFitGeometry whole;
    whole.window = window;
    whole.innerWidth = targetWidth;
    whole.innerHeight = targetHeight;
    setup(sourceWidth, sourceHeight, targetWidth, targetHeight, whole);
}

void EncFramePreparer::setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                             const EncFitGeometry& geometry) {
    m_sourceWidth = sourceWidth;
    m_sourceHeight = sourceHeight;
    m_targetWidth = targetWidth;
    m_targetHeight = targetHeight;
    m_geometry = geometry;
    m_window = geometry.window;
    const int w = m_window.width, h = m_window.height;
    const int iw = geometry.innerWidth, ih = geometry.innerHeight;
    m_reduceX = dsp::areaReduceFactor(w, iw);
    m_reduceY = dsp::areaReduceFactor(h, ih);
    m_inputWidth = dsp::areaReducedSize(w, m_reduceX);
    m_inputHeight = dsp::areaReducedSize(h, m_reduceY);
    // The boxes are centred on the window in chroma samples, so that a luma box and the
    // chroma box of its position cover the same part of the picture.
    m_gridLeft = 2 * ((w / 2 - m_reduceX * (m_inputWidth / 2)) / 2);
    m_gridTop = 2 * ((h / 2 - m_reduceY * (m_inputHeight / 2)) / 2);
    m_stepX = encScaleStep(m_inputWidth, iw);
    m_stepY = encScaleStep(m_inputHeight, ih);
    const int slack = slackBytes(std::max(m_inputWidth, iw));
    m_cropped.assign(frameBytes(m_inputWidth, m_inputHeight) + slack, 0);
    m_horizontal.assign(frameBytes(iw, m_inputHeight) + slack, 0);
    if (iw != targetWidth || ih != targetHeight)
        m_inner.assign(frameBytes(iw, ih), 0);
    else
        m_inner.clear();
}

void EncFramePreparer::cropWindow(const uint8_t* source) {
    const int sw = m_sourceWidth, sh = m_sourceHeight;
    const int w = m_window.width, h = m_window.height;
    // The luma window, then the chroma windows of U and V.
    uint8_t* dst = m_cropped.data();
    for (int y = 0; y < h; ++y) {
        std::memcpy(dst, source + static_cast<size_t>(m_window.top + y) * sw + m_window.left,
                    static_cast<size_t>(w));
        dst += w;
    }
    const int chromaRowFirst = m_window.top / 2;
    const int chromaRowEnd = (m_window.top + h) / 2;
    const uint8_t* chroma = source + static_cast<size_t>(sw) * sh;
    for (int plane = 0; plane < 2; ++plane) {
        for (int y = chromaRowFirst; y < chromaRowEnd; ++y) {
            std::memcpy(dst, chroma + static_cast<size_t>(y) * (sw / 2) + m_window.left / 2,
                        static_cast<size_t>(w / 2));
            dst += w / 2;
        }
        chroma += static_cast<size_t>(sw / 2) * (sh / 2);
    }
}

void EncFramePreparer::reduceWindow(const uint8_t* source) {
    const int sw = m_sourceWidth, sh = m_sourceHeight;
    const int w = m_inputWidth, h = m_inputHeight;
    const int left = m_window.left + m_gridLeft, top = m_window.top + m_gridTop;  // both even
    uint8_t* dst = m_cropped.data();
    dsp::areaReducePlane(source + static_cast<size_t>(top) * sw + left, sw, dst, w, w, h, m_reduceX,
                         m_reduceY);
    dst += static_cast<size_t>(w) * h;
    const uint8_t* chroma = source + static_cast<size_t>(sw) * sh;
    for (int plane = 0; plane < 2; ++plane) {
        dsp::areaReducePlane(chroma + static_cast<size_t>(top / 2) * (sw / 2) + left / 2, sw / 2,
                             dst, w / 2, w / 2, h / 2, m_reduceX, m_reduceY);
        dst += static_cast<size_t>(w / 2) * (h / 2);
        chroma += static_cast<size_t>(sw / 2) * (sh / 2);
    }
}

void EncFramePreparer::placeInner(uint8_t* result) const {
    const int tw = m_targetWidth, th = m_targetHeight;
    const EncFitGeometry& g = m_geometry;
    const uint8_t* in = m_inner.data();
    uint8_t* out = result;
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int width = tw >> shift, rows = th >> shift;
        const int innerWidth = g.innerWidth >> shift, innerRows = g.innerHeight >> shift;
        const int left = g.innerLeft >> shift, top = g.innerTop >> shift;
        std::memset(out, plane == 0 ? kBlackLuma : kBlackChroma, static_cast<size_t>(width) * rows);
        for (int y = 0; y < innerRows; ++y, in += innerWidth)
            std::memcpy(out + static_cast<size_t>(top + y) * width + left, in,
                        static_cast<size_t>(innerWidth));
        out += static_cast<size_t>(width) * rows;
    }
}

void EncFramePreparer::prepare(const uint8_t* source, uint8_t* result) {
    const int w = m_inputWidth, h = m_inputHeight;
    const int tw = m_geometry.innerWidth, th = m_geometry.innerHeight;

    if (m_reduceX == 1 && m_reduceY == 1)
        cropWindow(source);
    else
        reduceWindow(source);
    fillSlack(m_cropped, frameBytes(w, h));

    // Horizontal pass, luma then chroma, into the contiguous horizontal frame.
    const uint8_t* in = m_cropped.data();
    uint8_t* out = m_horizontal.data();
    scaleRows(in, out, h, w, tw, m_stepX);
    in += static_cast<size_t>(w) * h;
    out += static_cast<size_t>(tw) * h;
    for (int plane = 0; plane < 2; ++plane) {
        scaleRows(in, out, h / 2, w / 2, tw / 2, m_stepX);
        in += static_cast<size_t>(w / 2) * (h / 2);
        out += static_cast<size_t>(tw / 2) * (h / 2);
    }
    fillSlack(m_horizontal, frameBytes(tw, h));

    // Vertical pass into the result, or into the inner frame that is placed in it.
    const bool partial = !m_inner.empty();
    uint8_t* scaled = partial ? m_inner.data() : result;
    in = m_horizontal.data();
    out = scaled;
    scaleColumns(in, out, tw, th, m_stepY);
    in += static_cast<size_t>(tw) * h;
    out += static_cast<size_t>(tw) * th;
    for (int plane = 0; plane < 2; ++plane) {
        scaleColumns(in, out, tw / 2, th / 2, m_stepY);
        in += static_cast<size_t>(tw / 2) * (h / 2);
        out += static_cast<size_t>(tw / 2) * (th / 2);
    }
    if (partial) placeInner(result);
}
