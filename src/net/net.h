// net.h -- the socket layer's internal interface to the rest of the library.
// The exported netwerk_ routines (declared in vorn.h) are what the file
// table calls; this header holds what only the library itself needs.
#pragma once
#ifndef VORN_BUILDING
#error "net.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>

namespace vorn::net {

// Stops the socket service and gives the clean-up result; the library's exit
// path calls it last, and netwerk_end is this routine.
int32_t stop_service();

// A result cut to its low 16 bits and sign-extended, as the by-reference
// forms of read, write, puts and init report it.
inline int32_t low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

}  // namespace vorn::net
