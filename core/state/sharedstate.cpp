#include "core/state/sharedstate.h"

#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace kov {

static_assert(std::is_default_constructible_v<SharedState>);

void failOutOfRange()
{
    throw Failure(err::OutOfRange);
}

void prefaultPages(void *p, std::size_t bytes) noexcept
{
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t begin = (start + page - 1) & ~(page - 1);
    const std::uintptr_t end = (start + bytes) & ~(page - 1);
    // Without the advice (a kernel before 5.14) the pages are mapped as
    // they are first written, as anywhere else.
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
}

void SharedState::setLimits(const Limits &limits)
{
    m_limits = limits;
    XData.setLast(limits.steps);
    YData.setLast(limits.steps);
    CycleEndStep.setLast(limits.cycles);
    PeakStep.setLast(limits.cycles);
    SkipCrossing.setLast(limits.cycles);
    CycleEnergy.setLast(limits.cycles);
    TotalEnergy.setLast(limits.cycles);
    CycleDamping.setLast(limits.cycles);
    ResultDamping.setLast(limits.cycles);
    CycleStrainEnergy.setLast(limits.cycles);
}

} // namespace kov
