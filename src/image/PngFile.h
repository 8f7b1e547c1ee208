#pragma once

#include <string>

namespace kavelin {

class FrameBuffer;

// Writes a frame as an 8-bit RGBA PNG, alpha straight as stored. False when the file cannot be
// written.
bool writePng(const FrameBuffer& frame, const std::string& path);

} // namespace kavelin
