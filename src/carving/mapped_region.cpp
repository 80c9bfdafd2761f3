#include "carving/mapped_region.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace quarry::carving {

namespace {

// Live mappings, read by the SIGBUS handler, so only lock-free atomics. A slot is free when
// its begin is 0 and being filled in when it is kClaimed.
struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::uint64_t> faultedPages{0};
};

constexpr std::uintptr_t kClaimed = 1;
constexpr std::size_t kSlots = 256;

std::array<Slot, kSlots> slots;
struct sigaction previousAction {};
std::uintptr_t pageSize = 4096;
bool guardInstalled = false;
std::once_flag installOnce;

// The slot whose mapping holds `address`, or null.
Slot* slotOwning(std::uintptr_t address) {
    for (Slot& slot : slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin > kClaimed && address >= begin && address < slot.end.load(std::memory_order_relaxed)) {
            return &slot;
        }
    }
    return nullptr;
}

// A fault in one of our mappings gets a zero page in place of the unreadable one and the
// access is retried; any other SIGBUS goes where it would have gone without us.
void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (Slot* slot = slotOwning(address)) {
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            slot->faultedPages.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Default action: the faulting access is retried, or the raised signal delivered, and ends
    // the process as it would have without the guard.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
    ::raise(SIGBUS);
}

void installGuard() {
    const long size = ::sysconf(_SC_PAGESIZE);
    if (size > 0) {
        pageSize = static_cast<std::uintptr_t>(size);
    }
    struct sigaction action {};
    action.sa_sigaction = &onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    guardInstalled = ::sigaction(SIGBUS, &action, &previousAction) == 0;
}

// Index of a slot now holding [begin, end), or kSlots when all are in use.
std::size_t claimSlot(std::uintptr_t begin, std::uintptr_t end) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        std::uintptr_t expected = 0;
        if (slots[i].begin.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire)) {
            slots[i].end.store(end, std::memory_order_relaxed);
            slots[i].faultedPages.store(0, std::memory_order_relaxed);
            slots[i].begin.store(begin, std::memory_order_release);
            return i;
        }
    }
    return kSlots;
}

} // namespace

std::unique_ptr<MappedRegion> MappedRegion::map(int fd, std::uint64_t offset, std::size_t length) {
    std::call_once(installOnce, installGuard);
    if (!guardInstalled || length == 0) {
        return nullptr;
    }
    const std::uint64_t lead = offset % pageSize;
    const std::size_t mappedLength = length + static_cast<std::size_t>(lead);
    if (mappedLength < length) {
        return nullptr;
    }
    void* base = ::mmap(nullptr, mappedLength, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(offset - lead));
    if (base == MAP_FAILED) {
        return nullptr;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    const std::size_t slot = claimSlot(begin, begin + mappedLength);
    if (slot == kSlots) {
        ::munmap(base, mappedLength);
        return nullptr;
    }
    ::madvise(base, mappedLength, MADV_SEQUENTIAL);
    return std::make_unique<MappedRegion>(Token{}, base, mappedLength, slot,
                                          static_cast<const std::uint8_t*>(base) + lead);
}

std::uint64_t MappedRegion::unreadableSectors() const {
    const std::uint64_t bytes = slots[slot_].faultedPages.load(std::memory_order_relaxed) * pageSize;
    return std::min<std::uint64_t>(bytes, length_) / kSectorSize;
}

MappedRegion::~MappedRegion() {
    slots[slot_].begin.store(0, std::memory_order_release);
    ::munmap(base_, length_);
}

} // namespace quarry::carving
