// The ui library needs at least one translation unit of its own while its windows
// are being added; this one carries the caption every message box uses.
#include "ui/uitexts.h"
