// Decodes pictures ahead of need on one worker thread, so that a slide
// switch finds its picture ready. The show says which pictures it wants,
// nearest first; the worker decodes them in that order, at most `depth`
// ahead and within a byte bound, and holds each until it is taken or no
// longer wanted. Whoever takes a result owns it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "math/kvRegion.h"

namespace Korvell {

class kvDataFile;

class kvTexture;

struct kvPictureRequest {
    std::string fileName;
    const kvDataFile* archive = nullptr; // where it is read from (null: the disk)
    int neededWidth = 0;                 // 0 x 0: full size
    int neededHeight = 0;
    bool blurred = false; // its blurred copy is made too (a "blur" fit)
    bool focus = false;   // its focus is found too (kvFocusFinder)
    bool operator==(const kvPictureRequest& o) const
    {
        return fileName == o.fileName && archive == o.archive && neededWidth == o.neededWidth
               && neededHeight == o.neededHeight && blurred == o.blurred && focus == o.focus;
    }
};

// Decodes a request's picture as the worker does: its colours, its blurred
// copy when asked, its focus when asked (once a file: a picture's focus is
// kept for the show). False with the reason; `reason` may hold a note when
// true.
bool decodeRequest(const kvPictureRequest& request, kvTexture& picture, std::unique_ptr<kvTexture>* blurred,
                   std::string* reason);
// The focus found for a file, once it has been.
bool knownFocus(const std::string& fileName, const kvDataFile* archive, kvRegion* region);

class kvPreloader {
public:
    // depth: how many wanted pictures are decoded ahead at most; maxBytes:
    // how many bytes of decoded pictures it holds at most (one picture is
    // always allowed, however large).
    kvPreloader(size_t depth, size_t maxBytes);
    ~kvPreloader();

    // The pictures wanted now, nearest first; anything else is dropped.
    void want(const std::vector<kvPictureRequest>& wanted);
    // The decoded picture for the request when it is ready (the caller
    // owns it), else null. A picture that cannot be shown comes back as
    // null with `failed` set and the reason. Its blurred copy, when asked
    // for, comes in `blurred`.
    std::unique_ptr<kvTexture> take(const kvPictureRequest& request, bool* failed, std::string* reason,
                                    std::unique_ptr<kvTexture>* blurred = nullptr);
    // Drops everything, including the decode under way (the files may have
    // changed since it began).
    void forget();
    // Finds a picture's focus on the worker, after the pictures wanted
    // (a picture the frame decoded itself, whose focus the frame must not
    // wait for); knownFocus tells when it is found.
    void findFocusLater(const kvPictureRequest& request);
    // Focus jobs wait while paused (the show's first frame is being made:
    // the cores are its); pictures are decoded all the same.
    void pauseFocus(bool paused);

    // Tests: hold the worker before its next decode until released, and
    // whether a decode of the file has finished and waits to be taken.
    void holdForTests(bool hold);
    bool isFinished(const std::string& fileName);

private:
    struct Slot {
        kvPictureRequest request;
        std::unique_ptr<kvTexture> texture;
        std::unique_ptr<kvTexture> blurred;
        bool failed = false;
        std::string reason;
    };
    void run();
    size_t heldBytes() const;

    const size_t depth;
    const size_t maxBytes;
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<kvPictureRequest> wanted;
    std::vector<kvPictureRequest> focusJobs;
    bool focusPaused = false;
    std::vector<Slot> slots; // finished, or being decoded (at most one)
    bool held = false;
    unsigned generation = 0;
    bool stopping = false;
    std::thread worker;
};

} // namespace Korvell
