// Typing into a plain Xlib client (Xlib's own input method, Xutf8LookupString,
// no keymap handling of its own) on private X servers: bursts of more new
// characters than there are free keys, and text after keys on a German
// layout, arrive as sent though the client falls behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "e2e/x_client.h"

namespace {

// The client on `server`, stopping for a while before it looks up press
// `behindAt`; the helper types `input` into it, then Enter. What the client
// printed, once it ended at Enter.
std::string typed_into_xlib_client(Xvfb& server, const Bytes& input, int behindAt,
                                   const std::string& layout = "") {
    Child client({XLIB_CLIENT_PATH, std::to_string(behindAt)}, on(server), controller::Output::Pipe);
    EXPECT_TRUE(client.wait_log("ready")) << client.log();
    if (!layout.empty()) {
        EXPECT_EQ(system(("setxkbmap -display " + server.display() + " " + layout).c_str()), 0);
    }
    Child helper(helper_args(), on(server));
    EXPECT_TRUE(helper.wait_log("[ctrl] control loop started")) << helper.log();
    helper.send(input + typed_keys("\n"));
    const Bytes out = client.read(1 << 16, 60s);
    EXPECT_TRUE(client.wait(10s)) << "the client did not get Enter\n" << helper.log();
    return {out.begin(), out.end()};
}

// 300 characters from 41 outside the keymap, on 19 free keys, each burst
// with the client falling behind at another point: before its first lookup,
// inside the first keys' characters, and long after keys were first reused.
TEST(XlibTyping, BurstsOfNewCharactersArriveWholeAtAClientThatFallsBehind) {
    const std::u32string alphabet = U"àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþÿ中文日本語😀🎉👍🚀🌍";
    std::mt19937 random(2024);
    for (const int behindAt : {0, 40, 150}) {
        SCOPED_TRACE(behindAt);
        std::u32string burst;
        for (int i = 0; i < 300; ++i) burst += alphabet[random() % alphabet.size()];
        Xvfb server;
        const std::string typed = typed_into_xlib_client(server, typed_text(burst), behindAt), sent = utf8(burst);
        const size_t at = size_t(std::mismatch(sent.begin(), sent.end(), typed.begin(), typed.end()).first - sent.begin());
        EXPECT_EQ(typed, sent) << "from byte " << at << ": sent " << sent.substr(at > 8 ? at - 8 : 0, 40) << "\ntyped "
                               << typed.substr(at > 8 ? at - 8 : 0, 40);
    }
}

// Keys typed on a German layout set just before, then characters it lacks:
// every one arrives, the characters right after the keys.
TEST(XlibTyping, TextAfterKeysOnAGermanLayoutArrivesWhole) {
    Bytes input;
    for (char c : std::string("Hello, World! 123 Zy")) {
        input = input + typed_keys(c == '!' ? "1" : std::string(1, c), isupper(c) || c == '!');
    }
    input = input + typed_text(U"é€😀");
    for (const int behindAt : {0, 5}) {
        SCOPED_TRACE(behindAt);
        Xvfb server;
        EXPECT_EQ(typed_into_xlib_client(server, input, behindAt, "de"), "Hello, World! 123 Zy" + utf8(U"é€😀"));
    }
}

}  // namespace
