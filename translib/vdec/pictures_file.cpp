// The decoded-pictures file as a sink of the decoders.

#include "vdec/pictures_file.h"

PicturesFile::~PicturesFile() {
    if (file_) std::fclose(file_);
}

bool PicturesFile::begin() {
    file_ = std::fopen(path_.c_str(), "wb");
    return file_ != nullptr;
}

bool PicturesFile::put(const DecodedPicture& p) {
    return writeRows(p.y, p.lumaStride, p.width, p.height) &&
           writeRows(p.u, p.chromaStride, p.width / 2, p.height / 2) &&
           writeRows(p.v, p.chromaStride, p.width / 2, p.height / 2);
}

bool PicturesFile::finish() {
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
}

bool PicturesFile::writeRows(const uint8_t* origin, int stride, int width, int rows) {
    for (int y = 0; y < rows; ++y) {
        if (std::fwrite(origin + y * stride, 1, size_t(width), file_) != size_t(width))
            return false;
    }
    return true;
}
