// The worker of one clip, and the show's side of it.
#include "image/kvClipStream.h"

#include <chrono>

#include "image/kvResample.h"

namespace Korvell {

namespace {
// A time this far past the newest frame decoded is reached by seeking
// rather than decoding every frame on the way.
const double kSeekAhead = 1.0;
const double kEpsilon = 1e-6;
// Live, how long the first frame of a clip is waited for.
const auto kFirstFrameWait = std::chrono::seconds(3);
} // namespace

kvClipStream::kvClipStream(const Maker& make_, const Options& options_)
    : make(make_), options(options_), wanted(options_.start), runStart(options_.start)
{
    worker = std::thread(&kvClipStream::run, this);
}

kvClipStream::~kvClipStream()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    arrived.notify_all();
    worker.join();
}

void kvClipStream::run()
{
    std::string why;
    std::unique_ptr<kvClipDecoder> decoder = make ? make(&why) : nullptr;
    if (decoder && !decoder->open(options.file, options.maxWidth, options.maxHeight, &why)) decoder.reset();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!decoder) {
            broken = true;
            reason = why.empty() ? "it cannot be decoded" : why;
            arrived.notify_all();
            return;
        }
        clipFacts = decoder->facts();
        decodedBy = decoder->decoding();
        opened = true;
    }
    decoder->seek(options.start);
    unsigned run = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] {
                return stopping || (!held && (seekTo >= 0.0 || (queue.size() < kAhead && !ended)));
            });
            if (stopping) return;
            if (seekTo >= 0.0) {
                const double target = seekTo;
                seekTo = -1.0;
                run = seeks;
                lock.unlock();
                decoder->seek(target);
                continue;
            }
            run = seeks;
        }
        std::unique_ptr<kvClipFrame> frame(new kvClipFrame());
        why.clear();
        const bool got = decoder->next(*frame, &why);
        if (got && options.blurred && frame->picture) {
            frame->blurred.reset(new kvTexture());
            if (!makeBlurred(*frame->picture, *frame->blurred)) frame->blurred.reset();
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (run != seeks) continue; // a seek came meanwhile: this frame is of the old place
        if (!got) {
            ended = true;
            // An error before any frame: the clip cannot be shown.
            if (decoded == 0 && !why.empty()) {
                broken = true;
                reason = why;
            }
        } else {
            frame->serial = ++decoded;
            queue.push_back(std::move(frame));
            // A frame whose successor is due already will never be shown.
            while (queue.size() >= 2 && queue[1]->seconds <= wanted + kEpsilon) {
                queue.pop_front();
                ++dropped;
            }
        }
        arrived.notify_all();
    }
}

bool kvClipStream::knowsFrameAt(double t) const
{
    if (broken || stopping) return true;
    if (queue.empty()) return ended;
    return queue.front()->seconds > t + kEpsilon || queue.size() >= 2 || ended;
}

const kvClipFrame* kvClipStream::frameAt(double t, bool mayWait)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (broken) return nullptr;
    wanted = t;
    // Back before what the decoder has passed, or far ahead of it: seek.
    const double newest = !queue.empty() ? queue.back()->seconds : shown ? shown->seconds : runStart;
    const bool back = t < runStart - kEpsilon || (shown && !shownFirst && t < shown->seconds - kEpsilon);
    const bool ahead = t > newest + kSeekAhead;
    if (back || ahead) {
        seekTo = t;
        runStart = t;
        ++seeks;
        queue.clear();
        ended = false;
        shown.reset();
        firstOfRun = true;
    }
    while (queue.size() >= 2 && queue[1]->seconds <= t + kEpsilon) {
        queue.pop_front();
        ++dropped;
    }
    wake.notify_all();
    if (!mayWait) {
    } else if (options.exact) {
        arrived.wait(lock, [this, t] { return knowsFrameAt(t); });
    } else if (!shown) {
        // Nothing shown yet (the clip's start, or after a jump): the frame
        // due, waited for a while.
        arrived.wait_for(lock, kFirstFrameWait, [this, t] { return knowsFrameAt(t); });
    }
    if (broken) return nullptr;
    if (!queue.empty() && (queue.front()->seconds <= t + kEpsilon || !shown)) {
        shown = std::move(queue.front());
        queue.pop_front();
        shownFirst = firstOfRun;
        firstOfRun = false;
        wake.notify_all();
    }
    return shown.get();
}

bool kvClipStream::failed(std::string* why) const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (broken && why) *why = reason;
    return broken;
}

bool kvClipStream::facts(kvClipFacts* out) const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (opened && out) *out = clipFacts;
    return opened;
}

std::string kvClipStream::decoding() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return decodedBy;
}

long long kvClipStream::decodedCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return decoded;
}

long long kvClipStream::droppedCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return dropped;
}

void kvClipStream::holdForTests(bool hold)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        held = hold;
    }
    wake.notify_all();
}

} // namespace Korvell
