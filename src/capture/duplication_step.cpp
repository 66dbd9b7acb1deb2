#include "capture/duplication_step.h"

DuplicationStep next_duplication_step(const AcquiredFrame& frame) {
    switch (frame.status) {
        case AcquiredFrame::Status::timeout: return DuplicationStep::nothingChanged;
        case AcquiredFrame::Status::accessLost: return DuplicationStep::recreate;
        case AcquiredFrame::Status::failed: return DuplicationStep::fallBackToGdi;
        case AcquiredFrame::Status::ok: break;
    }
    // A frame may carry only pointer news, with no new desktop image.
    if (frame.lastPresentTime != 0) return DuplicationStep::storePicture;
    if (frame.lastMouseUpdateTime != 0 || frame.pointerShapeBufferSize != 0) return DuplicationStep::redrawPointer;
    return DuplicationStep::nothingChanged;
}
