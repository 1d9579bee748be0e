#pragma once

#include "container/settings.h"

namespace kaleon::container {

// Removes the first `index` bytes of `buffer` and returns them; the rest moves to the front.
// `index` must not exceed the buffer's length.
Bytes consumeToIndex(Bytes& buffer, size_t index);

// Whether `a` and `b` hold the same bytes. Every byte of `b` is visited, so the time depends
// only on the length of `b` (the untrusted side), never on where the buffers differ.
bool tgc_isEqualInConsistentTime(ByteView a, ByteView b);

} // namespace kaleon::container
