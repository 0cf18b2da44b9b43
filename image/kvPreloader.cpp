// The decoding worker, at a lower priority than the frame loop.
#include "image/kvPreloader.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "image/kvFocusFinder.h"
#include "image/kvPictureDecoder.h"
#include "image/kvPictureFile.h"
#include "image/kvResample.h"
#include "image/kvTexture.h"

namespace Korvell {

namespace {

// Each picture's focus, found once for the show: a slide seen again (a
// step back, a second pass) finds it here.
std::mutex focusMutex;
std::map<std::pair<std::string, const kvDataFile*>, kvRegion> focusKept;

} // namespace

bool decodeRequest(const kvPictureRequest& request, kvTexture& picture, std::unique_ptr<kvTexture>* blurred,
                   std::string* reason)
{
    std::vector<uint8_t> bytes;
    if (!readPictureFile(request.fileName, request.archive, bytes, reason)
        || !decodePicture(bytes, request.neededWidth, request.neededHeight, picture, reason))
        return false;
    if (request.blurred && blurred) {
        blurred->reset(new kvTexture());
        if (!makeBlurred(picture, **blurred)) blurred->reset();
    }
    if (request.focus) {
        const auto key = std::make_pair(request.fileName, request.archive);
        {
            std::lock_guard<std::mutex> lock(focusMutex);
            auto it = focusKept.find(key);
            if (it != focusKept.end()) {
                picture.setFocus(it->second);
                return true;
            }
        }
        const kvRegion found = findFocus(picture).region;
        picture.setFocus(found);
        std::lock_guard<std::mutex> lock(focusMutex);
        focusKept[key] = found;
    }
    return true;
}

bool knownFocus(const std::string& fileName, const kvDataFile* archive, kvRegion* region)
{
    std::lock_guard<std::mutex> lock(focusMutex);
    auto it = focusKept.find(std::make_pair(fileName, archive));
    if (it == focusKept.end()) return false;
    *region = it->second;
    return true;
}

void kvPreloader::findFocusLater(const kvPictureRequest& request)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        kvPictureRequest job = request;
        // A copy just large enough for the finder.
        job.neededWidth = job.neededHeight = kFocusSide;
        job.blurred = false;
        job.focus = true;
        if (std::find(focusJobs.begin(), focusJobs.end(), job) == focusJobs.end()) focusJobs.push_back(job);
    }
    wake.notify_all();
}

void kvPreloader::pauseFocus(bool paused)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        focusPaused = paused;
    }
    wake.notify_all();
}

kvPreloader::kvPreloader(size_t depth_, size_t maxBytes_) : depth(depth_), maxBytes(maxBytes_)
{
    worker = std::thread(&kvPreloader::run, this);
}

kvPreloader::~kvPreloader()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

size_t kvPreloader::heldBytes() const
{
    size_t n = 0;
    for (const Slot& s : slots)
        if (s.texture)
            n += static_cast<size_t>(s.texture->getBufferWidth()) * s.texture->getBufferHeight()
                 * s.texture->getBytesPerPixel();
    return n;
}

void kvPreloader::want(const std::vector<kvPictureRequest>& list)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        wanted.assign(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(std::min(list.size(), depth)));
        slots.erase(std::remove_if(slots.begin(), slots.end(),
                                   [&](const Slot& s) {
                                       return std::find(wanted.begin(), wanted.end(), s.request) == wanted.end();
                                   }),
                    slots.end());
    }
    wake.notify_all();
}

std::unique_ptr<kvTexture> kvPreloader::take(const kvPictureRequest& request, bool* failed, std::string* reason,
                                             std::unique_ptr<kvTexture>* blurred)
{
    std::unique_ptr<kvTexture> out;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = slots.begin(); it != slots.end(); ++it) {
            if (!(it->request == request)) continue;
            if (failed) *failed = it->failed;
            if (reason) *reason = it->reason;
            out = std::move(it->texture);
            if (blurred) *blurred = std::move(it->blurred);
            slots.erase(it);
            // Taken is done: not to be decoded again unless asked anew.
            wanted.erase(std::remove(wanted.begin(), wanted.end(), request), wanted.end());
            break;
        }
    }
    wake.notify_all(); // room for the next one
    return out;
}

void kvPreloader::forget()
{
    std::lock_guard<std::mutex> lock(mutex);
    wanted.clear();
    slots.clear();
    focusJobs.clear();
    ++generation;
}

void kvPreloader::holdForTests(bool hold)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        held = hold;
    }
    wake.notify_all();
}

bool kvPreloader::isFinished(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (const Slot& s : slots)
        if (s.request.fileName == fileName) return true;
    return false;
}

void kvPreloader::run()
{
    // Below the frame loop: on a machine the show keeps busy, decoding
    // takes about a tenth of a core from it, and all the idle time there is.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        kvPictureRequest next;
        bool focusOnly = false;
        wake.wait(lock, [&] {
            if (stopping) return true;
            if (held) return false;
            const bool full = !slots.empty() && heldBytes() >= maxBytes;
            for (const kvPictureRequest& r : wanted) {
                bool have = false;
                for (const Slot& s : slots) have = have || s.request == r;
                if (!have && !full) {
                    next = r;
                    return true;
                }
            }
            if (focusJobs.empty() || focusPaused) return false;
            next = focusJobs.front();
            focusJobs.erase(focusJobs.begin());
            focusOnly = true;
            return true;
        });
        if (stopping) return;
        if (focusOnly) {
            lock.unlock();
            kvTexture scratch;
            decodeRequest(next, scratch, nullptr, nullptr);
            lock.lock();
            continue;
        }
        const unsigned began = generation;
        lock.unlock();

        // The picture first, as soon as it can be; its focus after, as a
        // job of its own (a copy decoded small), so that a focus never
        // holds a picture back.
        Slot slot;
        slot.request = next;
        std::unique_ptr<kvTexture> texture(new kvTexture());
        kvPictureRequest plain = next;
        plain.focus = false;
        slot.failed = !decodeRequest(plain, *texture, &slot.blurred, &slot.reason);
        if (!slot.failed) slot.texture = std::move(texture);
        kvRegion known;
        if (!slot.failed && next.focus && !knownFocus(next.fileName, next.archive, &known)) findFocusLater(next);


        lock.lock();
        if (generation == began && std::find(wanted.begin(), wanted.end(), next) != wanted.end())
            slots.push_back(std::move(slot));
    }
}

} // namespace Korvell
