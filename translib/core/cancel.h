#pragma once
// Cancelling the running job. Any thread, or a signal handler, may ask for it; the
// pipeline's long loops (the demultiplexing steps, the decoder's and the encoder's frame
// loops, the audio decoding and encoding) look at the flag, and the job then fails the way
// any failed job does: its temporary files and its unfinished output are removed.
//
// The flag stays set until the caller clears it: a request made just before a job starts
// is not lost, and clearing it before the next job is the caller's.

// Asks the running job (or the next one) to stop. Lock-free: safe in a signal handler.
void cancelJob();

// True once cancelJob() has been called and until clearJobCancel().
bool jobCancelled();

void clearJobCancel();
