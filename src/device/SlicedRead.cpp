#include "device/SlicedRead.h"

#include <algorithm>

#include "device/LinkWake.h"

namespace kavelo {

int ReadInSlices(const std::function<int(int sliceMs)>& read, int milliseconds,
                 const LinkWake& cancel, const std::function<std::int64_t()>& nowMs) {
    const std::int64_t deadline = nowMs() + std::max(milliseconds, 0);
    for (;;) {
        const std::int64_t left = milliseconds < 0 ? kReadSliceMs : deadline - nowMs();
        const int slice = static_cast<int>(std::clamp<std::int64_t>(left, 0, kReadSliceMs));
        const int n = read(slice);
        if (n != 0) return n;
        if (cancel.IsRaised() || (milliseconds >= 0 && left <= kReadSliceMs)) return 0;
    }
}

}  // namespace kavelo
