#pragma once

namespace kavelin {

class Image;

// Writes an Image as an uncompressed 32-bit TGA file with its top row first, the layout the
// TGA reader takes back byte for byte. False when the file cannot be written.
bool writeTga(const char* path, const Image& image);

} // namespace kavelin
