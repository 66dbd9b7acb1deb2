#include "input/spare_key_pool.h"

#include <algorithm>

SpareKeyPool::SpareKeyPool(std::vector<uint8_t> keys, uint64_t minAgeNs) : minAgeNs_(minAgeNs) {
    for (uint8_t key : keys) slots_.push_back(Slot{key});
}

std::optional<SpareKeyPool::Lease> SpareKeyPool::press(uint32_t symbol, uint64_t nowNs) {
    Lease lease{0, false, false, nowNs};
    auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.symbol == symbol; });
    if (slot == slots_.end()) {
        slot = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.symbol == 0; });
        if (slot == slots_.end()) {
            // Least recently used among the keys not held. When even that one
            // is too recent, the caller waits until it is old enough.
            for (auto s = slots_.begin(); s != slots_.end(); ++s) {
                if (!s->held && (slot == slots_.end() || s->lastUseNs < slot->lastUseNs)) slot = s;
            }
            if (slot == slots_.end()) return std::nullopt;
            lease.early = nowNs - slot->lastUseNs < minAgeNs_;
            if (lease.early) lease.readyAtNs = slot->lastUseNs + minAgeNs_;
        }
        slot->symbol = symbol;
        lease.remap = true;
    }
    slot->held = true;
    slot->lastUseNs = lease.readyAtNs;
    lease.key = slot->key;
    return lease;
}

void SpareKeyPool::release(uint8_t key, uint64_t nowNs) {
    for (Slot& s : slots_) {
        if (s.key != key) continue;
        s.held = false;
        s.lastUseNs = nowNs;
    }
}

void SpareKeyPool::reconcile(const std::function<uint32_t(uint8_t)>& symbolOn) {
    std::erase_if(slots_, [&](Slot& s) {
        const uint32_t now = symbolOn(s.key);
        if (now == s.symbol) return false;
        s.symbol = 0;
        s.held = false;
        return now != 0;
    });
}

std::vector<uint8_t> SpareKeyPool::take_mapped() {
    std::vector<uint8_t> mapped;
    for (Slot& s : slots_) {
        if (s.symbol == 0) continue;
        mapped.push_back(s.key);
        s.symbol = 0;
        s.held = false;
    }
    return mapped;
}

uint64_t SpareKeyPool::last_use_ns() const {
    uint64_t latest = 0;
    for (const Slot& s : slots_) latest = std::max(latest, s.lastUseNs);
    return latest;
}

bool SpareKeyPool::owns(uint8_t key) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.key == key; });
}
