// service.cpp -- the life of the socket service.  BSD sockets need no start
// or clean-up, so stopping the service has nothing to release; the exit path
// still calls it so that it stays the one place that ends the process.
#include "net.h"

namespace vorn::net {

void stop_service() {}

}  // namespace vorn::net
