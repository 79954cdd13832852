#include "app/capture/AddressSpace.h"

#include <windows.h>

FreeAddressSpace MeasureFreeAddressSpace() {
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    FreeAddressSpace free;
    auto address = reinterpret_cast<ULONG_PTR>(system.lpMinimumApplicationAddress);
    const auto end = reinterpret_cast<ULONG_PTR>(system.lpMaximumApplicationAddress);
    MEMORY_BASIC_INFORMATION block = {};
    while (address < end && VirtualQuery(reinterpret_cast<LPCVOID>(address), &block, sizeof(block)) == sizeof(block)) {
        if (block.RegionSize == 0)
            break;
        if (block.State == MEM_FREE) {
            free.total += block.RegionSize;
            if (block.RegionSize > free.largest)
                free.largest = block.RegionSize;
        }
        const ULONG_PTR next = reinterpret_cast<ULONG_PTR>(block.BaseAddress) + block.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return free;
}
