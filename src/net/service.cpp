// service.cpp -- the life of the socket service.  BSD sockets need no start
// or clean-up, so starting always succeeds and stopping has nothing to
// release; the exit path still calls it so that it stays the one place that
// ends the process.
#include <vorn.h>

#include "net.h"

namespace vorn::net {

int32_t stop_service() { return 0; }

}  // namespace vorn::net

extern "C" {

VORN_API int32_t netwerk_init(void) { return 0; }

VORN_API int32_t netwerk_end(void) { return vorn::net::stop_service(); }

VORN_API int32_t netwerk_init__(void) { return vorn::net::low16(netwerk_init()); }

VORN_API int32_t netwerk_end__(void) { return netwerk_end(); }

}  // extern "C"
