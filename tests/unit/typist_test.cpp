// The typist's rules on a fake keyboard that checks them itself: what is
// typed is what was sent, in order; a lent key changes only once its last
// use is old enough, and the keymap only once the first key since its last
// change is; what is dropped at the end is the waiting text and what follows;
// the lent keys are set again once typing has stopped.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "input/keysyms.h"
#include "input/typist.h"

namespace {

constexpr uint64_t kAge = 100;
constexpr uint32_t kShiftL = 0xFFE1;

// Own keys type 'a' to 'z' (keys 38 on) and Shift_L (50); keys 8 to 10 are free.
class FakeKeyboard final : public TypistKeyboard {
public:
    uint64_t now = 0;
    std::u32string typed;  // what a client reads: each press's symbol, '#' for a click, '~' for a move
    uint64_t generation = 0;
    std::map<uint8_t, uint32_t> lent;  // free keys' symbols
    std::map<uint8_t, uint64_t> lastUse;

    std::vector<uint8_t> free_keys() override { return {8, 9, 10}; }
    std::optional<uint8_t> key_for(uint32_t keysym) override {
        if (keysym >= 'a' && keysym <= 'z') return uint8_t(38 + keysym - 'a');
        if (keysym == kShiftL) return 50;
        return std::nullopt;
    }
    uint32_t symbol_on(uint8_t key) override { return lent.count(key) ? lent[key] : kNoSymbol; }
    uint64_t keymap_generation() override { return generation; }
    std::map<uint8_t, uint32_t> lastSet;  // the last change
    uint64_t lastSetAt = 0, changes = 0;
    void set_symbols(const std::vector<SpareKeyPool::Assignment>& keys) override {
        lastSet.clear(), lastSetAt = now, ++changes;
        for (const auto& k : keys) lastSet[k.key] = k.symbol;
        // A client still fetching the last change would forget this one.
        if (firstKeySinceChange_) {
            EXPECT_GE(now, *firstKeySinceChange_ + kAge) << "keymap changed too soon";
        }
        firstKeySinceChange_.reset();
        for (const auto& k : keys) {
            // A client still to look up the key's last press would read the new symbol.
            if (lastUse.count(k.key)) {
                EXPECT_GE(now, lastUse[k.key] + kAge) << "key " << int(k.key) << " reused too soon";
            }
            lent[k.key] = k.symbol;
        }
    }
    void press(uint8_t key, bool down) override {
        if (!firstKeySinceChange_) firstKeySinceChange_ = now;
        if (key < 38) lastUse[key] = now;
        if (!down) return;
        const uint32_t symbol = key == 50 ? kShiftL : key >= 38 ? 'a' + key - 38 : symbol_on(key);
        EXPECT_NE(symbol, kNoSymbol) << "key " << int(key) << " pressed with no symbol";
        if (symbol != kShiftL) typed += char32_t(symbol >= 0x1000000 ? symbol - 0x1000000 : symbol);
    }
    void post_pointer(const InputAction& action) override {
        const auto* b = std::get_if<ButtonChange>(&action.what);
        if (!b || b->down) typed += b ? U'#' : U'~';
    }

private:
    std::optional<uint64_t> firstKeySinceChange_;
};

InputAction character(char32_t c, bool down) { return {CharacterChange{uint32_t(c), down}}; }
InputAction key(uint32_t keysym, bool down) { return {KeyChange{keysym, 0, 0, down}}; }
InputAction button(bool down) { return {ButtonChange{PointerButton::Left, down, 1}}; }

void add_text(Typist& typist, const std::u32string& text) {
    for (char32_t c : text) typist.add(character(c, true)), typist.add(character(c, false));
}

// Runs the typist's clock until nothing waits, or until `until`.
void run(Typist& typist, FakeKeyboard& keyboard, uint64_t until = UINT64_MAX) {
    while (const auto next = typist.type(keyboard.now)) {
        ASSERT_GT(*next, keyboard.now);
        if (*next > until) return;
        keyboard.now = *next;
    }
}

// Bursts of more new characters than there are free keys, mixed with own
// keys and followed by a click, arrive whole and in order, the click last.
TEST(Typist, BurstsOnFewKeysArriveAsSentInOrderAndNoKeyChangesTooSoon) {
    std::mt19937 random(7);
    const std::u32string alphabet = U"éèêëàâäöüßñ中文日本語😀🎉";
    for (int burst = 0; burst < 20; ++burst) {
        SCOPED_TRACE(burst);
        FakeKeyboard keyboard;
        Typist typist(keyboard, kAge);
        std::u32string text;
        for (int i = 0; i < 60; ++i) text += burst % 2 && i % 3 == 0 ? U'q' : alphabet[random() % alphabet.size()];
        add_text(typist, text);
        typist.add(button(true)), typist.add(button(false));
        run(typist, keyboard);
        EXPECT_EQ(keyboard.typed, text + U"#");
    }
}

// Characters that have keys, lent or own, go at once; with Shift held, a
// letter goes on a lent key so that it arrives as itself.
TEST(Typist, CharactersWithKeysNeverWaitAndShiftedLettersStayThemselves) {
    FakeKeyboard keyboard;
    Typist typist(keyboard, kAge);
    add_text(typist, U"éàö");
    typist.type(0);
    EXPECT_TRUE(typist.idle());
    keyboard.now = 1;
    add_text(typist, U"éàöéàöéàöé"), add_text(typist, U"plainwords");
    typist.add({PointerTo{1, 2}});
    typist.type(1);
    EXPECT_TRUE(typist.idle());  // no wait: the move went out with them
    EXPECT_EQ(keyboard.typed, U"éàöéàöéàöéàöéplainwords~");
    typist.add(key(kShiftL, true));
    add_text(typist, U"x\uFFE1");  // a character with the held Shift_L's number, 0xFFE1: not a repeat of it
    typist.add(key(kShiftL, false));
    run(typist, keyboard);
    EXPECT_EQ(keyboard.typed.substr(keyboard.typed.size() - 2), U"x\uFFE1");
    EXPECT_EQ(keyboard.symbol_on(8) == 'x' || keyboard.symbol_on(9) == 'x' || keyboard.symbol_on(10) == 'x', true);
}

// Stdin closed behind text that still waits: it is dropped with everything
// behind it, so that nothing is typed after the gap, but what is held is
// released; the keys go back once their last use is old enough.
TEST(Typist, TextDroppedAtTheEndTakesWhatFollowsWithItButReleasesWhatIsHeld) {
    FakeKeyboard keyboard;
    Typist typist(keyboard, kAge);
    typist.add(key(kShiftL, true)), typist.add(button(true));
    add_text(typist, U"中文日本語");  // five new characters on three keys
    for (uint32_t k : {'e', 'n', 'd'}) typist.add(key(k, true)), typist.add(key(k, false));
    typist.add(button(false)), typist.add(key(kShiftL, false));
    run(typist, keyboard, 150);  // Shift was pressed at 0: the first keys are lent at 100
    ASSERT_FALSE(typist.idle());
    keyboard.now = 150;
    const auto dropped = typist.drop_waiting(keyboard.now);
    EXPECT_EQ(std::pair(dropped.characters, dropped.events), std::pair(size_t{2}, size_t{6}));
    EXPECT_TRUE(typist.idle());
    EXPECT_EQ(keyboard.typed, U"#中文日");
    EXPECT_EQ(keyboard.lastUse.size(), 3u);
    const auto backAt = typist.keys_back_at(keyboard.now);
    ASSERT_TRUE(backAt);
    keyboard.now = *backAt;
    typist.give_back_keys();
    for (uint8_t k : {8, 9, 10}) EXPECT_EQ(keyboard.symbol_on(k), kNoSymbol);
    EXPECT_FALSE(typist.keys_back_at(keyboard.now));
}

// A client that heard of no change while it was busy reads the lent keys
// right once typing has stopped for a while: they are set again, once.
TEST(Typist, OnceTypingHasStoppedTheLentKeysAreSetAgainOnce) {
    FakeKeyboard keyboard;
    Typist typist(keyboard, kAge);
    add_text(typist, U"中文日本語");
    run(typist, keyboard, 1000);  // typed, but not yet set again
    const auto lent = keyboard.lent;
    const auto later = [](auto& a, auto& b) { return a.second < b.second; };
    const uint64_t changes = keyboard.changes;
    const uint64_t lastUse = std::max_element(keyboard.lastUse.begin(), keyboard.lastUse.end(), later)->second;
    run(typist, keyboard);
    EXPECT_EQ(std::tuple(keyboard.changes, keyboard.lastSet, keyboard.lastSetAt),
              std::tuple(changes + 1, lent, lastUse + Typist::kRecheckQuietNs));
    EXPECT_FALSE(typist.type(keyboard.now + 10 * Typist::kRecheckQuietNs));
    EXPECT_EQ(keyboard.changes, changes + 1);
}

// After someone else changed the keymap, a key that lost our symbol is
// lent again, and the keymap waits as after a change of our own.
TEST(Typist, AKeymapChangedByOthersIsTakenUpBeforeTheNextKey) {
    FakeKeyboard keyboard;
    Typist typist(keyboard, kAge);
    add_text(typist, U"é");
    run(typist, keyboard);
    keyboard.lent.clear(), ++keyboard.generation;
    keyboard.now = 500;
    add_text(typist, U"é");
    run(typist, keyboard);
    EXPECT_EQ(keyboard.typed, U"éé");
}

}  // namespace
