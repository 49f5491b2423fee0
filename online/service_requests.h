// The service client's own rules, apart from the internet library: which
// completions end a request, how much of a body is read and which login a
// reply still belongs to.
// Portable: no Windows headers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Bytes to read of a reply with this status. An alarm reply sent with an
// error status is read one byte further than its words, so that only a body
// that is exactly one of them can refuse.
size_t ReplyBytesToRead(int kind, uint32_t httpStatus);

// What a call or a completion of the one read leaves.
enum class ReadStep {
    PENDING,  // the read completes later, through the callback
    DONE,     // the bytes are there: the reply is handled
    FAILED,   // a reset or time-out: a failed request, nothing is handled
};
ReadStep ReadStepOfCall(bool returned, uint32_t lastError);
ReadStep ReadStepOfCompletion(uint32_t errorCode);

// The steps of one request that two threads may reach: the issuer, when the
// library finishes the open or the read at once, and the library's callback,
// which may come as well. Each step is taken by exactly one of them.
class RequestSteps {
public:
    // The open's completion: true for the first to come.
    bool TakeOpen() { return !opened.exchange(true); }
    // A pending read: true for the second of the call's return and its
    // completion, after which the library writes the count no more.
    bool ReadPartyDone() { return readParties.fetch_sub(1) == 1; }
    // The end, success or failure: true once.
    bool TakeEnd() { return !ended.exchange(true); }

private:
    std::atomic<bool> opened{false};
    std::atomic<int> readParties{2};
    std::atomic<bool> ended{false};
};

// A login is numbered when it starts; its nonce and account requests carry
// the number. A later login supersedes it: its replies are then dropped, so
// only the newest login sets the nonce and tells the main dialog its answer.
// The other kinds belong to no login (0) and are always handled.
bool ReplyStillWanted(int kind, uint32_t login, uint32_t newestLogin);

// The login the connection watchdog's timer watches, on the thread that owns
// the timer. A cancel names the login its reply belongs to: one that comes
// late, from an older login, leaves the newer login's timer running.
class WatchdogLogin {
public:
    void Started(uint32_t login)
    {
        watched_ = login;
        running_ = true;
    }
    // True when the timer is to be stopped now.
    bool Cancel(uint32_t login)
    {
        if (!running_ || login != watched_)
            return false;
        running_ = false;
        return true;
    }
    void Fired() { running_ = false; }

private:
    uint32_t watched_ = 0;
    bool running_ = false;
};
