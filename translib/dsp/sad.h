#pragma once
// Sums of absolute differences and the searches built on them: the SAD of a 16x16 block
// against a reference or against the zoom plane, the encoder's integer spiral search and
// the activity of a block (its SAD against its own mean).

#include <cstdint>
#include <vector>

namespace dsp {

// SAD of the 16x16 work block `cur` (stride 16) against a reference block, summed row by
// row; once the sum of complete rows passes `limit` the sum so far is returned. sad16
// takes the reference at ref[c + r * stride] and stops when the sum reaches the limit;
// zoomSad16 takes the zoom-plane samples ref[2c + 2r * stride] and stops when it exceeds
// the limit.
using Sad16Fn = int (*)(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);

// One position of the integer search, as an offset from the zero vector's position.
struct SpiralStep {
    int16_t dx, dy;
};

// The positions of rings 1..range around the zero vector in spiral order: ring i starts
// at (+i, +i) and moves one pixel per step, 2i steps left along the bottom, 2i up the left
// edge, 2i right along the top and 2i down the right edge.
std::vector<SpiralStep> spiralOrder(int range);

// Where the integer search of one macroblock looks.
struct SearchArea {
    const SpiralStep* order;  // positions in spiral order
    int count;
    int x0, y0;         // the zero vector's position
    int width, height;  // positions lie in -16 <= x < width, -16 <= y < height
};

// The integer search: visits the positions of the area in order, skipping those outside
// its bounds; a position whose SAD against `cur` (stride 16) is below *best becomes the
// best (ties keep the earlier one). A SAD is abandoned once the sum of complete rows
// reaches *best. refOrigin is the picture origin of the reference luma.
using SpiralSearchFn = void (*)(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                                const SearchArea& area, int* best, int* bestX, int* bestY);

// Activity of a 16x16 block (stride 16): the sum of |sample - mean|, mean = sum / 256
// truncated.
using Activity16Fn = int (*)(const uint8_t* cur);

struct SadKernels {
    Sad16Fn sad16;
    Sad16Fn zoomSad16;
    SpiralSearchFn spiralSearch;
    Activity16Fn activity16;
};

// Fills the table with the plain kernels, then with the faster ones the flags allow.
void initSadKernels(unsigned cpuFlags, SadKernels* k);

}  // namespace dsp
