#include "demux/avc_annexb.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "demux/box_records.h"
#include "demux/demux_log.h"
#include "demux/es_out.h"

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr size_t kStartCodeSize = sizeof(kStartCode);

void appendUnit(std::vector<uint8_t>* out, const uint8_t* unit, size_t size) {
    out->insert(out->end(), kStartCode, kStartCode + kStartCodeSize);
    out->insert(out->end(), unit, unit + size);
}

}  // namespace

std::vector<uint8_t> mp4_AvcParameterSets(const BoxAvcC& avcC) {
    std::vector<uint8_t> out;
    for (const std::vector<uint8_t>& sps : avcC.sps) appendUnit(&out, sps.data(), sps.size());
    for (const std::vector<uint8_t>& pps : avcC.pps) appendUnit(&out, pps.data(), pps.size());
    return out;
}

bool mp4_AvcSampleToAnnexB(Block* block, uint8_t lengthSize) {
    if (!block || block->size <= 0 || lengthSize < 1 || lengthSize > 4) return true;
    const uint8_t* in = block->buffer;
    const size_t size = static_cast<size_t>(block->size);
    std::vector<uint8_t> out;
    out.reserve(size + size / 8 + kStartCodeSize);
    size_t pos = 0;
    while (pos + lengthSize <= size) {
        size_t length = 0;
        for (uint8_t i = 0; i < lengthSize; ++i) length = length << 8 | in[pos + i];
        pos += lengthSize;
        if (length > size - pos) {
            log_Warning("H.264 sample: a NAL unit of %zu bytes runs past the sample's %zu", length,
                        size);
            break;
        }
        if (length > 0) appendUnit(&out, in + pos, length);
        pos += length;
    }
    if (out.size() > static_cast<size_t>(INT32_MAX)) return false;
    if (out.size() > static_cast<size_t>(block->capacity)) {
        uint8_t* grown = static_cast<uint8_t*>(std::realloc(block->buffer, out.size()));
        if (!grown) return false;
        block->buffer = grown;
        block->capacity = static_cast<int32_t>(out.size());
    }
    if (!out.empty()) std::memcpy(block->buffer, out.data(), out.size());
    block->size = static_cast<int32_t>(out.size());
    return true;
}
