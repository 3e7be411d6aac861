// runner.h -- runs a random program through vorn and through the reference
// model side by side, step by step, and says where they part.
#pragma once

#include <string>

#include "program.h"

namespace diff {

// Counters shared with the parent process (they live in shared memory), so
// they survive a child that dies.
struct Progress {
    long program = -1;  // the program running now
    long step = -1;     // its step running now
    long programs = 0;  // finished programs
    long steps = 0;     // steps run through vorn
    long fatal = 0;     // of those, steps whose fatal report was checked in a child
    long skipped = 0;   // steps the rules leave open, not run
};

// Print each step and the model's variables after it on standard error.
extern bool trace_steps;

// Records handed out and not on the free list.
int live_records();

// Runs `program`; returns an empty string when vorn and the model agree at
// every step and every record is back on the free list at the end, else a
// description of the first difference ("<kind> at step <n> <op>: ...").
// The object table starts the program with `room` records to spare, so that
// it grows (and moves) at a chosen moment.
std::string run_program(const Program &program, Progress &progress, int room);

}  // namespace diff
