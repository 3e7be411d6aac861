// machine.h -- the machine folder's internal interface: the low memory
// region behind raw memory, and what the dispatcher and the foreign-routine
// layer share (machine values carried in handles).
#pragma once
#ifndef VORN_BUILDING
#error "machine.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>

#include "vorn.h"

namespace vorn::machine {

// ---- raw memory ------------------------------------------------------------

// ---- machine values in handles and foreign routines -------------------------

}  // namespace vorn::machine
