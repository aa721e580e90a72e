#include "mp4_builder.h"

#include <algorithm>
#include <stdexcept>

namespace mp4test {

Bytes& Bytes::u8(uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    return *this;
}
Bytes& Bytes::u16(uint32_t x) {
    return u8(x >> 8).u8(x);
}
Bytes& Bytes::u24(uint32_t x) {
    return u8(x >> 16).u16(x);
}
Bytes& Bytes::u32(uint32_t x) {
    return u16(x >> 16).u16(x);
}
Bytes& Bytes::u64(uint64_t x) {
    return u32(static_cast<uint32_t>(x >> 32)).u32(static_cast<uint32_t>(x));
}
Bytes& Bytes::fourcc(const std::string& s) {
    for (size_t i = 0; i < 4; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : ' ');
    return *this;
}
Bytes& Bytes::raw(const std::vector<uint8_t>& bytes) {
    v.insert(v.end(), bytes.begin(), bytes.end());
    return *this;
}
Bytes& Bytes::zeros(size_t n) {
    v.insert(v.end(), n, 0);
    return *this;
}

Box box(const std::string& type, const std::vector<uint8_t>& payload,
        const std::vector<Box>& children) {
    Box b;
    b.type = type;
    b.payload = payload;
    b.children = children;
    return b;
}

Box fullBox(const std::string& type, uint8_t version, uint32_t flags,
            const std::vector<uint8_t>& payload, const std::vector<Box>& children) {
    Bytes p;
    p.u8(version).u24(flags).raw(payload);
    return box(type, p.v, children);
}

std::vector<uint8_t> serialize(const Box& b) {
    std::vector<uint8_t> body = b.payload;
    for (const Box& c : b.children) {
        std::vector<uint8_t> child = serialize(c);
        body.insert(body.end(), child.begin(), child.end());
    }
    Bytes out;
    if (b.largeSize)
        out.u32(1).fourcc(b.type).u64(body.size() + 16);
    else
        out.u32(static_cast<uint32_t>(body.size() + 8)).fourcc(b.type);
    return out.raw(body).v;
}

std::vector<uint8_t> serialize(const std::vector<Box>& boxes) {
    std::vector<uint8_t> out;
    for (const Box& b : boxes) {
        std::vector<uint8_t> s = serialize(b);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

TrackLayout videoTrack(uint32_t samples, uint32_t timeScale, uint32_t delta, uint32_t size) {
    TrackLayout t;
    t.sampleSizes.assign(samples, size);
    t.timeScale = timeScale;
    t.stts = {{samples, delta}};
    return t;
}

TrackLayout amrTrack(uint32_t samples, uint32_t trackId) {
    TrackLayout t;
    t.video = false;
    t.trackId = trackId;
    t.entryType = "samr";
    t.timeScale = 8000;
    t.constantSize = 32;
    t.sampleCount = samples;
    t.stts = {{samples, 160}};
    return t;
}

TrackLayout aacTrack(uint16_t rate, uint16_t channels, const std::vector<uint8_t>& config,
                     uint32_t samples, uint32_t size, uint32_t trackId) {
    TrackLayout t;
    t.video = false;
    t.trackId = trackId;
    t.entryType = "mp4a";
    t.timeScale = rate;
    t.sampleRate = rate;
    t.channels = channels;
    t.objectType = 0x40;
    t.decoderSpecific = config;
    t.sampleSizes.assign(samples, size);
    t.stts = {{samples, 1024}};
    return t;
}

MovieLayout movieOf(const std::vector<TrackLayout>& tracks, uint32_t timeScale) {
    MovieLayout m;
    m.timeScale = timeScale;
    m.tracks = tracks;
    return m;
}

uint8_t sampleByte(size_t track, uint32_t sample, uint32_t i) {
    return static_cast<uint8_t>(track * 64 + sample * 7 + i);
}

namespace {

uint32_t sampleCountOf(const TrackLayout& t) {
    return t.constantSize ? t.sampleCount : static_cast<uint32_t>(t.sampleSizes.size());
}

uint32_t sizeOf(const TrackLayout& t, uint32_t s) {
    return t.constantSize ? t.constantSize : t.sampleSizes[s];
}

std::vector<uint32_t> chunksOf(const TrackLayout& t) {
    if (!t.chunkSamples.empty()) return t.chunkSamples;
    return {sampleCountOf(t)};
}

Box sampleEntry(const TrackLayout& t, const std::string& type) {
    Bytes p;
    p.zeros(6).u16(1);
    std::vector<Box> children;
    if (t.objectType >= 0) {
        Bytes d;  // ES descriptor with a decoder configuration and specific info
        Bytes dsi;
        dsi.u8(0x05).u8(static_cast<uint32_t>(t.decoderSpecific.size())).raw(t.decoderSpecific);
        Bytes dc;
        dc.u8(static_cast<uint32_t>(t.objectType))
            .u8(t.video ? 0x11 : 0x15)
            .u24(0)
            .u32(0)
            .u32(0)
            .raw(dsi.v);
        Bytes es;
        es.u16(1)
            .u8(0)
            .u8(0x04)
            .u8(static_cast<uint32_t>(dc.v.size()))
            .raw(dc.v)
            .u8(0x06)
            .u8(1)
            .u8(2);
        d.u8(0x03).u8(static_cast<uint32_t>(es.v.size())).raw(es.v);
        children.push_back(fullBox("esds", 0, 0, d.v));
    }
    if (type == "samr")
        children.push_back(box("damr", Bytes().fourcc("test").u8(0).u16(0x81ff).u8(0).u8(1).v));
    if (t.video) {
        p.u16(0).u16(0).u32(0).u32(0).u32(0).u16(t.width).u16(t.height).u32(0x480000).u32(0x480000);
        p.u32(0).u16(1).zeros(32).u16(24).u16(0xFFFF);
    } else {
        p.u16(t.entryVersion)
            .u16(0)
            .u32(0)
            .u16(t.channels)
            .u16(16)
            .u16(0)
            .u16(0)
            .u16(t.sampleRate)
            .u16(0);
        if (t.entryVersion == 1) p.u32(1).u32(1).u32(2).u32(2);
    }
    return box(type, p.v, children);
}

Box replaced(const TrackLayout& t, const Box& b) {
    auto it = t.replace.find(b.type);
    if (it == t.replace.end()) return b;
    Box r = b;
    r.payload = it->second;
    r.children.clear();
    return r;
}

// The sample table with the given chunk offsets.
Box sampleTable(const TrackLayout& t, const std::vector<uint64_t>& offsets) {
    const uint32_t count = sampleCountOf(t);
    std::vector<Box> stbl;
    {
        Bytes p;
        uint32_t entries = 1 + static_cast<uint32_t>(t.moreEntryTypes.size());
        p.u32(entries);
        std::vector<Box> entryBoxes = {sampleEntry(t, t.entryType)};
        for (const std::string& more : t.moreEntryTypes) entryBoxes.push_back(sampleEntry(t, more));
        stbl.push_back(fullBox("stsd", 0, 0, p.v, entryBoxes));
    }
    {
        auto stts = t.stts;
        if (stts.empty()) stts.push_back({count, 1000});
        Bytes p;
        p.u32(static_cast<uint32_t>(stts.size()));
        for (auto& e : stts) p.u32(e.first).u32(e.second);
        stbl.push_back(fullBox("stts", 0, 0, p.v));
    }
    if (!t.stss.empty()) {
        Bytes p;
        p.u32(static_cast<uint32_t>(t.stss.size()));
        for (uint32_t s : t.stss) p.u32(s);
        stbl.push_back(fullBox("stss", 0, 0, p.v));
    }
    {
        std::vector<uint32_t> chunks = chunksOf(t);
        Bytes entries;
        uint32_t n = 0;
        for (size_t c = 0; c < chunks.size(); ++c) {
            uint32_t desc = c < t.chunkEntry.size() ? t.chunkEntry[c] : 1;
            bool same = c > 0 && chunks[c] == chunks[c - 1] &&
                        desc == (c - 1 < t.chunkEntry.size() ? t.chunkEntry[c - 1] : 1);
            if (same) continue;
            entries.u32(static_cast<uint32_t>(c + 1)).u32(chunks[c]).u32(desc);
            ++n;
        }
        Bytes p;
        p.u32(n).raw(entries.v);
        stbl.push_back(fullBox("stsc", 0, 0, p.v));
    }
    {
        Bytes p;
        p.u32(t.constantSize).u32(count);
        if (!t.constantSize)
            for (uint32_t s : t.sampleSizes) p.u32(s);
        stbl.push_back(fullBox("stsz", 0, 0, p.v));
    }
    {
        Bytes p;
        p.u32(static_cast<uint32_t>(offsets.size()));
        for (uint64_t o : offsets) {
            if (t.use64BitOffsets)
                p.u64(o);
            else
                p.u32(static_cast<uint32_t>(o));
        }
        stbl.push_back(fullBox(t.use64BitOffsets ? "co64" : "stco", 0, 0, p.v));
    }
    std::vector<Box> kept;
    for (const Box& b : stbl) {
        if (std::find(t.drop.begin(), t.drop.end(), b.type) != t.drop.end()) continue;
        kept.push_back(replaced(t, b));
    }
    return box("stbl", {}, kept);
}

Box trackBox(const MovieLayout& m, const TrackLayout& t, const std::vector<uint64_t>& offsets) {
    std::vector<Box> trak;
    {
        Bytes p;
        p.u32(0).u32(0).u32(t.trackId).u32(0).u32(static_cast<uint32_t>(m.duration)).zeros(8);
        p.u16(0).u16(0).u16(t.video ? 0 : 0x100).u16(0);
        p.u32(0x10000).u32(0).u32(0).u32(0).u32(0x10000).u32(0).u32(0).u32(0).u32(0x40000000);
        p.u32(t.video ? t.width << 16 : 0).u32(t.video ? t.height << 16 : 0);
        trak.push_back(replaced(t, fullBox("tkhd", 0, 1, p.v)));
    }
    if (!t.edits.empty()) {
        Bytes p;
        p.u32(static_cast<uint32_t>(t.edits.size()));
        for (const EditEntry& e : t.edits)
            p.u32(static_cast<uint32_t>(e.duration))
                .u32(static_cast<uint32_t>(e.mediaTime))
                .u16(static_cast<uint16_t>(e.rate))
                .u16(0);
        trak.push_back(box("edts", {}, {fullBox("elst", 0, 0, p.v)}));
    }
    std::vector<Box> minf;
    if (t.video)
        minf.push_back(fullBox("vmhd", 0, 1, Bytes().u16(0).u16(0).u16(0).u16(0).v));
    else
        minf.push_back(fullBox("smhd", 0, 0, Bytes().u16(0).u16(0).v));
    minf.push_back(
        box("dinf", {}, {fullBox("dref", 0, 0, Bytes().u32(1).v, {fullBox("url ", 0, 1)})}));
    minf.push_back(sampleTable(t, offsets));
    std::string handler = !t.handler.empty() ? t.handler : (t.video ? "vide" : "soun");
    std::vector<Box> mdia = {
        replaced(t, fullBox("mdhd", 0, 0,
                            Bytes().u32(0).u32(0).u32(t.timeScale).u32(0).u16(0x15C7).u16(0).v)),
        replaced(t, fullBox("hdlr", 0, 0, Bytes().u32(0).fourcc(handler).zeros(12).u8(0).v)),
        box("minf", {}, minf)};
    for (const std::string& d : t.drop) {
        mdia.erase(
            std::remove_if(mdia.begin(), mdia.end(), [&](const Box& b) { return b.type == d; }),
            mdia.end());
        trak.erase(
            std::remove_if(trak.begin(), trak.end(), [&](const Box& b) { return b.type == d; }),
            trak.end());
    }
    trak.push_back(box("mdia", {}, mdia));
    return box("trak", {}, trak);
}

Box movieBox(const MovieLayout& m, const std::vector<std::vector<uint64_t>>& offsets) {
    Bytes p;
    p.u32(0)
        .u32(0)
        .u32(m.timeScale)
        .u32(static_cast<uint32_t>(m.duration))
        .u32(0x10000)
        .u16(0x100)
        .zeros(10);
    p.u32(0x10000).u32(0).u32(0).u32(0).u32(0x10000).u32(0).u32(0).u32(0).u32(0x40000000).zeros(24);
    p.u32(static_cast<uint32_t>(m.tracks.size() + 1));
    std::vector<Box> moov = {fullBox("mvhd", 0, 0, p.v)};
    for (size_t i = 0; i < m.tracks.size(); ++i)
        moov.push_back(trackBox(m, m.tracks[i], offsets[i]));
    return box("moov", {}, moov);
}

}  // namespace

std::vector<uint8_t> buildMovie(const MovieLayout& m) {
    Box ftyp = box(m.firstBox, Bytes().fourcc("3gp5").u32(0x200).fourcc("3gp5").fourcc("isom").v);
    // Lay the samples out chunk after chunk, track after track.
    std::vector<uint8_t> media;
    std::vector<std::vector<uint64_t>> relative(m.tracks.size());
    for (size_t ti = 0; ti < m.tracks.size(); ++ti) {
        const TrackLayout& t = m.tracks[ti];
        uint32_t sample = 0;
        const uint32_t count = sampleCountOf(t);
        for (uint32_t n : chunksOf(t)) {
            relative[ti].push_back(media.size());
            for (uint32_t k = 0; k < n && sample < count; ++k, ++sample)
                for (uint32_t i = 0; i < sizeOf(t, sample); ++i)
                    media.push_back(sampleByte(ti, sample, i));
        }
    }
    // Offsets depend on where mdat starts, which depends on the size of moov when it
    // comes first; the offsets do not change that size.
    auto withBase = [&](uint64_t base) {
        std::vector<std::vector<uint64_t>> o = relative;
        for (auto& v : o)
            for (auto& x : v) x += base;
        return o;
    };
    std::vector<uint8_t> ftypBytes = serialize(ftyp);
    Box mdat = box("mdat", media);
    if (m.moovLast) {
        uint64_t base = ftypBytes.size() + 8;
        return serialize({ftyp, mdat, movieBox(m, withBase(base))});
    }
    size_t moovSize = serialize(movieBox(m, withBase(0))).size();
    uint64_t base = ftypBytes.size() + moovSize + 8;
    return serialize({ftyp, movieBox(m, withBase(base)), mdat});
}

}  // namespace mp4test
