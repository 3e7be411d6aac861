// keys_probe -- the console probe once more: the terminal tests need only that one.
#include "console_probe.c"
