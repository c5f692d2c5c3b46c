// The pause between tries.
#include "tinyfs/retry.h"

#include <ctime>

namespace {

// Short enough that a run waiting for another notices it let go at once, long enough that
// the waiting costs nothing.
constexpr long RETRY_PAUSE_NS = 50 * 1000 * 1000;

} // namespace

void pauseBeforeRetry() {
    const timespec oPause = {0, RETRY_PAUSE_NS};
    ::nanosleep(&oPause, nullptr);
}
