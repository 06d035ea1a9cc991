// A failed host operation's result object. One object stands for one kind of
// refusal and may be handed out many times; the host counts how often it
// handed it out and how often the module released it, which must match:
// each non-null result is released exactly once.
#pragma once

#include "tests/windows/sdk_interfaces.h"
#include "tests/windows/text.h"

class HostError final : public ViconDigitalDevice::IHostError {
public:
    explicit HostError(const char* text) : text_(text) {}

    // Any thread: a result that carries this error, counted as handed out.
    ViconDigitalDevice::IHostResult HandOut() {
        __atomic_fetch_add(&handedOut_, 1u, __ATOMIC_SEQ_CST);
        return ViconDigitalDevice::IHostResult{this};
    }

    const char* Text() override { return text_; }
    void Unused1() override { __atomic_fetch_add(&unusedCalls_, 1u, __ATOMIC_SEQ_CST); }
    void Release() override { __atomic_fetch_add(&releases_, 1u, __ATOMIC_SEQ_CST); }

    unsigned HandedOut() const { return __atomic_load_n(&handedOut_, __ATOMIC_SEQ_CST); }
    unsigned Releases() const { return __atomic_load_n(&releases_, __ATOMIC_SEQ_CST); }
    unsigned UnusedCalls() const { return __atomic_load_n(&unusedCalls_, __ATOMIC_SEQ_CST); }
    bool ReleasedOnceEach() const { return Releases() == HandedOut(); }
    // "handed out 2, released 1"
    ::Text Account() const {
        ::Text account("handed out ");
        account.Unsigned(HandedOut()).Add(", released ").Unsigned(Releases());
        return account;
    }

private:
    const char* text_;
    unsigned handedOut_ = 0;
    unsigned releases_ = 0;
    unsigned unusedCalls_ = 0;
};

// The success result.
inline ViconDigitalDevice::IHostResult Success() {
    return ViconDigitalDevice::IHostResult{nullptr};
}
