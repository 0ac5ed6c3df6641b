#include "fault_support.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> failingSize{0};
std::atomic<int> allowedBeforeFailing{0};
}  // namespace

AllocationFailure::AllocationFailure(std::size_t size, int allowed)
{
    allowedBeforeFailing = allowed;
    failingSize = size;
}

AllocationFailure::~AllocationFailure()
{
    failingSize = 0;
}

// The whole test program allocates through these; only an armed size ever fails.
void* operator new(std::size_t size)
{
    if (size != 0 && size == failingSize.load() && allowedBeforeFailing.fetch_sub(1) <= 0)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size != 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
