#pragma once
// The decoding session: the buffers of a job, the frame loop over the pictures of the
// stream, and the frame writer.

// Creates the picture buffers for g_volmd's size from the pool (both frames mid-grey).
// Returns false, with the job failed, when they do not fit.
bool createBuffers();

// Decodes every picture of the stream, writing one frame per picture.
void runFrameLoop();

// Hands the current frame to the run's sink; a refusal fails the run.
void writeFrame();
