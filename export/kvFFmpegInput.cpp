// libavformat over a bounded file.
#include "export/kvFFmpegInput.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>

#include "base/kvFiles.h"

namespace Korvell {

namespace {

int readSource(void* opaque, uint8_t* into, int size)
{
    auto* w = static_cast<kvFFmpegInput::Window*>(opaque);
    const long long room = w->length - w->at;
    if (room <= 0) return AVERROR_EOF;
    if (w->file.seek(w->offset + w->at, SEEK_SET) < 0) return AVERROR(EIO);
    const long long n = w->file.read(into, std::min<long long>(size, room));
    if (n < 0) return AVERROR(EIO);
    if (n == 0) return AVERROR_EOF;
    w->at += n;
    return static_cast<int>(n);
}

int64_t seekSource(void* opaque, int64_t offset, int whence)
{
    auto* w = static_cast<kvFFmpegInput::Window*>(opaque);
    if (whence & AVSEEK_SIZE) return w->length;
    whence &= ~AVSEEK_FORCE;
    const long long base = whence == SEEK_CUR ? w->at : whence == SEEK_END ? w->length : 0;
    const long long to = base + offset;
    if (to < 0) return AVERROR(EINVAL);
    w->at = to;
    return to;
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
                         std::string* reason, long long offset, long long length)
{
    av_log_set_level(AV_LOG_QUIET); // what goes wrong is said once, by the caller
    if (!window.file.open(diskPath(path), maxBytes, reason)) return false;
    const long long size = window.file.size();
    window.offset = length > 0 ? std::min(std::max(offset, 0LL), size) : 0;
    window.length = length > 0 ? std::min(length, size - window.offset) : size;
    const int kBuffer = 1 << 16;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    if (buffer) io = avio_alloc_context(buffer, kBuffer, 0, &window, readSource, nullptr, seekSource);
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
