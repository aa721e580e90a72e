#pragma once
// Frame preparation: cuts the crop margins from a decoded source frame and stretches what
// is left to the target size with a separable linear filter in 8.8 fixed point.

#include <cstdint>
#include <vector>

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
    // Sizes the scratch frames; sizes must be positive.
    void setup(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
               const EncCropWindow& window);

    // source: planar 4:2:0, contiguous (sourceWidth x sourceHeight luma, then
    // (sourceWidth/2) x (sourceHeight/2) for U and for V). result: the same layout at the
    // target size.
    void prepare(const uint8_t* source, uint8_t* result);

    uint16_t stepX() const { return m_stepX; }
    uint16_t stepY() const { return m_stepY; }

  private:
    int m_sourceWidth = 0, m_sourceHeight = 0;
    int m_targetWidth = 0, m_targetHeight = 0;
    EncCropWindow m_window;
    uint16_t m_stepX = 0, m_stepY = 0;
    std::vector<uint8_t> m_cropped;     // cropped frame (window size) and slack
    std::vector<uint8_t> m_horizontal;  // target width x window height, and slack
};
