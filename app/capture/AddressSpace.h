// How much address space this process can still have. Captures kept in
// memory fill it; a 32-bit process that runs out of it dies on the spot.
#pragma once

// Whether `bytes` of address space can be had now in blocks of `block` bytes.
// Asked of the system itself by reserving them (never committing) and giving
// them back at once: under Wine, VirtualQuery shows most of what is still
// free to take as reserved.
bool CanReserveAddressSpace(unsigned long long bytes, unsigned long long block);

// Bytes of address space this process has committed.
unsigned long long CommittedAddressSpace();
