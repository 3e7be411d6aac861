// net.h -- the socket layer's internal interface to the rest of the library.
#pragma once
#ifndef VORN_BUILDING
#error "net.h belongs to the library's own build; include <vorn.h> instead"
#endif

namespace vorn::net {

// Stops the socket service; the library's exit path calls it last.
void stop_service();

}  // namespace vorn::net
