// Bytes as a video clip: its headers read as a folder show reads them, the
// bytes as a Motion Photo's too; opened, its facts read, its first frames decoded
// from the start and again after a seek, as a show does. Whatever the
// bytes, it ends, and a refusal says why.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "export/kvClipDecoderFFmpeg.h"
#include "image/kvClipHeaders.h"
#include "image/kvMotionPhoto.h"
#include "image/kvTexture.h"
#include "kvFuzzFile.h"

using namespace Korvell;

namespace {
// A frame is a picture of the size the clip said, its buffer around it.
void check(const kvClipFrame& f, const kvClipFacts& facts)
{
    const kvTexture* t = f.picture.get();
    if (!t || t->getWidth() <= 0 || t->getWidth() > facts.width || t->getHeight() > facts.height
        || t->getBufferWidth() < t->getWidth() + 1 || t->getBufferHeight() < t->getHeight() + 1)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kvClipHeaders headers;
    const kvReadAt readAt = [&](uint64_t at, size_t n, uint8_t* into) {
        if (at > size || n > size - at) return false;
        std::copy(data + at, data + at + n, into);
        return true;
    };
    if (readClipHeaders(readAt, size, &headers) && (headers.seconds < 0 || headers.width < 0 || headers.height < 0))
        __builtin_trap();
    uint64_t offset = 0, length = 0;
    if (findMotionPhotoClip(data, size, size, &offset, &length) && (offset > size || length > size - offset))
        __builtin_trap();
    const std::string path = fuzzFile(data, size, ".mp4");
    kvClipFacts probed;
    std::string reason;
    if (!probeClipFile(path, &probed, &reason) && reason.empty()) __builtin_trap();
    std::unique_ptr<kvClipDecoder> clip = makeClipDecoder();
    reason.clear();
    if (clip->open(path, 64, 64, &reason)) {
        for (double at : {0.0, 0.5}) {
            clip->seek(at);
            for (int n = 0; n < 4; ++n) {
                kvClipFrame frame;
                if (!clip->next(frame, &reason)) break;
                check(frame, clip->facts());
            }
        }
    } else if (reason.empty()) {
        __builtin_trap();
    }
    std::remove(path.c_str());
    return 0;
}
