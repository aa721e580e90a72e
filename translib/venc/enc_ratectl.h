#pragma once
// Rate control: one quantiser per VOP from a virtual buffer of half a second and a
// quadratic rate-distortion model refitted after every P-VOP. A closed module: its state
// is private; the frame loop initialises it, asks for the quantiser of each VOP and
// reports each coded VOP.

#include <cstdint>

struct EncRateControlSettings {
    uint32_t bitRate;   // target bits per second
    double frameRate;   // nominal frame rate of the clock (dFrameRate)
    int ticksPerFrame;  // clock ticks of one coded VOP
    int intraPeriod;    // P-VOPs per group
    int intraQP;        // quantiser of the first I-VOP
};

// Starts a run: empty buffer, no model, counters 0.
void encRateControlInitialise(const EncRateControlSettings& settings);

// Prints "\t buffer fullness: %f\n" (never asks for a skip).
void encRateControlPrintFullness();

// Quantiser of the next I-VOP or P-VOP.
int encRateControlIntraQP();
int encRateControlInterQP();

// After an I-VOP of `totalBits` bits.
void encRateControlUpdateIntra(int32_t totalBits);

// After a P-VOP: its total and texture bits and the complexity sum of its motion search,
// normalised by the area of the source frame.
void encRateControlUpdateInter(int32_t totalBits, int32_t textureBits, int32_t complexitySum,
                               int sourceWidth, int sourceHeight);

// Bits of every VOP reported so far.
double encRateControlTotalBits();

// A view of the state for tests and diagnostics.
struct EncRateControlView {
    int32_t bufferFullness;  // F
    uint32_t bufferSize;     // Bs
    uint32_t frameBits;      // B
    int32_t remainingBits;   // R
    uint32_t pLeft;          // Np
    uint32_t pCount;         // Nc
    uint32_t targetBits;     // T of the last P-VOP quantiser
    uint32_t headerBits;     // H
    uint32_t minTarget;
    int curQP, prevQP;
    double x1, x2, mad, prevMad;
};
EncRateControlView encRateControlView();
