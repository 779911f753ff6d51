// Where the program's large zero-filled arrays go, those that a normal run
// touches little or not at all (the fault handler's stack, the module table).
#pragma once

// The large-data section, which the linker places after every other
// zero-filled section. Kept there, these arrays do not spread the small data
// that every run touches over more pages: each page's first touch is a page
// fault, a microsecond or so of a run of one millisecond.
#define MODSIN_LARGE_DATA [[gnu::section(".lbss.modsin")]]
