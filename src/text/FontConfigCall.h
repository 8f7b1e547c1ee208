#pragma once

#include <cstddef>
#include <mutex>

namespace kavelin {

// Fontconfig does not always survive an allocation that fails inside it (it has been seen to
// crash in FcConfigSubstituteWithPat under an address-space limit). Its calls therefore run
// with memory set aside: a reserve, held between calls, is given up right before a call and
// taken again after it, so the call has room even when the rest of the process has used up
// what it may have. Without the reserve in hand beforehand, memory is too short to call
// fontconfig at all. One call at a time, from any thread.
class FontConfigCall {
public:
    static constexpr size_t kReserveBytes = size_t{16} << 20;

    FontConfigCall();
    // Takes the reserve again.
    ~FontConfigCall();
    FontConfigCall(const FontConfigCall&) = delete;
    FontConfigCall& operator=(const FontConfigCall&) = delete;

    // False when fontconfig must not be called.
    bool allowed() const { return allowed_; }

private:
    std::unique_lock<std::mutex> lock_;
    bool allowed_ = false;
};

} // namespace kavelin
