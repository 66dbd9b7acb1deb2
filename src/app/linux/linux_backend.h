#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "app/backend.h"

// The Linux backends, one table entry each; make_backend() picks one.
struct LinuxBackendEntry {
    const char* name;  // as SCREENSHARE_HELPER_BACKEND names it
    // Whether this desktop can be reached this way at all.
    bool (*usable)();
    std::unique_ptr<Backend> (*make)();
};

extern const LinuxBackendEntry kWaylandBackend;
extern const LinuxBackendEntry kPortalBackend;
extern const LinuxBackendEntry kMutterBackend;
extern const LinuxBackendEntry kX11Backend;

// A backend's input side, made at its first use (the permission query, or
// the first event), from whatever the capture has set up by then. Safe from
// any thread.
template <class Input>
class InputMadeOnFirstUse {
public:
    explicit InputMadeOnFirstUse(std::function<std::unique_ptr<Input>()> make) : make_(std::move(make)) {}

    Input& operator*() {
        std::call_once(made_, [this] { input_ = make_(); });
        return *input_;
    }
    Input* operator->() { return &**this; }

private:
    std::function<std::unique_ptr<Input>()> make_;
    std::once_flag made_;
    std::unique_ptr<Input> input_;
};
