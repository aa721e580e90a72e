#pragma once
// Frame preparation: cuts the crop margins from a decoded source frame and stretches what
// is left to the target size with a separable linear filter in 8.8 fixed point. A window
// more than twice the target in either dimension is first reduced by area averaging to
// between one and two times the target (the linear filter alone would alias); windows up
// to twice the target take the linear filter alone. With the pad and crop fits the window
// keeps its aspect ratio: pad scales it into a part of the target and paints the rest
// black, crop widens the margins until the window has the target's aspect ratio.

#include <cstdint>
#include <vector>

#include "core/picture_fit.h"

// The window of the source frame that is kept.
struct EncCropWindow {
    int left = 0, top = 0;      // margins removed at the left and top edges (even)
    int width = 0, height = 0;  // size of what is left
};

// Applies the even-margin rule to the job's crop values (cropHorizontal = left + right,
// cropVertical = top + bottom): an odd right or bottom margin grows by one, then an odd left
// or top margin grows by one. Without cropEnabled the whole frame is kept. Returns false
// when the margins leave no picture (or lie outside the frame).
bool encCropWindowOf(int sourceWidth, int sourceHeight, uint16_t cropLeft, uint16_t cropTop,
                     uint16_t cropHorizontal, uint16_t cropVertical, int8_t cropEnabled,
                     EncCropWindow* window);

// Where a window goes in the target frame.
struct EncFitGeometry {
    EncCropWindow window;  // the part of the source that is scaled
    // The part of the target it fills (even offsets and sizes); the rest is black.
    int innerLeft = 0, innerTop = 0, innerWidth = 0, innerHeight = 0;
};

// The geometry of a fit for the crop window `window` in a target of targetWidth x
// targetHeight (even sizes). Stretch keeps the window and fills the whole target. Pad
// fills the whole target in one dimension and, in the other, the even size nearest to the
// window's aspect ratio, centred (the offset rounded down to even). Crop fills the whole
// target and narrows the window in one dimension to the even size nearest to the target's
// aspect ratio, cutting the same (even) amount from both sides, one pair of pixels more at
// the right or bottom when the cut is not a multiple of four.
EncFitGeometry encFitGeometryOf(const EncCropWindow& window, int targetWidth, int targetHeight,
                                PictureFit fit);

// Scale step in 8.8 fixed point: input samples per output sample x 256, truncated, kept in
// 16 bits.
uint16_t encScaleStep(int inputSize, int outputSize);

// Nearest integer of x, ties to the even integer.
int encNearest(double x);

// Nearest(weightedSum / 256.0) for a non-negative weighted sum of two samples, in integers.
inline int encRoundWeighted(int weightedSum) {
    const int q = weightedSum >> 8, r = weightedSum & 255;
    const int v = r > 128 ? q + 1 : (r == 128 ? q + (q & 1) : q);
    return v > 255 ? 255 : v;
}

// Prepares frames of one source size for one target size.
class EncFramePreparer {
  public:
    // Sizes the scratch frames; sizes must be positive. The window fills the whole target.
    void setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
               const EncCropWindow& window);
    // The same for a window that fills a part of the target (encFitGeometryOf).
    void setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
               const EncFitGeometry& geometry);

    // source: planar 4:2:0, contiguous (sourceWidth x sourceHeight luma, then
    // (sourceWidth/2) x (sourceHeight/2) for U and for V). result: the same layout at the
    // target size.
    void prepare(const uint8_t* source, uint8_t* result);

    uint16_t stepX() const { return m_stepX; }
    uint16_t stepY() const { return m_stepY; }
    // Area reduction factors in front of the linear filter (1: none), and the size of the
    // reduced window the linear filter takes.
    int reduceX() const { return m_reduceX; }
    int reduceY() const { return m_reduceY; }
    int scaledWidth() const { return m_inputWidth; }
    int scaledHeight() const { return m_inputHeight; }

  private:
    void cropWindow(const uint8_t* source);
    void reduceWindow(const uint8_t* source);
    void placeInner(uint8_t* result) const;

    int m_sourceWidth = 0, m_sourceHeight = 0;
    int m_targetWidth = 0, m_targetHeight = 0;
    EncFitGeometry m_geometry;
    EncCropWindow m_window;
    int m_reduceX = 1, m_reduceY = 1;
    int m_gridLeft = 0, m_gridTop = 0;        // offset of the reduction's boxes in the window
    int m_inputWidth = 0, m_inputHeight = 0;  // what the linear filter scales
    uint16_t m_stepX = 0, m_stepY = 0;
    std::vector<uint8_t> m_cropped;     // cropped (or reduced) frame and slack
    std::vector<uint8_t> m_horizontal;  // inner width x input height, and slack
    std::vector<uint8_t> m_inner;       // the scaled window when it fills part of the target
};
