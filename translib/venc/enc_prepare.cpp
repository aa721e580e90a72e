#include "venc/enc_prepare.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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

void EncFramePreparer::setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                             const EncCropWindow& window) {
    m_sourceWidth = sourceWidth;
    m_sourceHeight = sourceHeight;
    m_targetWidth = targetWidth;
    m_targetHeight = targetHeight;
    m_window = window;
    m_stepX = encScaleStep(window.width, targetWidth);
    m_stepY = encScaleStep(window.height, targetHeight);
    m_cropped.assign(
        frameBytes(window.width, window.height) + slackBytes(std::max(window.width, targetWidth)),
        0);
    m_horizontal.assign(
        frameBytes(targetWidth, window.height) + slackBytes(std::max(window.width, targetWidth)),
        0);
}

void EncFramePreparer::prepare(const uint8_t* source, uint8_t* result) {
    const int sw = m_sourceWidth, sh = m_sourceHeight;
    const int w = m_window.width, h = m_window.height;
    const int tw = m_targetWidth, th = m_targetHeight;

    // Crop: the luma window, then the chroma windows of U and V.
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

    // Vertical pass into the result.
    in = m_horizontal.data();
    out = result;
    scaleColumns(in, out, tw, th, m_stepY);
    in += static_cast<size_t>(tw) * h;
    out += static_cast<size_t>(tw) * th;
    for (int plane = 0; plane < 2; ++plane) {
        scaleColumns(in, out, tw / 2, th / 2, m_stepY);
        in += static_cast<size_t>(tw / 2) * (h / 2);
        out += static_cast<size_t>(tw / 2) * (th / 2);
    }
}
