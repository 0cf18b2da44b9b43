// A music file as a track: decoded by libsndfile (WAV, FLAC, Ogg Vorbis,
// Opus and the rest it reads) or, for MP3, by libmpg123 itself (quiet: a
// damaged frame is skipped without a word), told by its bytes, resampled
// by libsamplerate to the output rate. Read only from a regular file, opened
// without blocking, never past the size it had when opened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/kvBoundedFile.h"
#include "sound/kvTrackReader.h"

typedef struct sf_private_tag SNDFILE;
typedef struct SRC_STATE_tag SRC_STATE;
typedef struct mpg123_handle_struct mpg123_handle;

namespace Korvell {

class kvSoundFile : public kvTrackReader {
public:
    // The track ('\\' separates folders too), or null with the reason.
    static std::unique_ptr<kvSoundFile> open(const std::string& file, std::string* reason);
    ~kvSoundFile() override;

    long long frames() const override { return length; }
    bool seek(long long frame) override;
    int read(float* stereo, int count) override;
    int sourceRate() const { return rate; }
    // Decodes the whole track; false with the reason at the first error.
    bool decodesWhole(std::string* reason) override;

private:
    kvSoundFile() {}
    kvSoundFile(const kvSoundFile&) = delete;
    kvSoundFile& operator=(const kvSoundFile&) = delete;
    // Source frames as stereo into `in`; the count read.
    long long readSource(long long count);
    // `count` frames of the file's own channels into `raw`; the count read.
    long long decode(long long count);
    bool openMpeg(std::string* reason);
    bool seekSource(long long frame);

    kvBoundedFile source;
    SNDFILE* sound = nullptr;
    mpg123_handle* mpeg = nullptr;
    bool mpegError = false;
    SRC_STATE* resampler = nullptr;
    int rate = 0, channels = 0;
    long long length = 0;
    bool seekable = false, ended = false;
    std::vector<float> raw, in; // as read; stereo at the source rate
    size_t inStart = 0, inEnd = 0; // frames of `in` not yet resampled
};

} // namespace Korvell
