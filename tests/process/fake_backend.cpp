// A backend for the test-only executable: a synthetic display whose capture
// and stop behave as FAKE_CAPTURE says, and input that goes nowhere.
//   FAKE_CAPTURE=still       one picture, then a still screen (default)
//   FAKE_CAPTURE=none        no picture ever arrives
//   FAKE_CAPTURE=stop-error  the stop reports an error
//   FAKE_CAPTURE=stop-hang   the stop never completes

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/backend.h"
#include "capture/capture_config.h"
#include "capture/frame_store.h"

namespace {

class FakeBackend final : public Backend {
public:
    bool start() override {
        fprintf(stderr, kDisplayLine, 8u, 8u, 1u);
        if (mode_ != "none") {
            std::thread([] {
                const std::vector<uint8_t> picture(8 * 8 * 4, 0x80);
                store_frame(picture.data(), 8, 8, 8 * 4);
            }).detach();
        }
        fputs(kStartedLine, stderr);
        return true;
    }
    void stop(std::function<void(const char* error)> done) override {
        if (mode_ != "stop-hang") done(mode_ == "stop-error" ? "synthetic stop failure" : nullptr);
    }
    void post(const PostedInput&) override {}
    void settle() override {}
    bool input_permitted(bool) override { return true; }

private:
    const std::string mode_ = getenv("FAKE_CAPTURE") ? getenv("FAKE_CAPTURE") : "still";
};

}  // namespace

std::unique_ptr<Backend> make_backend() { return std::make_unique<FakeBackend>(); }
