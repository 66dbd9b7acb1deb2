// Types a burst into whatever window is under (X, Y), as a controller would:
// the helper started on pipes, a move there, then every character of TEXT as
// a text message (press and release) and Enter, all in one write. The helper
// runs until this program's stdin ends, so that the caller decides when the
// window has taken everything; then stdin is closed and the helper's status
// is this program's.
//
// Usage: burst_typist HELPER X Y TEXT   (TEXT in UTF-8; DISPLAY names the server)

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "controller/child.h"
#include "controller/messages.h"

namespace {

std::vector<uint32_t> code_points(const std::string& utf8) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = uint8_t(utf8[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n && i + k < utf8.size(); ++k) cp = cp << 6 | (uint8_t(utf8[i + k]) & 0x3F);
        out.push_back(cp);
        i += size_t(n);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: %s HELPER X Y TEXT\n", argv[0]);
        return 2;
    }
    using namespace controller;
    Child helper({argv[1], "15"}, {}, Output::Null, Output::Log);
    if (!helper.wait_log("control loop started")) {
        fprintf(stderr, "the helper did not start:\n%s", helper.log().c_str());
        return 1;
    }
    Bytes burst = move_to(uint16_t(atoi(argv[2])), uint16_t(atoi(argv[3])));
    for (uint32_t cp : code_points(argv[4])) append(burst, text(cp, kPress)), append(burst, text(cp, kRelease));
    constexpr uint16_t kEnter = 10;
    append(burst, key(kEnter, kPress)), append(burst, key(kEnter, kRelease));
    if (!helper.send(burst)) return 1;
    for (char c; fread(&c, 1, 1, stdin) == 1;) {
    }
    helper.close_stdin();
    const int status = helper.exit_code();
    if (status != 0) fprintf(stderr, "%s", helper.log().c_str());
    return status;
}
