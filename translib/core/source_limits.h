#pragma once
// The largest source picture the converter decodes (PAL D1); frame preparation crops and
// scales anything up to it to the handset size. Every buffer of the video decoder is sized
// from the picture it decodes, within these bounds.

namespace sourcelimits {

inline constexpr int kMaxSourceWidth = 720;
inline constexpr int kMaxSourceHeight = 576;

inline constexpr bool fits(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSourceWidth && height <= kMaxSourceHeight;
}

}  // namespace sourcelimits
