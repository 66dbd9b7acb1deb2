#include "capture/stream_stop.h"

#include <cstdio>

#include "capture/capture_config.h"

namespace {

// What the user reads after the stopped line. A stop for any reason we do
// not know of is most often the permission, so it points there.
const char* stop_reason_lines(const StreamStopError& error) {
    if (error.domain == kStreamErrorDomain) {
        if (error.code == kStreamErrorUserStopped) return kUserStoppedSharingLine;
        if (error.code == kStreamErrorNoCaptureSource) return kDisplayGoneLine;
    }
    return kScreenRecordingLines;
}

}  // namespace

bool report_stream_stop(bool stopRequested, const StreamStopError& error) {
    if (stopRequested) return false;
    fprintf(stderr, kStreamStoppedLine, error.description.c_str());
    fputs(stop_reason_lines(error), stderr);
    return true;
}
