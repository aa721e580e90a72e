#pragma once
// H.264 in the form a decoder reads from a plain stream: the parameter sets of the avcC box
// and every sample with start codes in place of its NAL unit lengths (Annex B byte stream).

#include <cstdint>
#include <vector>

struct BoxAvcC;
struct Block;

// The sequence and picture parameter sets of `avcC`, each behind a start code.
std::vector<uint8_t> mp4_AvcParameterSets(const BoxAvcC& avcC);

// Rewrites the sample in `block`, NAL units each led by a big-endian length of
// `lengthSize` bytes (1, 2 or 4), as start-code-led NAL units. A length that runs past the
// end of the sample ends it: the NAL units before it are kept. Returns false when the
// block's buffer could not be grown (the block is then unchanged).
bool mp4_AvcSampleToAnnexB(Block* block, uint8_t lengthSize);
