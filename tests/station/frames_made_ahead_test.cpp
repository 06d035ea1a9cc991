// The station makes each frame's values on a thread of its own before the
// frame is due: the frames keep their source's order and values whoever made
// them, a restart drops what was made ahead, a frame ready is never held up
// by the one in the making, the thread waits its pause and ends with the
// session.
#include "station/frames_made_ahead.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using varnix::station::FramesMadeAhead;
using varnix::station::FrameSource;
using namespace std::chrono_literals;

namespace {

constexpr size_t kValues = 300;

// Frame k holds k in every value; remembers which thread made each frame.
class CountingSource final : public FrameSource {
public:
    explicit CountingSource(int frames = 1 << 30) : frames_(frames) {}
    void Restart() override { next_ = 0; }
    size_t FrameValueCount() const override { return kValues; }
    // The thread that makes frame `frame` waits in the source until `release`.
    void HoldFrame(int frame, std::shared_future<void> release) {
        heldFrame_ = frame;
        release_ = std::move(release);
    }
    bool Produce(float* out) override {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            makers_.emplace_back(name);
        }
        calls_.fetch_add(1);
        if (next_ == heldFrame_) release_.wait();
        if (next_ >= frames_) return false;
        std::fill(out, out + kValues, static_cast<float>(next_++));
        return true;
    }
    int Calls() const { return calls_.load(); }
    std::string LastMaker() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return makers_.empty() ? std::string() : makers_.back();
    }
    // True once the source has been asked `calls` times (within 5 s).
    bool WaitForCalls(int calls) const {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (Calls() < calls && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(1ms);
        }
        return Calls() >= calls;
    }

private:
    const int frames_;
    int next_ = 0;  // whoever the wrapper lets make a frame
    int heldFrame_ = -1;
    std::shared_future<void> release_;
    std::atomic<int> calls_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> makers_;
};

struct Made {
    CountingSource* source;
    std::unique_ptr<FramesMadeAhead> ahead;
};

Made MadeAhead(std::chrono::nanoseconds pause, int frames = 1 << 30) {
    auto source = std::make_unique<CountingSource>(frames);
    CountingSource* raw = source.get();
    return {raw, std::make_unique<FramesMadeAhead>(std::move(source), pause)};
}

// The frame's single value, or -1 when the frame was not whole or none came.
float Take(FramesMadeAhead& ahead) {
    std::vector<float> values(kValues, -2.0f);
    if (!ahead.Produce(values.data())) return -1.0f;
    for (float value : values) {
        if (value != values.front()) return -1.0f;
    }
    return values.front();
}

}  // namespace

TEST(FramesMadeAheadTest, FramesComeInTheSourcesOrderWhetherMadeAheadOrWhenAskedFor) {
    Made made = MadeAhead(0ns);
    EXPECT_EQ(made.ahead->FrameValueCount(), kValues);
    made.ahead->Restart();
    ASSERT_TRUE(made.source->WaitForCalls(1));
    EXPECT_EQ(made.source->LastMaker(), "station-frames");
    EXPECT_EQ(Take(*made.ahead), 0.0f);

    // Taken back to back, some made ahead and some at once: still 1..20.
    for (int k = 1; k <= 20; ++k) ASSERT_EQ(Take(*made.ahead), static_cast<float>(k)) << k;

    // Frame 21 made ahead, then the session restarts: it is dropped.
    ASSERT_TRUE(made.source->WaitForCalls(22));
    made.ahead->Restart();
    EXPECT_EQ(Take(*made.ahead), 0.0f);
    EXPECT_EQ(Take(*made.ahead), 1.0f);
}

TEST(FramesMadeAheadTest, TheThreadKeepsTwoReadyWaitsItsPauseAndEndsAtPause) {
    Made made = MadeAhead(10s);
    made.ahead->Restart();  // frames 0 and 1 are made at once
    ASSERT_TRUE(made.source->WaitForCalls(2));
    EXPECT_EQ(Take(*made.ahead), 0.0f);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(made.source->Calls(), 2) << "frame 2 was made before the pause had passed";
    // With none ready the next is made at once, by the thread or the caller.
    EXPECT_EQ(Take(*made.ahead), 1.0f);
    EXPECT_EQ(Take(*made.ahead), 2.0f);

    Made quick = MadeAhead(0ns);
    quick.ahead->Restart();
    ASSERT_TRUE(quick.source->WaitForCalls(2));
    quick.ahead->Pause();
    quick.ahead->Pause();  // twice is harmless
    EXPECT_EQ(Take(*quick.ahead), 0.0f) << "the frames made before the pause are kept";
    EXPECT_EQ(Take(*quick.ahead), 1.0f);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(quick.source->Calls(), 2) << "a paused source made a frame on its thread";
    EXPECT_EQ(Take(*quick.ahead), 2.0f);
    quick.ahead->Restart();  // a new session: the thread is back
    ASSERT_TRUE(quick.source->WaitForCalls(5));
    EXPECT_EQ(quick.source->LastMaker(), "station-frames");
    EXPECT_EQ(Take(*quick.ahead), 0.0f);
}

TEST(FramesMadeAheadTest, AFrameReadyIsTakenWhileTheThreadIsStillMakingTheNext) {
    Made made = MadeAhead(0ns);
    std::promise<void> release;
    made.source->HoldFrame(2, release.get_future().share());
    made.ahead->Restart();
    ASSERT_TRUE(made.source->WaitForCalls(2));  // 0 and 1 ready
    EXPECT_EQ(Take(*made.ahead), 0.0f);
    ASSERT_TRUE(made.source->WaitForCalls(3));  // 2 held in the making
    auto second = std::async(std::launch::async, [&] { return Take(*made.ahead); });
    const bool tookAtOnce = second.wait_for(2s) == std::future_status::ready;
    release.set_value();
    EXPECT_TRUE(tookAtOnce) << "the caller waited for a frame it did not take";
    EXPECT_EQ(second.get(), 1.0f);
    EXPECT_EQ(Take(*made.ahead), 2.0f) << "the frame in the making is waited for, not made twice";
    EXPECT_EQ(Take(*made.ahead), 3.0f);
}

TEST(FramesMadeAheadTest, ASourceThatEndsIsNotAskedAgainUntilItRestarts) {
    Made made = MadeAhead(0ns, 3);
    made.ahead->Restart();
    for (int k = 0; k < 3; ++k) ASSERT_EQ(Take(*made.ahead), static_cast<float>(k));
    EXPECT_EQ(Take(*made.ahead), -1.0f);
    EXPECT_EQ(Take(*made.ahead), -1.0f);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(made.source->Calls(), 4) << "the source was asked again after it had ended";

    made.ahead->Restart();
    EXPECT_EQ(Take(*made.ahead), 0.0f);
}
