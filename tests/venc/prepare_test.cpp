// Frame preparation: crop window, scale steps, rounding, and the two scaling passes.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "venc/enc_prepare.h"
#include "venc_test_util.h"

namespace {

using venc_test::frameBytes;

std::vector<uint8_t> randomFrame(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> f(frameBytes(width, height));
    for (auto& v : f) v = static_cast<uint8_t>(rng());
    return f;
}

std::vector<uint8_t> prepare(const std::vector<uint8_t>& src, int sw, int sh, int tw, int th,
                             const EncCropWindow& window) {
    EncFramePreparer p;
    p.setup(sw, sh, tw, th, window);
    std::vector<uint8_t> out(frameBytes(tw, th));
    p.prepare(src.data(), out.data());
    return out;
}

EncCropWindow whole(int w, int h) {
    EncCropWindow win;
    EXPECT_TRUE(encCropWindowOf(w, h, 0, 0, 0, 0, 1, &win));
    return win;
}

TEST(CropWindowTest, MarginsAreMadeEven) {
    struct Case {
        uint16_t left, top, horizontal, vertical;
        int expLeft, expTop, expWidth, expHeight;
    };
    const Case cases[] = {
        {3, 0, 5, 0, 4, 0, 176 - 6, 144},  // left 3, right 2 -> 4 and 2
        {2, 0, 5, 0, 2, 0, 176 - 6, 144},  // left 2, right 3 -> 2 and 4
        {0, 1, 0, 2, 0, 2, 176, 144 - 4},  // top 1, bottom 1 -> 2 and 2
        {0, 0, 0, 0, 0, 0, 176, 144},     {60, 40, 120, 80, 60, 40, 56, 64},
    };
    for (const Case& c : cases) {
        EncCropWindow w;
        ASSERT_TRUE(encCropWindowOf(176, 144, c.left, c.top, c.horizontal, c.vertical, 1, &w));
        EXPECT_EQ(w.left, c.expLeft);
        EXPECT_EQ(w.top, c.expTop);
        EXPECT_EQ(w.width, c.expWidth);
        EXPECT_EQ(w.height, c.expHeight);
    }
    EncCropWindow w;
    ASSERT_TRUE(encCropWindowOf(176, 144, 10, 10, 20, 20, 0, &w));  // crop off: whole frame
    EXPECT_EQ(w.width, 176);
    EXPECT_EQ(w.left, 0);
}

TEST(CropWindowTest, MarginsThatLeaveNoPictureAreRefused) {
    struct Case {
        int sw, sh;
        uint16_t left, top, horizontal, vertical;
    };
    const Case cases[] = {
        {176, 144, 0, 0, 176, 0},  // nothing left horizontally
        {176, 144, 0, 0, 175, 0},  // 175 becomes 176
        {176, 144, 0, 0, 0, 144},
        {176, 144, 10, 0, 4, 0},  // left margin larger than both margins together
        {176, 144, 0, 9, 0, 3},
        {176, 144, 65535, 0, 65535, 0},  // 16-bit values near the limit
    };
    for (const Case& c : cases) {
        EncCropWindow w;
        EXPECT_FALSE(encCropWindowOf(c.sw, c.sh, c.left, c.top, c.horizontal, c.vertical, 1, &w))
            << c.left << " " << c.horizontal << " " << c.top << " " << c.vertical;
    }
}

TEST(ScalerTest, StepsAreEightPointEightFixedPoint) {
    EXPECT_EQ(encScaleStep(320, 176), 465);
    EXPECT_EQ(encScaleStep(240, 144), 426);
    EXPECT_EQ(encScaleStep(176, 176), 256);
    EXPECT_EQ(encScaleStep(4096, 16), 0);  // kept in 16 bits
}

TEST(ScalerTest, NearestRoundsTiesToEven) {
    EXPECT_EQ(encNearest(127.5), 128);
    EXPECT_EQ(encNearest(128.5), 128);
    EXPECT_EQ(encNearest(2.4), 2);
    EXPECT_EQ(encNearest(2.6), 3);
    EXPECT_EQ(encNearest(-0.5), 0);
    EXPECT_EQ(encNearest(-1.5), -2);
    EXPECT_EQ(encNearest(-2.6), -3);
    // The integer form used by the passes agrees with Nearest on every weighted sum.
    for (int sum = 0; sum <= 255 * 256; ++sum)
        ASSERT_EQ(encRoundWeighted(sum), encNearest(sum / 256.0)) << sum;
    EXPECT_EQ(encRoundWeighted(128 * 256 + 128), 128);
    EXPECT_EQ(encRoundWeighted(127 * 256 + 128), 128);
}

TEST(ScalerTest, SameSizeWithoutCropIsACopy) {
    const auto src = randomFrame(176, 144, 1);
    EXPECT_EQ(prepare(src, 176, 144, 176, 144, whole(176, 144)), src);
}

TEST(ScalerTest, HalvingTakesEveryOtherSample) {
    const auto src = randomFrame(352, 288, 2);
    const auto out = prepare(src, 352, 288, 176, 144, whole(352, 288));
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 176; ++x) ASSERT_EQ(out[y * 176 + x], src[2 * y * 352 + 2 * x]);
    const uint8_t* u = src.data() + 352 * 288;
    const uint8_t* outU = out.data() + 176 * 144;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 88; ++x) ASSERT_EQ(outU[y * 88 + x], u[2 * y * 176 + 2 * x]);
}

TEST(ScalerTest, DoublingInterpolatesWithTiesToEven) {
    // 88 x 144 -> 176 x 144: odd output columns are the rounded mean of two neighbours.
    std::vector<uint8_t> src(frameBytes(88, 144), 0);
    src[0] = 10, src[1] = 13;  // mean 11.5 -> 12
    src[2] = 11, src[3] = 14;  // 12.5 -> 12
    const auto out = prepare(src, 88, 144, 176, 144, whole(88, 144));
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 12);
    EXPECT_EQ(out[2], 13);
    EXPECT_EQ(out[5], 12);
}

TEST(ScalerTest, LastTwoRowsRepeatASourceRowUnfiltered) {
    const int sw = 176, sh = 100, th = 144;
    const auto src = randomFrame(sw, sh, 3);
    const auto out = prepare(src, sw, sh, sw, th, whole(sw, sh));
    const int step = encScaleStep(sh, th);
    for (int y = th - 2; y < th; ++y) {
        const int i0 = (y * step) >> 8;
        EXPECT_TRUE(
            std::equal(out.begin() + y * sw, out.begin() + (y + 1) * sw, src.begin() + i0 * sw))
            << y;
    }
    const int y = th - 3;  // filtered
    const int i0 = (y * step) >> 8, f = (y * step) & 255;
    EXPECT_EQ(out[y * sw + 5],
              encRoundWeighted((256 - f) * src[i0 * sw + 5] + f * src[(i0 + 1) * sw + 5]));
    // chroma: the last two of its rows are copies too
    const uint8_t* srcU = src.data() + sw * sh;
    const uint8_t* outU = out.data() + sw * th;
    for (int cy = th / 2 - 2; cy < th / 2; ++cy) {
        const int c0 = (cy * step) >> 8;
        EXPECT_TRUE(
            std::equal(outU + cy * (sw / 2), outU + (cy + 1) * (sw / 2), srcU + c0 * (sw / 2)))
            << cy;
    }
}

TEST(ScalerTest, CropTakesTheWindow) {
    const auto src = randomFrame(176, 144, 4);
    EncCropWindow w;
    ASSERT_TRUE(encCropWindowOf(176, 144, 16, 8, 48, 16, 1, &w));  // 128 x 128 window
    const auto out = prepare(src, 176, 144, 128, 128, w);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) ASSERT_EQ(out[y * 128 + x], src[(y + 8) * 176 + x + 16]);
    const uint8_t* v = src.data() + 176 * 144 + 88 * 72;
    const uint8_t* outV = out.data() + 128 * 128 + 64 * 64;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(outV[y * 64 + x], v[(y + 4) * 88 + x + 8]);
}

// A source frame whose crop window holds inside(x, y) in every plane (in the plane's own
// coordinates) and whose margins hold `nearMargin` (left, top) or `farMargin` (right,
// bottom).
template <class Inside>
std::vector<uint8_t> framedSource(int sw, int sh, const EncCropWindow& w, Inside inside,
                                  uint8_t nearMargin, uint8_t farMargin) {
    std::vector<uint8_t> f(frameBytes(sw, sh));
    uint8_t* plane = f.data();
    for (int k = 0; k < 3; ++k) {
        const int div = k == 0 ? 1 : 2;
        const int pw = sw / div, ph = sh / div;
        const int left = w.left / div, top = w.top / div;
        const int right = left + w.width / div, bottom = top + w.height / div;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x) {
                const bool near = x < left || y < top, far = x >= right || y >= bottom;
                plane[y * pw + x] = near ? nearMargin : far ? farMargin : inside(x - left, y - top);
            }
        plane += static_cast<size_t>(pw) * ph;
    }
    return f;
}

// Odd, tiny and strongly stretched sources stay inside their buffers (run under the
// address sanitizer) and take nothing but their crop window: a flat window comes out flat
// in every plane, and a ramp comes out within the ramp's values, starting with its first.
TEST(ScalerTest, OddAndTinySourcesGiveTheirWindowOnly) {
    struct Case {
        int sw, sh;
        uint16_t left, top, horizontal, vertical;
        int tw, th;
    };
    const Case cases[] = {
        {1, 1, 0, 0, 0, 0, 16, 16},
        {3, 5, 0, 0, 0, 0, 176, 144},
        {7, 5, 1, 1, 2, 2, 176, 144},
        {33, 17, 3, 1, 5, 3, 128, 96},
        {177, 145, 0, 0, 0, 0, 176, 144},
        {2000, 3, 0, 0, 0, 0, 16, 16},
        {5, 3000, 0, 0, 0, 0, 160, 128},
        {176, 144, 20, 10, 60, 40, 128, 96},
        {64, 48, 4, 2, 10, 6, 176, 144},
        {1920, 1088, 0, 0, 0, 0, 128, 96},
        {1920, 1080, 90, 30, 302, 61, 176, 144},
        {800, 480, 2, 2, 4, 4, 160, 96},
        {544, 960, 10, 0, 20, 0, 176, 144},
    };
    constexpr uint8_t kFlat = 77, kRampLow = 16, kRampHigh = 200;
    for (const Case& c : cases) {
        EncCropWindow w;
        ASSERT_TRUE(encCropWindowOf(c.sw, c.sh, c.left, c.top, c.horizontal, c.vertical, 1, &w));
        const std::string what = std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                                 std::to_string(c.tw) + "x" + std::to_string(c.th);

        const auto flat = prepare(framedSource(
                                      c.sw, c.sh, w, [](int, int) { return kFlat; }, 0, 255),
                                  c.sw, c.sh, c.tw, c.th, w);
        ASSERT_EQ(flat.size(), frameBytes(c.tw, c.th));
        EXPECT_EQ(std::count(flat.begin(), flat.end(), kFlat), static_cast<long>(flat.size()))
            << what;

        EncFramePreparer preparer;
        preparer.setup(c.sw, c.sh, c.tw, c.th, w);
        const bool reduced = preparer.reduceX() > 1 || preparer.reduceY() > 1;
        const int span = w.width + w.height;
        const auto ramp = prepare(
            framedSource(
                c.sw, c.sh, w,
                [span](int x, int y) {
                    return static_cast<uint8_t>(kRampLow + (x + y) * (kRampHigh - kRampLow) / span);
                },
                0, 255),
            c.sw, c.sh, c.tw, c.th, w);
        EXPECT_LE(*std::max_element(ramp.begin(), ramp.end()), kRampHigh) << what;
        if (!reduced) {
            EXPECT_EQ(*std::min_element(ramp.begin(), ramp.end()), kRampLow) << what;
            EXPECT_EQ(ramp[0], kRampLow) << what;
            if (w.width >= 2 && w.height >= 2) {  // U has a window of its own, starts there too
                EXPECT_EQ(ramp[static_cast<size_t>(c.tw) * c.th], kRampLow) << what;
            }
        } else {
            // The first sample is the mean of the first box, near the low end of the ramp.
            EXPECT_GE(*std::min_element(ramp.begin(), ramp.end()), kRampLow) << what;
            EXPECT_LT(ramp[0], kRampLow + (kRampHigh - kRampLow) / 4) << what;
            EXPECT_LT(ramp[static_cast<size_t>(c.tw) * c.th], kRampLow + (kRampHigh - kRampLow) / 4)
                << what;
        }
    }
}

// Windows beyond twice the target are averaged before the linear filter: one-pixel stripes
// (which the linear filter alone would sample as black or white) come out as their mean in
// every plane, and a window of twice the target or less is left to the linear filter.
TEST(ScalerTest, LargeWindowsAreAveragedFirst) {
    struct Case {
        int sw, sh, tw, th;
        int reduceX, reduceY, scaledWidth, scaledHeight;
    };
    const Case cases[] = {
        {1920, 1080, 176, 144, 10, 7, 192, 154}, {1280, 720, 128, 96, 10, 7, 128, 102},
        {800, 480, 176, 144, 4, 3, 200, 160},    {544, 960, 128, 128, 4, 7, 136, 136},
        {352, 288, 176, 144, 1, 1, 352, 288},    {353, 288, 176, 144, 2, 1, 176, 288},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                                 std::to_string(c.tw) + "x" + std::to_string(c.th);
        EncFramePreparer p;
        p.setup(c.sw, c.sh, c.tw, c.th, whole(c.sw, c.sh));
        EXPECT_EQ(p.reduceX(), c.reduceX) << what;
        EXPECT_EQ(p.reduceY(), c.reduceY) << what;
        EXPECT_EQ(p.scaledWidth(), c.scaledWidth) << what;
        EXPECT_EQ(p.scaledHeight(), c.scaledHeight) << what;
        if (c.reduceX == 1) continue;
        std::vector<uint8_t> stripes(frameBytes(c.sw, c.sh));
        for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i & 1) ? 240 : 16;
        std::vector<uint8_t> out(frameBytes(c.tw, c.th));
        p.prepare(stripes.data(), out.data());
        for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], 128, 12) << what << " " << i;
    }
}

TEST(FitTest, GeometryOfEachFit) {
    // A window of w x h fitted into tw x th: the window kept {left, top, width, height} and
    // the inner rectangle of the target it fills {left, top, width, height}.
    struct Case {
        PictureFit fit;
        int w, h, tw, th;
        int window[4], inner[4];
    };
    using F = PictureFit;
    const Case cases[] = {
        {F::Stretch, 544, 960, 176, 144, {0, 0, 544, 960}, {0, 0, 176, 144}},
        {F::Pad, 544, 960, 176, 144, {0, 0, 544, 960}, {46, 0, 82, 144}},
        {F::Crop, 544, 960, 176, 144, {0, 256, 544, 446}, {0, 0, 176, 144}},
        {F::Pad, 1920, 1080, 176, 144, {0, 0, 1920, 1080}, {0, 22, 176, 100}},
        {F::Crop, 1920, 1080, 176, 144, {300, 0, 1320, 1080}, {0, 0, 176, 144}},
        {F::Pad, 352, 288, 176, 144, {0, 0, 352, 288}, {0, 0, 176, 144}},   // same aspect
        {F::Crop, 176, 144, 176, 144, {0, 0, 176, 144}, {0, 0, 176, 144}},  // same aspect
        {F::Pad, 480, 480, 160, 96, {0, 0, 480, 480}, {32, 0, 96, 96}},     // square in wide
        {F::Crop, 800, 480, 128, 128, {160, 0, 480, 480}, {0, 0, 128, 128}},
        {F::Pad, 1920, 8, 128, 96, {0, 0, 1920, 8}, {0, 46, 128, 2}},  // a thin line
    };
    for (const Case& c : cases) {
        EncCropWindow window;
        window.width = c.w;
        window.height = c.h;
        const EncFitGeometry g = encFitGeometryOf(window, c.tw, c.th, c.fit);
        const std::vector<int> got = {g.window.left, g.window.top, g.window.width, g.window.height,
                                      g.innerLeft,   g.innerTop,   g.innerWidth,   g.innerHeight};
        const std::vector<int> expected = {c.window[0], c.window[1], c.window[2], c.window[3],
                                           c.inner[0],  c.inner[1],  c.inner[2],  c.inner[3]};
        EXPECT_EQ(got, expected) << pictureFitName(c.fit) << " " << c.w << "x" << c.h << " in "
                                 << c.tw << "x" << c.th;
    }
    // The crop fit narrows the window the user's margins left, inside those margins.
    EncCropWindow cropped;
    ASSERT_TRUE(encCropWindowOf(1280, 720, 100, 20, 200, 40, 1, &cropped));  // 1080 x 680
    const EncFitGeometry g = encFitGeometryOf(cropped, 176, 144, PictureFit::Crop);
    EXPECT_EQ(g.window.top, 20);
    EXPECT_EQ(g.window.height, 680);
    EXPECT_EQ(g.window.width, 832);  // 680 * 176 / 144 = 831.1
    EXPECT_EQ(g.window.left, 100 + 124);
}

// Padding paints video black around the scaled picture, in every plane, and the picture
// keeps its own samples; the same source stretched has no black at all.
TEST(FitTest, PadPaintsBlackAroundThePicture) {
    const int sw = 544, sh = 960, tw = 176, th = 144;
    std::vector<uint8_t> src(frameBytes(sw, sh), 200);
    EncCropWindow window = whole(sw, sh);
    const EncFitGeometry g = encFitGeometryOf(window, tw, th, PictureFit::Pad);
    EncFramePreparer p;
    p.setup(sw, sh, tw, th, g);
    std::vector<uint8_t> out(frameBytes(tw, th));
    p.prepare(src.data(), out.data());
    const uint8_t* plane = out.data();
    for (int k = 0; k < 3; ++k) {
        const int div = k == 0 ? 1 : 2, pw = tw / div, ph = th / div;
        const int left = g.innerLeft / div, right = left + g.innerWidth / div;
        const uint8_t black = k == 0 ? 16 : 128;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x)
                ASSERT_EQ(plane[y * pw + x], x >= left && x < right ? 200 : black)
                    << "plane " << k << " at " << x << "," << y;
        plane += static_cast<size_t>(pw) * ph;
    }
    const auto stretched = prepare(src, sw, sh, tw, th, window);
    EXPECT_EQ(std::count(stretched.begin(), stretched.end(), 200),
              static_cast<long>(stretched.size()));
}

}  // namespace
