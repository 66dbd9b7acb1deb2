// Feeds arbitrary bytes through the control channel exactly as the control
// thread sees them: read in arbitrary pieces, framed, handled by the pointer
// and keyboard rules, posted. Every posted event is checked against what the
// protocol can produce; anything else aborts.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "input/control_protocol.h"
#include "input/event_poster.h"
#include "input/input_handlers.h"

namespace {

void require(bool ok) {
    if (!ok) abort();
}

bool is_pixel_coordinate(double v) { return v >= 0 && v <= 65535 && std::floor(v) == v; }

void check(const MouseEvent& e) {
    require(is_pixel_coordinate(e.x) && is_pixel_coordinate(e.y));
    switch (e.type) {
        case MouseEventType::MouseMoved:
        case MouseEventType::LeftMouseDragged:
        case MouseEventType::RightMouseDragged:
            require(!e.clickState);
            return;
        case MouseEventType::LeftMouseDown:
            require(e.button == MouseButton::Left && e.clickState && *e.clickState >= 1);
            return;
        case MouseEventType::LeftMouseUp:
            // A release carries the count of the last press: 0 before any.
            require(e.button == MouseButton::Left && e.clickState && *e.clickState >= 0);
            return;
        case MouseEventType::RightMouseDown:
        case MouseEventType::RightMouseUp:
            require(e.button == MouseButton::Right && e.clickState == 1);
            return;
        case MouseEventType::OtherMouseDown:
        case MouseEventType::OtherMouseUp:
            require(e.button == MouseButton::Center && e.clickState == 1);
            return;
    }
    abort();
}

void check(const ScrollEvent& e) {
    require(e.units == kScrollUnitLine && e.wheelCount == 1);
}

// macOS virtual key codes are 7-bit.
void check(const KeyEvent& e) { require(e.keyCode < 0x80); }

void check(const TextEvent& e) {
    require(e.keyCode == 0 && e.flags == 0);
    if (e.unitCount == 2) {
        require(e.units[0] >= 0xD800 && e.units[0] <= 0xDBFF);
        require(e.units[1] >= 0xDC00 && e.units[1] <= 0xDFFF);
    } else {
        require(e.unitCount == 1);
    }
}

// The input is split into reads: each piece's length comes from the byte
// before it, so the fuzzer explores read boundaries as well as contents.
struct SplitReader {
    const uint8_t* data;
    size_t size;

    ssize_t read(uint8_t* buffer, size_t capacity) {
        if (size == 0) return 0;
        size_t piece = data[0] % 8 + 1;
        ++data;
        --size;
        piece = std::min({piece, capacity, size});
        if (piece == 0) return 0;
        memcpy(buffer, data, piece);
        data += piece;
        size -= piece;
        return static_cast<ssize_t>(piece);
    }
};

}  // namespace

// Every action is what the lowering may make of such an event.
void check(const InputActions& actions) {
    require(actions.count <= 2);
    for (uint8_t i = 0; i < actions.count; ++i) {
        const auto& what = actions.items[i].what;
        if (const auto* wheel = std::get_if<WheelSteps>(&what)) require(wheel->steps != 0 && std::abs(wheel->steps) <= 64);
        if (const auto* key = std::get_if<KeyChange>(&what)) require(key->keysym && key->evdevCode && key->windowsVirtualKey);
        if (const auto* c = std::get_if<CharacterChange>(&what)) require(c->codePoint <= 0x10FFFF);
        require(i == 0 || std::holds_alternative<ButtonChange>(what));  // only a button follows a placement
    }
}

class CheckingPoster final : public EventPoster {
public:
    void post(const PostedInput& input) override {
        std::visit([](const auto& e) { check(e); }, input.quartz);
        check(input.actions);
    }
    void settle() override {}
    bool input_permitted(bool) override { return true; }
};

CheckingPoster g_poster;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reset_input_state();
    set_event_poster(&g_poster);
    SplitReader reader{data, size};
    uint64_t nowNs = 1'000'000'000;
    read_control_stream([&](uint8_t* buffer, size_t capacity) { return reader.read(buffer, capacity); },
                        [&](const ControlMessage& message) {
                            // Messages 100 ms apart: quick enough to count clicks.
                            handle_control_message(message, nowNs += 100'000'000);
                        });
    release_held_input();
    return 0;
}
