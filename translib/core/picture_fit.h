#pragma once
// How a picture whose aspect ratio is not the handset's is fitted into the handset size
// once the crop margins are cut away.

#include <cstdint>
#include <string>

enum class PictureFit : uint8_t {
    Stretch,  // the whole picture fills the handset size, its aspect ratio changes
    Pad,      // the whole picture keeps its aspect ratio; black bars fill the rest
    Crop,     // the picture keeps its aspect ratio and fills the size; the overflow is cut
};

inline const char* pictureFitName(PictureFit fit) {
    switch (fit) {
        case PictureFit::Pad:
            return "pad";
        case PictureFit::Crop:
            return "crop";
        case PictureFit::Stretch:
            break;
    }
    return "stretch";
}

// The fit named "stretch", "pad" or "crop"; false for another name.
inline bool pictureFitOfName(const std::string& name, PictureFit* fit) {
    for (PictureFit f : {PictureFit::Stretch, PictureFit::Pad, PictureFit::Crop}) {
        if (name == pictureFitName(f)) {
            *fit = f;
            return true;
        }
    }
    return false;
}
