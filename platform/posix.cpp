// POSIX implementation of the OS layer.
#include "platform/platform.h"
