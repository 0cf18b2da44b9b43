// libavformat over a bounded file.
#include "export/kvFFmpegInput.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "base/kvFiles.h"

namespace Korvell {

namespace {

int readSource(void* opaque, uint8_t* into, int size)
{
    const long long n = static_cast<kvBoundedFile*>(opaque)->read(into, size);
    return n < 0 ? AVERROR(EIO) : n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int64_t seekSource(void* opaque, int64_t offset, int whence)
{
    kvBoundedFile* f = static_cast<kvBoundedFile*>(opaque);
    if (whence & AVSEEK_SIZE) return f->size();
    const long long at = f->seek(offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(EINVAL) : at;
}

} // namespace

kvFFmpegInput::~kvFFmpegInput()
{
    if (in) avformat_close_input(&in);
    if (io) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
}

bool kvFFmpegInput::open(const std::string& path, long long maxBytes, long long probeBytes, const char* kind,
                         std::string* reason)
{
    av_log_set_level(AV_LOG_QUIET); // what goes wrong is said once, by the caller
    if (!file.open(diskPath(path), maxBytes, reason)) return false;
    const int kBuffer = 1 << 16;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    if (buffer) io = avio_alloc_context(buffer, kBuffer, 0, &file, readSource, nullptr, seekSource);
    if (!io) av_free(buffer);
    in = avformat_alloc_context();
    if (!io || !in) {
        if (reason) *reason = "cannot be decoded: out of memory";
        return false;
    }
    in->pb = io;
    if (probeBytes > 0) {
        in->probesize = probeBytes;
        in->max_analyze_duration = 5 * AV_TIME_BASE;
    }
    if (avformat_open_input(&in, nullptr, nullptr, nullptr) < 0) {
        in = nullptr; // freed by the failed open; the I/O context is ours
        if (reason) *reason = std::string("cannot be decoded: not ") + kind + " FFmpeg reads";
        return false;
    }
    if (avformat_find_stream_info(in, nullptr) < 0) {
        if (reason) *reason = "cannot be decoded: its streams cannot be read";
        return false;
    }
    return true;
}

} // namespace Korvell
