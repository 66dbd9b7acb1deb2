// Framing of the control stream: every message whole, whatever the chunks
// the pipe delivers, and the two different endings.

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "input/control_protocol.h"

namespace {

// Hands out `bytes` in pieces of at most `chunk` bytes, then end of input.
ByteSource chunked(const std::vector<uint8_t>& bytes, size_t chunk) {
    auto pos = std::make_shared<size_t>(0);
    return [bytes, chunk, pos](uint8_t* buffer, size_t size) -> ssize_t {
        const size_t n = std::min({size, chunk, bytes.size() - *pos});
        std::copy_n(bytes.begin() + static_cast<long>(*pos), n, buffer);
        *pos += n;
        return static_cast<ssize_t>(n);
    };
}

std::string describe(const ControlMessage& m) {
    struct {
        std::string operator()(const MoveMessage& v) { return "move " + std::to_string(v.x) + "," + std::to_string(v.y); }
        std::string operator()(const ButtonMessage& v) { return "button " + std::to_string(v.button) + " " + std::to_string(v.action); }
        std::string operator()(const ScrollMessage& v) { return "scroll " + std::to_string(v.delta); }
        std::string operator()(const KeyMessage& v) { return "key " + std::to_string(v.vk) + " " + std::to_string(v.action); }
        std::string operator()(const TextMessage& v) {
            char text[32];
            snprintf(text, sizeof text, "text %02X%02X%02X %u", v.codePoint[0], v.codePoint[1], v.codePoint[2], v.action);
            return text;
        }
        std::string operator()(const UnknownMessage& v) { return "unknown " + std::to_string(v.type); }
    } visitor;
    return std::visit(visitor, m);
}

struct Decoded {
    StreamEnd end;
    std::vector<std::string> messages;
};

Decoded decode(const std::vector<uint8_t>& bytes, size_t chunk = 64) {
    Decoded r;
    r.end = read_control_stream(chunked(bytes, chunk), [&](const ControlMessage& m) { r.messages.push_back(describe(m)); });
    return r;
}

const std::vector<uint8_t> kEveryType = {
    0x01, 0xFF, 0xFF, 0x01, 0x02,  // move (65535, 258)
    0x02, 0x01, 0x01,              // left press
    0x03, 0xFF, 0xFF,              // scroll -1
    0x04, 0x00, 0x2C, 0x00,        // key 44 release
    0x05, 0x01, 0xF6, 0x00, 0x01,  // text U+1F600 press
};
const std::vector<std::string> kEveryTypeDecoded = {
    "move 65535,258", "button 1 1", "scroll -1", "key 44 0", "text 01F600 1",
};

TEST(ControlFraming, DecodesEveryTypeBigEndianWhateverTheChunking) {
    for (size_t chunk : {1, 2, 3, 7, 64}) {
        SCOPED_TRACE(chunk);
        const Decoded r = decode(kEveryType, chunk);
        EXPECT_EQ(r.messages, kEveryTypeDecoded);
        EXPECT_EQ(r.end, StreamEnd::EndOfInput);
    }
}

TEST(ControlFraming, UnknownTypeIsOneByteWithoutResync) {
    const Decoded r = decode({0x00, 0x01, 0x00, 0x0A, 0x00, 0x14});
    EXPECT_EQ(r.messages, (std::vector<std::string>{"unknown 0", "move 10,20"}));
    // The byte after an unknown type is the next type, even if it looks like payload.
    EXPECT_EQ(decode({0x06, 0x02, 0x01, 0x01}).messages, (std::vector<std::string>{"unknown 6", "button 1 1"}));
}

TEST(ControlFraming, EveryByteAboveFiveIsUnknown) {
    std::vector<uint8_t> bytes;
    for (int b = 0x06; b <= 0xFF; ++b) bytes.push_back(static_cast<uint8_t>(b));
    const Decoded r = decode(bytes, 5);
    ASSERT_EQ(r.messages.size(), 250u);
    EXPECT_EQ(r.messages.front(), "unknown 6");
    EXPECT_EQ(r.messages.back(), "unknown 255");
    EXPECT_EQ(r.end, StreamEnd::EndOfInput);
}

TEST(ControlFraming, EndInsidePayloadDropsThePartialMessage) {
    const Decoded cut = decode({0x02, 0x01, 0x01, 0x01, 0x00, 0x0A, 0x00}, 1);
    EXPECT_EQ(cut.messages, (std::vector<std::string>{"button 1 1"}));
    EXPECT_EQ(cut.end, StreamEnd::Truncated);
    EXPECT_EQ(decode({0x05}).end, StreamEnd::Truncated);
    EXPECT_EQ(decode({}).end, StreamEnd::EndOfInput);
}

TEST(ControlFraming, AReadErrorEndsLikeEndOfInput) {
    auto failing = [](uint8_t*, size_t) -> ssize_t { return -1; };
    EXPECT_EQ(read_control_stream(failing, [](const ControlMessage&) { FAIL(); }), StreamEnd::EndOfInput);
}

void on_alarm(int) {}

TEST(ControlFraming, ReadInterruptedBySignalIsRetried) {
    struct sigaction action {};
    action.sa_handler = on_alarm;  // no SA_RESTART: the blocked read fails with EINTR
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);

    Decoded r;
    std::thread reader([&] {
        r.end = read_control_stream(fd_byte_source(fds[0]),
                                    [&](const ControlMessage& m) { r.messages.push_back(describe(m)); });
    });
    const pthread_t readerThread = reader.native_handle();
    const uint8_t first[] = {0x01, 0x00};
    ASSERT_EQ(write(fds[1], first, 2), 2);
    usleep(50'000);
    pthread_kill(readerThread, SIGUSR1);  // inside the payload
    usleep(50'000);
    const uint8_t rest[] = {0x0A, 0x00, 0x14};
    ASSERT_EQ(write(fds[1], rest, 3), 3);
    usleep(50'000);
    pthread_kill(readerThread, SIGUSR1);  // waiting for a type byte
    usleep(50'000);
    const uint8_t scroll[] = {0x03, 0x00, 0x03};
    ASSERT_EQ(write(fds[1], scroll, 3), 3);
    close(fds[1]);
    reader.join();
    close(fds[0]);
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ(r.messages, (std::vector<std::string>{"move 10,20", "scroll 3"}));
    EXPECT_EQ(r.end, StreamEnd::EndOfInput);
}

}  // namespace
