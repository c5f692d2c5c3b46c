// Trying again what another run holds for a moment: the one pause between tries that
// every wait of both programs takes.
#pragma once

// Waits the pause between two tries (RETRY_PAUSE_NS).
void pauseBeforeRetry();

// Calls fAttempt until it returns true (it is done, one way or the other), pausing between
// calls while iTries lasts; false when the tries ran out first. iTries counts down the
// attempts that returned false, so that consecutive waits can share one budget.
template <typename tAttempt>
bool retryPaused(tAttempt fAttempt, int& iTries) {
    while (!fAttempt()) {
        if (--iTries <= 0)
            return false;
        pauseBeforeRetry();
    }
    return true;
}
