#pragma once
// The decoded-pictures file as a sink of the decoders: the frames one after the other, each
// plane's rows without their stride.

#include <cstdint>
#include <cstdio>
#include <string>

#include "vdec/vdec.h"

class PicturesFile : public PictureSink {
  public:
    explicit PicturesFile(const std::string& path) : path_(path) {}
    ~PicturesFile() override;
    PicturesFile(const PicturesFile&) = delete;
    PicturesFile& operator=(const PicturesFile&) = delete;

    bool begin() override;
    bool put(const DecodedPicture& p) override;
    bool finish() override;

  private:
    // Writes `rows` rows of `width` bytes; false on a short write.
    bool writeRows(const uint8_t* origin, int stride, int width, int rows);

    std::string path_;
    FILE* file_ = nullptr;
};
