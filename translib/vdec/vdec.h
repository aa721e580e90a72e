#pragma once
// The video decoder: turns the job's video elementary-stream file (MPEG-4 part 2 simple
// profile, or H.263 baseline as short video header) into the decoded-pictures file, a
// headerless sequence of planar YUV 4:2:0 frames.
//
// Reads g_context.moduleDir and baseName for the file names; reports through
// g_context.success (cleared when the stream is refused or decoding fails) and
// g_context.sourceWidth / sourceHeight (the size of the frames written).

void runDecoder();
