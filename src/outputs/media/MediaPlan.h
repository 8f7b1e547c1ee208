#pragma once

#include "base/Result.h"
#include "engine/Format.h"

#include <string>
#include <string_view>

namespace kavelin {

// How a media output lives: a recording is finalised when it ends and fails for good on an
// error; a stream is tried again while its receiver is away; a pipeline of the user's is
// finalised like a recording.
enum class MediaKind { Recording, Stream, Pipeline };

// What a media output runs: the frames enter through an appsrc (with frameCaps) followed by
// `pipeline`, a GStreamer description. The appsrc holds at most `queuedFrames`; a frame that
// comes to a full queue pushes out the oldest.
struct MediaPlan {
    MediaKind kind = MediaKind::Recording;
    std::string pipeline;
    unsigned queuedFrames = 2;
};

// True for the texts planMediaOutput is about: PATH.mkv, PATH.mov, PATH.webm (each with an
// optional ?query), srt://, udp://, rtmp://, rtmps:// and gst:.
bool isMediaOutput(std::string_view output);

// The plan of a media output for frames of `format`, or why it cannot be made (an unknown
// option, a bad value, a malformed address, VP9 with alpha).
Result<MediaPlan> planMediaOutput(std::string_view output, const Format& format);

// The frames as they enter: BGRA of the format's size and rate; two woven fields, upper first,
// when interlaced.
std::string frameCaps(const Format& format);

} // namespace kavelin
