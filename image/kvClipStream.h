// One clip decoded ahead on a worker thread of its own: opened, sought to
// its trimmed start and decoded a few frames ahead of the time the show
// last asked for, frames already past dropped on the worker. The show asks
// for the frame due at a clip time each frame: the last one at or before
// it. Live it never waits (but for the very first frame): a frame not yet
// decoded leaves the one shown in place. For a render (`exact`) it waits
// until the frame due is known. A jump (Next, Previous, a time far ahead)
// seeks the decoder again.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "image/kvClipDecoder.h"

namespace Korvell {

class kvClipStream {
public:
    // Makes the decoder on the worker (loading what it needs there); null
    // with the reason when clips cannot be decoded.
    typedef std::function<std::unique_ptr<kvClipDecoder>(std::string* reason)> Maker;
    struct Options {
        std::string file;
        double start = 0.0;  // the clip time decoded from first
        int maxWidth = 0;    // the most its frames are seen at (0: their own size)
        int maxHeight = 0;
        bool blurred = false; // each frame's blurred copy made too
        bool exact = false;   // a render: the frame due is waited for
    };
    // How many frames it holds decoded ahead at most.
    static const size_t kAhead = 3;

    kvClipStream(const Maker& make, const Options& options);
    ~kvClipStream();

    // The frame due at clip time `seconds`; null while none can be had (a
    // clip that failed, or live before its first frame is decoded and
    // after waiting a while for it). The frame stays the stream's and
    // valid until the next call.
    // With `mayWait` false it never waits, even for a first frame.
    const kvClipFrame* frameAt(double seconds, bool mayWait = true);
    // Whether it failed (it cannot be opened or decoded), and why.
    bool failed(std::string* reason) const;
    // Its facts once opened (false before, or when it failed), and how it
    // is decoded ("vaapi", or "software" and its threads; "" before).
    bool facts(kvClipFacts* out) const;
    std::string decoding() const;
    // Frames decoded so far and frames passed over unseen (tests, benches).
    long long decodedCount() const;
    long long droppedCount() const;
    // Tests: hold the worker before its next frame until released.
    void holdForTests(bool hold);

private:
    kvClipStream(const kvClipStream&) = delete;
    kvClipStream& operator=(const kvClipStream&) = delete;
    void run();
    // Under the lock: whether the queue tells the frame due at `t`.
    bool knowsFrameAt(double t) const;

    Maker make;
    Options options;
    mutable std::mutex mutex;
    std::condition_variable wake;     // the worker waits here
    std::condition_variable arrived;  // the show waits here for frames
    std::deque<std::unique_ptr<kvClipFrame>> queue; // decoded, in time order
    std::unique_ptr<kvClipFrame> shown;             // the frame last handed out
    double wanted = 0.0;   // the clip time last asked for
    double runStart = 0.0; // where the decoder was last sent (the start, or a seek)
    bool shownFirst = false; // the frame shown is the first of its run
    bool firstOfRun = true;  // the next frame handed out is
    double seekTo = -1.0;  // a seek the worker is to make (-1: none)
    unsigned seeks = 0;    // seeks asked for, so frames of an old run are let go
    bool ended = false;    // the decoder has no more frames (from the last seek)
    bool broken = false;
    bool opened = false;
    bool stopping = false;
    bool held = false;
    std::string reason;
    kvClipFacts clipFacts;
    std::string decodedBy;
    long long decoded = 0;
    long long dropped = 0;
    std::thread worker;
};

} // namespace Korvell
