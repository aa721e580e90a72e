#pragma once
// The largest source picture the converter decodes (1920x1088: 1080p as H.264 codes it,
// in whole macroblocks); frame preparation crops and reduces anything up to it to the
// handset size. Every buffer of the video decoder is sized from the picture it decodes,
// within these bounds, and the decoded pictures reach the encoder through a queue of a few
// pictures, so memory and disk use do not grow with the length of the source.

namespace sourcelimits {

inline constexpr int kMaxSourceWidth = 1920;
inline constexpr int kMaxSourceHeight = 1088;

inline constexpr bool fits(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSourceWidth && height <= kMaxSourceHeight;
}

}  // namespace sourcelimits
