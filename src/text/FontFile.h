#pragma once

#include "base/ReadableFile.h"
#include "base/Result.h"

#include <memory>
#include <vector>

namespace kavelin {

// A font file read whole: FreeType reads faces from these bytes, which must outlive them.
using FontBytes = std::shared_ptr<const std::vector<char>>;

// Font files larger than this are refused unread.
inline constexpr int64_t kMaxFontFileBytes = int64_t{256} << 20;

// The bytes of the file, shared with every face already made from the same unchanged file, so
// that a face loaded into many font numbers is held once.
Result<FontBytes> readFontFile(const ReadableFile& file);

} // namespace kavelin
