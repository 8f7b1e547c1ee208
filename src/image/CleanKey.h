#pragma once

namespace kavelin {

class FrameBuffer;

// What the frame's alpha says to a keyer downstream. Composition of a fully opaque layer at
// opacity 255 gives alpha 254, not 255; a keyer would let 0.4% of its background through where
// the graphics are solid. `Clean` sends 255 wherever the composed alpha is 254 or 255 and
// leaves every other byte as composed.
enum class KeyMode { Composed, Clean };

void cleanKey(FrameBuffer& frame);

} // namespace kavelin
