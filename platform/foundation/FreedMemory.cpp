#include "platform/foundation/FreedMemory.hpp"

#include <malloc.h>

namespace platform::foundation::FreedMemory {

void keepReturningHeapTops() {
    constexpr int startMark = 128 * 1024;
    mallopt(M_TRIM_THRESHOLD, startMark);
}

void returnFreePages() {
    malloc_trim(0);
}

}  // namespace platform::foundation::FreedMemory
