#pragma once

// The ANSI code page belongs to the platform services (the stand-in for the accounting
// system's API decodes the single-byte texts the program passes it); the program reaches
// it from here.
#include <system/ansi.h>
