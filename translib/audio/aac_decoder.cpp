#include "audio/aac_decoder.h"

#include <neaacdec.h>

#include "core/context.h"

bool openAacDecoder(const uint8_t* config, int32_t length) {
    ConversionContext& c = g_context;
    // Each track opens a decoder of its own; the one kept before is closed.
    if (c.aacDecoder) NeAACDecClose(static_cast<NeAACDecHandle>(c.aacDecoder));
    NeAACDecHandle decoder = NeAACDecOpen();
    c.aacDecoder = decoder;
    g_aacParams.initialized = false;
    if (!decoder) return false;
    NeAACDecConfigurationPtr conf = NeAACDecGetCurrentConfiguration(decoder);
    conf->outputFormat = FAAD_FMT_16BIT;
    conf->downMatrix = 0;
    // Left to itself the library takes every stream of 24000 Hz or less for one that may
    // carry SBR, and doubles its rate and frame length even when it carries none: a
    // 16000 Hz stream would come out at 32000 Hz. Plain frames stay 1024 samples at the
    // stream's own rate; frames that really carry SBR still come out at the doubled rate.
    conf->dontUpSampleImplicitSBR = 1;
    NeAACDecSetConfiguration(decoder, conf);
    if (config && length > 0) {
        unsigned long rate = 0;
        unsigned char channels = 0;
        g_aacParams.initialized =
            NeAACDecInit2(decoder, const_cast<unsigned char*>(config),
                          static_cast<unsigned long>(length), &rate, &channels) >= 0;
    }
    return g_aacParams.initialized;
}
