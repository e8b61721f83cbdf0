#pragma once

namespace velto::flash {

// The waits of the flash exchanges. Tests shorten them; the device expects these.
struct FlashTimings {
    // An answer must begin within this time after its message was sent; a line that will not fall
    // quiet before a retry is given as long again as the quiet it needs.
    int answerLimitMs = 5000;
    // A command's answer is looked at no sooner than this after the send.
    int commandPauseMs = 1000;
    // The device is still writing (':' 0xA4): its answer counts after this pause.
    int slowWritePauseMs = 3000;
    // After the last line, before the burn is reported as done; an answer that comes now was not due.
    int finishPauseMs = 1000;
    // Before a failed message is sent again the line must have been quiet this long: a late answer
    // to the failed try is dropped then and never taken for the answer to the retry.
    int retryQuietMs = 1000;
};

} // namespace velto::flash
