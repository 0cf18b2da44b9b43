// Decoding and resampling a music file.
#include "sound/kvSoundFile.h"

#include <mpg123.h>
#include <samplerate.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "base/kvBoundedFile.h"
#include "base/kvFiles.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

namespace {

const int kChunk = 4096; // source frames decoded at a time

kvBoundedFile* fileOf(void* user) { return static_cast<kvBoundedFile*>(user); }

// Whether a file's first bytes are MP3's: an ID3v2 tag or an MPEG audio
// frame's sync.
bool looksLikeMpeg(int fd)
{
    unsigned char b[4] = {0, 0, 0, 0};
    if (pread(fd, b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return false;
    if (b[0] == 'I' && b[1] == 'D' && b[2] == '3') return true;
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x06) != 0; // a layer, not "reserved"
}

} // namespace

std::unique_ptr<kvSoundFile> kvSoundFile::open(const std::string& file, std::string* reason)
{
    std::unique_ptr<kvSoundFile> t(new kvSoundFile());
    if (!t->source.open(diskPath(file), kMaxMusicBytes, reason)) return nullptr;
    static SF_VIRTUAL_IO io = {
        [](void* u) -> sf_count_t { return fileOf(u)->size(); },
        [](sf_count_t offset, int whence, void* u) -> sf_count_t { return fileOf(u)->seek(offset, whence); },
        [](void* into, sf_count_t count, void* u) -> sf_count_t { return std::max(0LL, fileOf(u)->read(into, count)); },
        [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },
        [](void* u) -> sf_count_t { return fileOf(u)->tell(); },
    };
    SF_INFO info = {};
    if (looksLikeMpeg(t->source.descriptor())) {
        if (!t->openMpeg(reason)) return nullptr;
        info.samplerate = t->rate;
        info.channels = t->channels;
        info.seekable = 1;
        info.frames = static_cast<sf_count_t>(mpg123_length(t->mpeg));
    } else {
        t->sound = sf_open_virtual(&io, SFM_READ, &info, &t->source);
        if (!t->sound) {
            if (reason) *reason = std::string("cannot be decoded: ") + sf_strerror(nullptr);
            return nullptr;
        }
    }
    if (info.samplerate < 1000 || info.samplerate > 768000 || info.channels < 1 || info.channels > 64) {
        if (reason) *reason = "cannot be decoded: not a sound this player reads";
        return nullptr;
    }
    t->rate = info.samplerate;
    t->channels = info.channels;
    t->seekable = info.seekable != 0;
    long long frames = info.frames;
    if (frames <= 0 || frames == SF_COUNT_MAX) {
        // The header does not tell: counted by decoding, then from the start.
        frames = 0;
        for (long long n; (n = t->readSource(kChunk)) > 0; t->inStart = t->inEnd = 0) frames += n;
        if (!t->seekable || !t->seekSource(0)) {
            if (reason) *reason = "cannot be decoded: its length is not told and it cannot be read again";
            return nullptr;
        }
        t->ended = false;
        t->inStart = t->inEnd = 0;
    }
    if (frames <= 0) {
        if (reason) *reason = "cannot be decoded: it holds no sound";
        return nullptr;
    }
    t->length = static_cast<long long>(std::llround(static_cast<double>(frames) * kOutputRate / t->rate));
    if (t->rate != kOutputRate) {
        int error = 0;
        t->resampler = src_new(SRC_SINC_FASTEST, 2, &error);
        if (!t->resampler) {
            if (reason) *reason = std::string("cannot be resampled: ") + src_strerror(error);
            return nullptr;
        }
    }
    return t;
}

bool kvSoundFile::openMpeg(std::string* reason)
{
    int error = MPG123_OK;
    mpeg = mpg123_new(nullptr, &error);
    if (!mpeg) {
        if (reason) *reason = std::string("cannot be decoded: ") + mpg123_plain_strerror(error);
        return false;
    }
    mpg123_param(mpeg, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0.0);
    // Float samples at the file's own rate and channels.
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    mpg123_format_none(mpeg);
    for (size_t i = 0; i < count; ++i) mpg123_format(mpeg, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    mpg123_replace_reader_handle(
        mpeg, [](void* u, void* into, size_t bytes) -> ssize_t { return fileOf(u)->read(into, static_cast<long long>(bytes)); },
        [](void* u, off_t offset, int whence) -> off_t { return fileOf(u)->seek(offset, whence); }, nullptr);
    long rateOf = 0;
    int channelsOf = 0, encoding = 0;
    if (mpg123_open_handle(mpeg, &source) != MPG123_OK || mpg123_getformat(mpeg, &rateOf, &channelsOf, &encoding) != MPG123_OK
        || encoding != MPG123_ENC_FLOAT_32) {
        if (reason) *reason = std::string("cannot be decoded: ") + mpg123_strerror(mpeg);
        return false;
    }
    mpg123_format_none(mpeg); // the format holds from here
    mpg123_format(mpeg, rateOf, channelsOf, MPG123_ENC_FLOAT_32);
    mpg123_scan(mpeg); // the exact length, and seeking to the sample
    rate = static_cast<int>(rateOf);
    channels = channelsOf;
    return true;
}

long long kvSoundFile::decode(long long count)
{
    raw.resize(static_cast<size_t>(count * channels));
    if (!mpeg) return std::max<sf_count_t>(0, sf_readf_float(sound, raw.data(), count));
    const size_t bytes = static_cast<size_t>(count * channels) * sizeof(float);
    size_t done = 0;
    while (done < bytes) {
        size_t got = 0;
        const int r = mpg123_read(mpeg, reinterpret_cast<unsigned char*>(raw.data()) + done, bytes - done, &got);
        done += got;
        if (r == MPG123_DONE) break;
        if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
            mpegError = true;
            break;
        }
        if (got == 0 && r == MPG123_OK) break;
    }
    return static_cast<long long>(done / (sizeof(float) * static_cast<size_t>(channels)));
}

bool kvSoundFile::seekSource(long long frame)
{
    if (mpeg) return mpg123_seek(mpeg, static_cast<off_t>(frame), SEEK_SET) >= 0;
    return sf_seek(sound, frame, SEEK_SET) >= 0;
}

kvSoundFile::~kvSoundFile()
{
    if (resampler) src_delete(resampler);
    if (mpeg) {
        mpg123_close(mpeg);
        mpg123_delete(mpeg);
    }
    if (sound) sf_close(sound);
}

long long kvSoundFile::readSource(long long count)
{
    if (ended) return 0;
    const long long n = decode(count);
    if (n <= 0) {
        ended = true;
        return 0;
    }
    // Kept at the end of what is waiting: stereo, a mono track on both sides.
    in.resize(2 * (inEnd + static_cast<size_t>(n)));
    for (long long k = 0; k < n; ++k) {
        const float* f = &raw[static_cast<size_t>(k * channels)];
        in[2 * (inEnd + static_cast<size_t>(k))] = f[0];
        in[2 * (inEnd + static_cast<size_t>(k)) + 1] = channels > 1 ? f[1] : f[0];
    }
    inEnd += static_cast<size_t>(n);
    return n;
}

bool kvSoundFile::seek(long long frame)
{
    if (frame < 0) return false;
    const long long to = static_cast<long long>(std::llround(static_cast<double>(frame) * rate / kOutputRate));
    if (!seekable && frame != 0) return false;
    if (!seekSource(to)) return false;
    ended = mpegError = false;
    inStart = inEnd = 0;
    if (resampler) src_reset(resampler);
    return true;
}

int kvSoundFile::read(float* stereo, int count)
{
    int done = 0;
    while (done < count) {
        if (inStart == inEnd) {
            inStart = inEnd = 0;
            if (readSource(kChunk) == 0 && !resampler) break;
        }
        if (!resampler) {
            const size_t n = std::min(inEnd - inStart, static_cast<size_t>(count - done));
            std::copy(&in[2 * inStart], &in[2 * (inStart + n)], stereo + 2 * done);
            inStart += n;
            done += static_cast<int>(n);
            continue;
        }
        SRC_DATA d = {};
        d.data_in = in.data() + 2 * inStart;
        d.input_frames = static_cast<long>(inEnd - inStart);
        d.data_out = stereo + 2 * done;
        d.output_frames = count - done;
        d.end_of_input = ended ? 1 : 0;
        d.src_ratio = static_cast<double>(kOutputRate) / rate;
        if (src_process(resampler, &d) != 0) break;
        inStart += static_cast<size_t>(d.input_frames_used);
        done += static_cast<int>(d.output_frames_gen);
        if (ended && d.output_frames_gen == 0 && d.input_frames_used == 0) break;
    }
    return done;
}

bool kvSoundFile::decodesWhole(std::string* reason)
{
    if (!seek(0)) {
        if (reason) *reason = "cannot be decoded: it cannot be read from its start";
        return false;
    }
    long long frames = 0;
    for (long long n; (n = readSource(kChunk)) > 0; inStart = inEnd = 0) frames += n;
    const int error = sound ? sf_error(sound) : SF_ERR_NO_ERROR;
    const std::string mpegWhy = mpeg && mpegError ? mpg123_strerror(mpeg) : "";
    seek(0);
    if (error != SF_ERR_NO_ERROR || !mpegWhy.empty() || frames == 0) {
        if (reason)
            *reason = std::string("cannot be decoded: ")
                      + (frames == 0 ? "it holds no sound" : !mpegWhy.empty() ? mpegWhy.c_str() : sf_error_number(error));
        return false;
    }
    return true;
}

} // namespace Korvell
