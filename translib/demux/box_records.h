#pragma once
// Parsed contents of every box type with a reader. Fields in file order; arrays and texts
// are owned by the record. Four-character codes are kept as their bytes in file order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demux/box.h"

template <BoxKind K>
struct BoxRecord : BoxData {
    static constexpr BoxKind kKind = K;
    BoxRecord() : BoxData(K) {}
};

struct BoxFtyp : BoxRecord<BoxKind::Ftyp> {
    uint32_t majorBrand = 0;
    uint32_t minorVersion = 0;
    std::vector<uint32_t> compatibleBrands;
};

struct BoxMvhd : BoxRecord<BoxKind::Mvhd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint64_t creationTime = 0, modificationTime = 0;
    uint32_t timeScale = 0;
    uint64_t duration = 0;
    uint32_t rate = 0;    // 16.16
    uint16_t volume = 0;  // 8.8
    uint16_t reserved1 = 0;
    uint32_t reserved2[2] = {};
    uint32_t matrix[9] = {};
    uint32_t predefined[6] = {};
    uint32_t nextTrackId = 0;
};

struct BoxTkhd : BoxRecord<BoxKind::Tkhd> {
    uint8_t version = 0;
    uint32_t flags = 0;  // bit 0: track enabled
    uint64_t creationTime = 0, modificationTime = 0;
    uint32_t trackId = 0;
    uint32_t reserved = 0;
    uint64_t duration = 0;
    uint32_t reserved2[2] = {};
    int16_t layer = 0;
    int16_t predefined = 0;
    int16_t volume = 0;  // 8.8
    uint16_t reserved3 = 0;
    uint32_t matrix[9] = {};
    int32_t width = 0;   // 16.16
    int32_t height = 0;  // 16.16
};

struct BoxMdhd : BoxRecord<BoxKind::Mdhd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint64_t creationTime = 0, modificationTime = 0;
    uint32_t timeScale = 0;
    uint64_t duration = 0;
    char language[3] = {};
    uint16_t predefined = 0;
};

struct BoxHdlr : BoxRecord<BoxKind::Hdlr> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t predefined = 0;
    uint32_t handlerType = 0;
    std::string name;
};

struct BoxVmhd : BoxRecord<BoxKind::Vmhd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint16_t graphicsMode = 0;
    uint16_t opcolor[3] = {};
};

struct BoxSmhd : BoxRecord<BoxKind::Smhd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    int16_t balance = 0;  // 8.8
    uint16_t reserved = 0;
};

struct BoxHmhd : BoxRecord<BoxKind::Hmhd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint16_t maxPduSize = 0, avgPduSize = 0;
    uint32_t maxBitrate = 0, avgBitrate = 0, slidingAvgBitrate = 0;
};

struct BoxDref : BoxRecord<BoxKind::Dref> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;
};

struct BoxUrl : BoxRecord<BoxKind::Url> {
    uint8_t version = 0;
    uint32_t flags = 0;
    bool hasLocation = false;
    std::string location;
};

struct BoxUrn : BoxRecord<BoxKind::Urn> {
    uint8_t version = 0;
    uint32_t flags = 0;
    bool hasName = false, hasLocation = false;
    std::string name, location;
};

struct BoxStsd : BoxRecord<BoxKind::Stsd> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;
};

struct BoxSoundEntry : BoxRecord<BoxKind::SoundEntry> {
    uint8_t reserved[6] = {};
    uint16_t dataReferenceIndex = 0;
    std::vector<uint8_t> qtDescription;  // every byte after the data reference index
    uint16_t version = 0;
    uint16_t revisionLevel = 0;
    uint32_t vendor = 0;
    uint16_t channelCount = 0;
    uint16_t sampleSize = 0;
    uint16_t predefined = 0;
    uint16_t reserved2 = 0;
    uint16_t sampleRateHi = 0, sampleRateLo = 0;
    uint32_t samplesPerPacket = 0, bytesPerPacket = 0, bytesPerFrame = 0, bytesPerSample = 0;
};

struct BoxVideoEntry : BoxRecord<BoxKind::VideoEntry> {
    uint8_t reserved[6] = {};
    uint16_t dataReferenceIndex = 0;
    std::vector<uint8_t> qtImageDescription;  // every byte after the data reference index
    uint16_t version = 0;
    uint16_t revisionLevel = 0;
    uint32_t vendor = 0;
    uint32_t temporalQuality = 0, spatialQuality = 0;
    uint16_t width = 0, height = 0;
    uint32_t horizResolution = 0, vertResolution = 0;
    uint32_t dataSize = 0;
    uint16_t frameCount = 0;
    uint8_t compressorName[32] = {};
    uint16_t depth = 0;
    uint16_t colorTableId = 0;
};

struct BoxD263 : BoxRecord<BoxKind::D263> {
    uint32_t vendor = 0;
    uint8_t decoderVersion = 0, level = 0, profile = 0;
};

struct BoxDamr : BoxRecord<BoxKind::Damr> {
    uint32_t vendor = 0;
    uint8_t decoderVersion = 0;
    uint16_t modeSet = 0;
    uint8_t modeChangePeriod = 0;
    uint8_t framesPerSample = 0;
};

struct DecoderConfig {
    uint8_t objectTypeIndication = 0;
    uint8_t streamType = 0;
    bool upStream = false;
    uint32_t bufferSize = 0, maxBitrate = 0, avgBitrate = 0;
    std::vector<uint8_t> decoderSpecificInfo;
};

struct BoxEsds : BoxRecord<BoxKind::Esds> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint16_t esId = 0;
    bool streamDependence = false, urlFlag = false, ocrStream = false;
    uint8_t streamPriority = 0;
    uint16_t dependOnEsId = 0;
    bool hasUrl = false;
    std::string url;
    uint16_t ocrEsId = 0;
    std::unique_ptr<DecoderConfig> decConfig;
};

struct BoxAvcC : BoxRecord<BoxKind::AvcC> {
    std::vector<uint8_t> raw;  // the whole payload, handed on as extra data
    uint8_t version = 0, profile = 0, profileCompatibility = 0, level = 0;
    uint8_t reserved1 = 0, lengthSize = 0;
    uint8_t reserved2 = 0, spsCount = 0;
    std::vector<std::vector<uint8_t>> sps;
    uint8_t ppsCount = 0;
    std::vector<std::vector<uint8_t>> pps;
};

// stts (count, delta), ctts (count, offset), stsh (shadowed, sync).
struct BoxPairTable : BoxRecord<BoxKind::PairTable> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;  // entries kept (those the box holds)
    std::vector<uint32_t> first, second;
};

struct BoxStsc : BoxRecord<BoxKind::Stsc> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;  // entries kept (those the box holds)
    std::vector<uint32_t> firstChunk, samplesPerChunk, sampleDescriptionIndex;
};

struct BoxStsz : BoxRecord<BoxKind::Stsz> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t sampleSize = 0;          // 0: per-sample sizes
    uint32_t sampleCount = 0;         // as declared
    std::vector<uint32_t> entrySize;  // per-sample sizes the box holds (sampleSize 0 only)
};

// stco and co64, offsets kept as 64-bit.
struct BoxStco : BoxRecord<BoxKind::Stco> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;  // entries kept (those the box holds)
    std::vector<uint64_t> chunkOffset;
};

struct BoxStss : BoxRecord<BoxKind::Stss> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;             // entries kept (those the box holds)
    std::vector<uint32_t> sampleNumber;  // counted from 0
};

struct BoxStdp : BoxRecord<BoxKind::Stdp> {
    uint8_t version = 0;
    uint32_t flags = 0;
    std::vector<uint16_t> priority;
};

struct BoxPadb : BoxRecord<BoxKind::Padb> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t sampleCount = 0;
    std::vector<uint8_t> pad1, pad2;
};

struct BoxElst : BoxRecord<BoxKind::Elst> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t entryCount = 0;                // entries kept (those the box holds)
    std::vector<uint64_t> segmentDuration;  // movie units
    std::vector<int64_t> mediaTime;         // -1: an empty edit
    std::vector<int16_t> mediaRateInteger, mediaRateFraction;
};

struct BoxCprt : BoxRecord<BoxKind::Cprt> {
    uint8_t version = 0;
    uint32_t flags = 0;
    char language[3] = {};
    bool hasNotice = false;
    std::string notice;
};

struct BoxCmov : BoxRecord<BoxKind::Cmov> {
    Mp4Box* moov = nullptr;  // decompressed movie box: never made (not supported)
};

struct BoxDcom : BoxRecord<BoxKind::Dcom> {
    uint32_t algorithm = 0;
};

struct BoxCmvd : BoxRecord<BoxKind::Cmvd> {
    uint32_t uncompressedSize = 0;
    std::vector<uint8_t> data;
    bool compressed = false;
};

struct BoxRdrf : BoxRecord<BoxKind::Rdrf> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t refType = 0;
    uint32_t refDataLength = 0;
    bool hasRefData = false;
    std::string refData;
};

struct BoxRmdr : BoxRecord<BoxKind::Rmdr> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t rate = 0;
};

struct BoxRmqu : BoxRecord<BoxKind::Rmqu> {
    uint32_t quality = 0;
};

struct BoxRmvc : BoxRecord<BoxKind::Rmvc> {
    uint8_t version = 0;
    uint32_t flags = 0;
    uint32_t gestaltType = 0;
    uint32_t val1 = 0, val2 = 0;
    uint16_t checkType = 0;
};

// Text entries (the (c)nam family).
struct BoxText : BoxRecord<BoxKind::Text> {
    bool hasText = false;
    std::string text;
};
