// The console logic against the model backend.
#include "io.h"
#include "support.h"

TEST(ConsoleModel, BackendIsInPlace) { EXPECT_GT(vorn::io::console().state().width, 0); }
