#pragma once

#include <cstdint>
#include <optional>

// Which capture samples may replace the stored frame, by the status the
// capture service attaches to each (its SCFrameStatus numbers).
enum class SampleStatus : int64_t { Complete = 0, Idle = 1, Blank = 2, Suspended = 3, Started = 4, Stopped = 5 };

// The first picture after the start may come marked Started, and a still
// screen sends nothing after it, so Started counts as a picture; a sample
// with no status at all is taken at its word. Idle samples repeat nothing,
// and Blank, Suspended and Stopped ones must not replace a good picture.
constexpr bool should_store_sample(bool hasImageBuffer, std::optional<int64_t> status) {
    if (!hasImageBuffer) return false;
    if (!status) return true;
    return *status == static_cast<int64_t>(SampleStatus::Complete) ||
           *status == static_cast<int64_t>(SampleStatus::Started);
}
