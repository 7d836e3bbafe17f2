#pragma once

#include <cstdint>
#include <functional>

namespace kavelo {

class LinkWake;

// The longest single wait of a sliced read: the most a close waits for a read
// on a silent amplifier.
inline constexpr int kReadSliceMs = 50;

// A read that cannot be interrupted, made interruptible: calls read(sliceMs)
// with slices of at most kReadSliceMs until it returns non-zero (bytes or an
// error, returned as they are), `milliseconds` have passed by `nowMs` (then
// 0, as a time-out; a negative time-out never passes) or `cancel` is raised
// (then 0 as well).
int ReadInSlices(const std::function<int(int sliceMs)>& read, int milliseconds,
                 const LinkWake& cancel, const std::function<std::int64_t()>& nowMs);

}  // namespace kavelo
