#include "demux/es_out.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/context.h"

int block_New(Block** out, int32_t n) {
    *out = nullptr;
    Block* block = new (std::nothrow) Block;
    if (!block) {
        logError("block_New, alloc mem for block CB failed");
        return -1;
    }
    block->buffer = n > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(n))) : nullptr;
    if (n > 0 && !block->buffer) {
        logError("block_New, alloc mem for data buffer failed");
        delete block;
        return -1;
    }
    block->capacity = n;
    *out = block;
    return 0;
}

void block_Free(Block* block) {
    if (!block) return;
    std::free(block->buffer);
    delete block;
}

void es_descriptor_Init(EsDescriptor* es, int32_t category, uint32_t codec) {
    *es = EsDescriptor();
    es->category = category;
    es->codec = codec;
}

namespace {

char* copyText(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

}  // namespace

void es_descriptor_Copy(EsDescriptor* dst, const EsDescriptor* src) {
    *dst = *src;
    // The texts are never set in this system; the destination gets its own copies so that
    // cleaning either descriptor never frees the other's.
    dst->language = copyText(src->language);
    dst->description = copyText(src->description);
    dst->subtitle.encoding = copyText(src->subtitle.encoding);
    dst->extra = nullptr;
    dst->extraSize = 0;
    if (src->extraSize > 0 && src->extra) {
        dst->extra = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(src->extraSize)));
        if (dst->extra) {
            std::memcpy(dst->extra, src->extra, static_cast<size_t>(src->extraSize));
            dst->extraSize = src->extraSize;
        }
    }
    dst->video.palette = nullptr;
    if (src->video.palette) {
        dst->video.palette = static_cast<uint8_t*>(std::malloc(kPaletteBytes));
        if (dst->video.palette) std::memcpy(dst->video.palette, src->video.palette, kPaletteBytes);
    }
}

void es_descriptor_Clean(EsDescriptor* es) {
    std::free(es->language);
    es->language = nullptr;
    std::free(es->description);
    es->description = nullptr;
    std::free(es->extra);
    es->extra = nullptr;
    es->extraSize = 0;
    std::free(es->video.palette);
    es->video.palette = nullptr;
    std::free(es->subtitle.encoding);
    es->subtitle.encoding = nullptr;
}
