#include "app/capture/AddressSpace.h"

#include <windows.h>

#include <vector>

bool CanReserveAddressSpace(unsigned long long bytes, unsigned long long block) {
    constexpr unsigned long long kGranularity = 64 * 1024;
    block = (block + kGranularity - 1) / kGranularity * kGranularity;
    if (block == 0 || block > 0x7FFFFFFFull)
        return false;
    std::vector<void*> taken;
    taken.reserve(static_cast<size_t>(bytes / block + 1));
    unsigned long long reserved = 0;
    while (reserved < bytes) {
        void* part = VirtualAlloc(nullptr, static_cast<SIZE_T>(block), MEM_RESERVE, PAGE_NOACCESS);
        if (!part)
            break;
        taken.push_back(part);
        reserved += block;
    }
    for (void* part : taken)
        VirtualFree(part, 0, MEM_RELEASE);
    return reserved >= bytes;
}

unsigned long long CommittedAddressSpace() {
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    unsigned long long committed = 0;
    auto address = reinterpret_cast<ULONG_PTR>(system.lpMinimumApplicationAddress);
    const auto end = reinterpret_cast<ULONG_PTR>(system.lpMaximumApplicationAddress);
    MEMORY_BASIC_INFORMATION region = {};
    while (address < end &&
           VirtualQuery(reinterpret_cast<LPCVOID>(address), &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT)
            committed += region.RegionSize;
        const ULONG_PTR next = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return committed;
}
