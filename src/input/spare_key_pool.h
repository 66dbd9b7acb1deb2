#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Keys that carry no symbol, lent to characters the keyboard lacks. A
// character keeps its key while it may be typed again; when every key is
// taken, the least recently used one that is not held is given to the next
// character. Clients read a changed key only when they next handle an event,
// so a key is reused only once its last use is `minAgeNs` old. Only a burst of
// more new characters than there are keys ever has to wait for that.
class SpareKeyPool {
public:
    SpareKeyPool(std::vector<uint8_t> keys, uint64_t minAgeNs);

    struct Lease {
        uint8_t key;
        bool remap;  // the key must be given the symbol before it is pressed
    };
    // The key that types `symbol`, now held. Nothing when no key carries it
    // and none may take it yet.
    std::optional<Lease> press(uint32_t symbol, uint64_t nowNs);

    // Whether a key carries `symbol` already.
    bool carries(uint32_t symbol) const;
    // When a key may next be given a new symbol: `nowNs` when one is free or
    // old enough, later when every key not held was used too recently;
    // nothing when every key is held.
    std::optional<uint64_t> next_ready_ns(uint64_t nowNs) const;
    // Gives keys that may take a new symbol now to `symbols` that have none,
    // in the order they are needed; each keeps its key, not held, for the
    // press that follows. `nextUse` says how soon a symbol is needed (lower:
    // sooner; SIZE_MAX: not in sight). A free key goes first, else the ready
    // key whose symbol is needed last, as long as that is after the symbol
    // it would go to; the first symbol gets a key whenever one is ready.
    // What each key must now carry.
    struct Assignment {
        uint8_t key;
        uint32_t symbol;
    };
    std::vector<Assignment> assign_ready(const std::vector<uint32_t>& symbols, uint64_t nowNs,
                                         const std::function<size_t(uint32_t)>& nextUse);
    void release(uint8_t key, uint64_t nowNs);

    // After someone else changed the keymap: `symbolOn` tells what each key
    // carries now. A key that lost our symbol is free again, a key that
    // carries another one leaves the pool.
    void reconcile(const std::function<uint32_t(uint8_t)>& symbolOn);

    // Keys that carry a symbol of ours, forgotten here: the caller gives them back.
    std::vector<uint8_t> take_mapped();
    bool any_mapped() const;
    // Every key that carries a symbol of ours, with it.
    std::vector<Assignment> mapped() const;
    // Latest press or release on any key; 0 if none.
    uint64_t last_use_ns() const;
    bool owns(uint8_t key) const;

private:
    struct Slot;
    // The key a new symbol goes to: a free one, else the least recently used
    // one not held; null when every key is held.
    const Slot* next_slot() const;

    struct Slot {
        uint8_t key;
        uint32_t symbol = 0;  // 0: free
        bool held = false;
        uint64_t lastUseNs = 0;
    };
    std::vector<Slot> slots_;
    uint64_t minAgeNs_;
};
