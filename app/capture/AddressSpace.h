// How much of this process's address space is still free. Captures kept in
// memory fill it; a 32-bit process that runs out of it dies on the spot.
#pragma once

struct FreeAddressSpace {
    unsigned long long total = 0;    // bytes free in all
    unsigned long long largest = 0;  // bytes of the largest free block
};

FreeAddressSpace MeasureFreeAddressSpace();
