#include "input/spare_key_pool.h"

#include <algorithm>

SpareKeyPool::SpareKeyPool(std::vector<uint8_t> keys, uint64_t minAgeNs) : minAgeNs_(minAgeNs) {
    for (uint8_t key : keys) slots_.push_back(Slot{key});
}

const SpareKeyPool::Slot* SpareKeyPool::next_slot() const {
    const Slot* slot = nullptr;
    for (const Slot& s : slots_) {
        if (s.symbol == 0) return &s;
        if (!s.held && (!slot || s.lastUseNs < slot->lastUseNs)) slot = &s;
    }
    return slot;
}

std::optional<uint64_t> SpareKeyPool::next_ready_ns(uint64_t nowNs) const {
    const Slot* slot = next_slot();
    if (!slot) return std::nullopt;
    if (slot->symbol == 0) return nowNs;
    return std::max(nowNs, slot->lastUseNs + minAgeNs_);
}

bool SpareKeyPool::carries(uint32_t symbol) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.symbol == symbol; });
}

std::optional<SpareKeyPool::Lease> SpareKeyPool::press(uint32_t symbol, uint64_t nowNs) {
    Lease lease{0, false};
    auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.symbol == symbol; });
    if (slot == slots_.end()) {
        // Never sooner: a client still looking up the key's last press
        // would read the new symbol for it.
        const auto ready = next_ready_ns(nowNs);
        if (!ready || *ready > nowNs) return std::nullopt;
        slot = slots_.begin() + (next_slot() - slots_.data());
        slot->symbol = symbol;
        lease.remap = true;
    }
    slot->held = true;
    slot->lastUseNs = nowNs;
    lease.key = slot->key;
    return lease;
}

std::vector<SpareKeyPool::Assignment> SpareKeyPool::assign_ready(const std::vector<uint32_t>& symbols, uint64_t nowNs,
                                                                 const std::function<size_t(uint32_t)>& nextUse) {
    std::vector<Assignment> given;
    for (size_t i = 0; i < symbols.size(); ++i) {
        const uint32_t symbol = symbols[i];
        if (symbol == 0 || carries(symbol)) continue;
        Slot* victim = nullptr;
        for (Slot& s : slots_) {
            if (s.held || (s.symbol != 0 && s.lastUseNs + minAgeNs_ > nowNs)) continue;
            if (s.symbol == 0) {
                victim = &s;
                break;
            }
            if (!victim || nextUse(s.symbol) > nextUse(victim->symbol)) victim = &s;
        }
        // Taking a key whose symbol is needed first would only move the wait.
        if (!victim || (i > 0 && victim->symbol != 0 && nextUse(victim->symbol) <= nextUse(symbol))) break;
        victim->symbol = symbol;
        // Counts as a use: the key is not taken back before its press.
        victim->lastUseNs = nowNs;
        given.push_back({victim->key, symbol});
    }
    return given;
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

bool SpareKeyPool::any_mapped() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.symbol != 0; });
}

std::vector<SpareKeyPool::Assignment> SpareKeyPool::mapped() const {
    std::vector<Assignment> keys;
    for (const Slot& s : slots_) {
        if (s.symbol != 0) keys.push_back({s.key, s.symbol});
    }
    return keys;
}

uint64_t SpareKeyPool::last_use_ns() const {
    uint64_t latest = 0;
    for (const Slot& s : slots_) latest = std::max(latest, s.lastUseNs);
    return latest;
}

bool SpareKeyPool::owns(uint8_t key) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.key == key; });
}
