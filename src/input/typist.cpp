#include "input/typist.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "input/keysyms.h"

namespace {

// Queued presses looked at, and given keys together, ahead of the head.
constexpr size_t kLookahead = 64;
constexpr uint32_t kShiftL = 0xFFE1, kShiftR = 0xFFE2;

uint8_t button_bit(PointerButton b) { return uint8_t(1u << static_cast<unsigned>(b)); }

// The keysym and held value of a key or character action; nothing for the rest.
struct Typed {
    bool character;
    uint32_t value;
    uint32_t keysym;
    bool down;
};

std::optional<Typed> typed(const InputAction& action) {
    if (const auto* k = std::get_if<KeyChange>(&action.what)) return Typed{false, k->keysym, k->keysym, k->down};
    if (const auto* c = std::get_if<CharacterChange>(&action.what)) {
        return Typed{true, c->codePoint, code_point_to_keysym(c->codePoint), c->down};
    }
    return std::nullopt;
}

}  // namespace

Typist::Typist(TypistKeyboard& keyboard, uint64_t reuseAgeNs) : keyboard_(keyboard), reuseAgeNs_(reuseAgeNs) {}

void Typist::add(const InputAction& action) { queue_.push_back(action); }

std::optional<uint64_t> Typist::type(uint64_t nowNs) {
    while (!queue_.empty()) {
        std::optional<uint64_t> waitUntil;
        if (!head_ready(nowNs, &waitUntil)) return waitUntil;
        const InputAction action = queue_.front();
        queue_.pop_front();
        post(action, nowNs);
    }
    const auto recheck = recheck_at(nowNs);
    if (!recheck || *recheck > nowNs) return recheck;
    keyboard_.set_symbols(pool().mapped());
    firstKeySinceChangeNs_.reset();
    recheckDue_ = false;
    return std::nullopt;
}

std::optional<uint64_t> Typist::recheck_at(uint64_t nowNs) const {
    if (!recheckDue_ || !pool_ || !pool_->any_mapped()) return std::nullopt;
    return std::max(lastKeyNs_ + kRecheckQuietNs, change_allowed_at(nowNs));
}

SpareKeyPool& Typist::pool() {
    const uint64_t generation = keyboard_.keymap_generation();
    if (!pool_) {
        pool_.emplace(keyboard_.free_keys(), reuseAgeNs_);
    } else if (generation != keymapGeneration_) {
        pool_->reconcile([&](uint8_t key) { return keyboard_.symbol_on(key); });
        firstKeySinceChangeNs_.reset();
    }
    keymapGeneration_ = generation;
    return *pool_;
}

std::vector<Typist::Held>::iterator Typist::find_held(bool character, uint32_t value) {
    return std::find_if(held_.begin(), held_.end(),
                        [&](const Held& h) { return h.character == character && h.value == value; });
}

// A character typed on its own key would come out shifted ('x' as 'X'); a
// lent key gives the character on every level.
bool Typist::shift_held() const {
    return std::any_of(held_.begin(), held_.end(),
                       [](const Held& h) { return !h.character && (h.value == kShiftL || h.value == kShiftR); });
}

std::optional<uint32_t> Typist::lent_symbol_needed(const InputAction& action) {
    const auto t = typed(action);
    if (!t || !t->down || t->keysym == kNoSymbol || find_held(t->character, t->value) != held_.end()) {
        return std::nullopt;
    }
    if (!(t->character && shift_held()) && keyboard_.key_for(t->keysym)) return std::nullopt;
    return t->keysym;
}

bool Typist::head_ready(uint64_t nowNs, std::optional<uint64_t>* waitUntil) {
    const auto symbol = lent_symbol_needed(queue_.front());
    if (!symbol || pool().carries(*symbol)) return true;
    auto ready = pool().next_ready_ns(nowNs);
    if (!ready) return true;  // every lent key held: the press is passed over
    ready = std::max(*ready, change_allowed_at(nowNs));
    if (*ready > nowNs) {
        *waitUntil = *ready;
        return false;
    }
    lend_upcoming(nowNs);
    return true;
}

// Where each symbol queued ahead is first typed: the keys of those typed
// soonest are the last to be taken for another.
void Typist::lend_upcoming(uint64_t nowNs) {
    std::vector<uint32_t> symbols;
    std::unordered_map<uint32_t, size_t> firstUse;
    const size_t scan = std::min(queue_.size(), 4 * kLookahead);
    for (size_t i = 0; i < scan; ++i) {
        const auto t = typed(queue_[i]);
        if (!t || !t->down) continue;
        firstUse.emplace(t->keysym, i);
        const auto symbol = lent_symbol_needed(queue_[i]);
        if (symbol && symbols.size() < kLookahead && std::find(symbols.begin(), symbols.end(), *symbol) == symbols.end()) {
            symbols.push_back(*symbol);
        }
    }
    const auto nextUse = [&](uint32_t symbol) {
        const auto at = firstUse.find(symbol);
        return at == firstUse.end() ? SIZE_MAX : at->second;
    };
    change_symbols(pool().assign_ready(symbols, nowNs, nextUse));
}

uint64_t Typist::change_allowed_at(uint64_t nowNs) const {
    return firstKeySinceChangeNs_ ? std::max(nowNs, *firstKeySinceChangeNs_ + reuseAgeNs_) : nowNs;
}

void Typist::change_symbols(const std::vector<SpareKeyPool::Assignment>& keys) {
    if (keys.empty()) return;
    keyboard_.set_symbols(keys);
    firstKeySinceChangeNs_.reset();
    recheckDue_ = true;
}

void Typist::send_key(uint8_t key, bool down, uint64_t nowNs) {
    if (!firstKeySinceChangeNs_) firstKeySinceChangeNs_ = nowNs;
    lastKeyNs_ = nowNs;
    keyboard_.press(key, down);
}

void Typist::post(const InputAction& action, uint64_t nowNs) {
    if (const auto* b = std::get_if<ButtonChange>(&action.what)) {
        buttonsHeld_ = b->down ? buttonsHeld_ | button_bit(b->button) : buttonsHeld_ & ~button_bit(b->button);
    }
    const auto t = typed(action);
    if (!t) {
        keyboard_.post_pointer(action);
        return;
    }
    if (t->keysym == kNoSymbol) return;
    if (t->down) {
        press(t->character, t->value, t->keysym, nowNs);
    } else if (!release(t->character, t->value, nowNs) && !t->character) {
        // A release of a key never pressed still goes out, as on the Mac.
        if (const auto key = keyboard_.key_for(t->keysym)) send_key(*key, false, nowNs);
    }
}

void Typist::press(bool character, uint32_t value, uint32_t keysym, uint64_t nowNs) {
    const auto held = find_held(character, value);
    if (held != held_.end()) {  // a repeat while held
        send_key(held->key, true, nowNs);
        return;
    }
    Held h{character, value, 0, false};
    if (const auto own = character && shift_held() ? std::nullopt : keyboard_.key_for(keysym)) {
        h.key = *own;
    } else if (const auto lease = change_allowed_at(nowNs) <= nowNs || pool().carries(keysym)
                                      ? pool().press(keysym, nowNs)
                                      : std::nullopt) {
        if (lease->remap) change_symbols({{lease->key, keysym}});
        h.key = lease->key;
        h.lent = true;
    } else {
        return;
    }
    held_.push_back(h);
    send_key(h.key, true, nowNs);
}

// False when nothing of that was held.
bool Typist::release(bool character, uint32_t value, uint64_t nowNs) {
    const auto held = find_held(character, value);
    if (held == held_.end()) return false;
    const Held h = *held;
    held_.erase(held);
    send_key(h.key, false, nowNs);
    // The key keeps the symbol: typing the character again needs no change.
    if (h.lent) pool().release(h.key, nowNs);
    return true;
}

bool Typist::releases_held(const InputAction& action) const {
    if (const auto* b = std::get_if<ButtonChange>(&action.what)) return !b->down && (buttonsHeld_ & button_bit(b->button));
    const auto t = typed(action);
    return t && !t->down && std::any_of(held_.begin(), held_.end(), [&](const Held& h) {
               return h.character == t->character && h.value == t->value;
           });
}

Typist::Dropped Typist::drop_waiting(uint64_t nowNs) {
    Dropped dropped;
    std::deque<InputAction> queued;
    queued.swap(queue_);
    for (const InputAction& action : queued) {
        if (releases_held(action)) {
            post(action, nowNs);
            continue;
        }
        const auto* c = std::get_if<CharacterChange>(&action.what);
        if (!c) {
            ++dropped.events;
        } else if (c->down) {
            ++dropped.characters;
        }
    }
    return dropped;
}

std::optional<uint64_t> Typist::keys_back_at(uint64_t nowNs) const {
    if (!pool_ || !pool_->any_mapped()) return std::nullopt;
    return std::max(pool_->last_use_ns() + reuseAgeNs_, change_allowed_at(nowNs));
}

void Typist::give_back_keys() {
    if (!pool_) return;
    std::vector<SpareKeyPool::Assignment> keys;
    for (uint8_t key : pool_->take_mapped()) keys.push_back({key, kNoSymbol});
    change_symbols(keys);
    recheckDue_ = false;  // nothing types on them any more
}

void log_dropped(const Typist::Dropped& dropped) {
    if (dropped.characters == 0 && dropped.events == 0) return;
    if (dropped.events == 0) {
        fprintf(stderr, "[ctrl] WARNING: %zu typed characters still waiting for a free key at the end were dropped\n",
                dropped.characters);
    } else {
        fprintf(stderr,
                "[ctrl] WARNING: %zu typed characters still waiting for a free key at the end were dropped, and %zu "
                "events queued behind them\n",
                dropped.characters, dropped.events);
    }
}
