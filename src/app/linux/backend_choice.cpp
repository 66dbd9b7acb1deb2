// The backend on Linux: the one SCREENSHARE_HELPER_BACKEND names, else
// wlroots when the compositor offers what it needs, else the desktop portal
// on Wayland, else X11.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "app/linux/linux_backend.h"

namespace {

const LinuxBackendEntry* const kBackends[] = {&kWaylandBackend, &kPortalBackend, &kMutterBackend, &kX11Backend};

constexpr const char* kUnknownBackendLine =
    "[capture] ERROR: SCREENSHARE_HELPER_BACKEND=%s names no backend (x11, wlroots, portal, mutter)\n";

// What a name that matches no backend gets: nothing starts, nothing is posted.
class NoBackend final : public Backend {
public:
    bool start() override { return false; }
    void stop(std::function<void(const char*)> done) override { done(nullptr); }
    void post(const PostedInput&) override {}
    void settle() override {}
    bool input_permitted(bool) override { return false; }
};

}  // namespace

std::unique_ptr<Backend> make_backend() {
    // A backend asked for by name is the only one tried: it says why it cannot start.
    if (const char* forced = getenv("SCREENSHARE_HELPER_BACKEND"); forced && *forced) {
        for (const LinuxBackendEntry* candidate : kBackends) {
            if (strcmp(candidate->name, forced) == 0) return candidate->make();
        }
        fprintf(stderr, kUnknownBackendLine, forced);
        return std::make_unique<NoBackend>();
    }
    for (const LinuxBackendEntry* candidate : kBackends) {
        if (candidate->usable()) return candidate->make();
    }
    // Nothing answers: the last one tries anyway and says why it cannot.
    return kBackends[std::size(kBackends) - 1]->make();
}
