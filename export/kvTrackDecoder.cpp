// Decoding a music file with FFmpeg (libavformat, libavcodec) and bringing
// it to stereo floats at the output rate (libswresample).
#include "export/kvTrackDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}


#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/kvFiles.h"
#include "export/kvFFmpegInput.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

namespace {

class kvFFmpegTrack : public kvTrackReader {
public:
    ~kvFFmpegTrack() override
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&swr);
        avcodec_free_context(&decoder);
    }

    bool open(const std::string& name, std::string* reason)
    {
        if (!input.open(name, kMaxMusicBytes, 0, "a sound file", reason)) {
            // A music file FFmpeg does not know either: said as libsndfile's
            // callers expect.
            if (reason && reason->find("FFmpeg reads") != std::string::npos)
                *reason = "cannot be decoded: not a sound file FFmpeg reads either";
            return false;
        }
        in = input.format();
        const AVCodec* codec = nullptr;
        stream = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0 || !codec) return fail(reason, "it holds no sound");
        decoder = avcodec_alloc_context3(codec);
        if (!decoder || avcodec_parameters_to_context(decoder, in->streams[stream]->codecpar) < 0
            || avcodec_open2(decoder, codec, nullptr) < 0)
            return fail(reason, "its sound cannot be decoded");
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!packet || !frame || !resetResampler()) return fail(reason, "its sound cannot be resampled");
        const AVStream* s = in->streams[stream];
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
            length = av_rescale_q(s->duration, s->time_base, AVRational{1, kOutputRate});
        else if (in->duration != AV_NOPTS_VALUE && in->duration > 0)
            length = av_rescale(in->duration, kOutputRate, AV_TIME_BASE);
        if (length <= 0) {
            // Not told: counted by decoding, then from the start again.
            for (int n; (n = read(nullptr, 1 << 16)) > 0;) length += n;
            if (!seek(0)) return fail(reason, "it cannot be read from its start again");
        }
        if (length <= 0) return fail(reason, "it holds no sound");
        return true;
    }

    long long frames() const override { return length; }

    bool seek(long long target) override
    {
        if (target < 0) return false;
        const AVStream* s = in->streams[stream];
        const int64_t ts = av_rescale_q(target, AVRational{1, kOutputRate}, s->time_base);
        if (av_seek_frame(in, stream, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(decoder);
        if (!resetResampler()) return false;
        pending.clear();
        used = 0;
        ended = false;
        skipTo = target; // frames decoded before it are dropped
        positioned = false;
        return true;
    }

    // `stereo` null: counted, not kept.
    int read(float* stereo, int count) override
    {
        int done = 0;
        while (done < count) {
            if (used == pending.size() / 2) {
                pending.clear();
                used = 0;
                if (!decodeMore()) break;
                continue;
            }
            const size_t n = std::min(pending.size() / 2 - used, static_cast<size_t>(count - done));
            if (stereo) std::copy(&pending[2 * used], &pending[2 * (used + n)], stereo + 2 * done);
            used += n;
            done += static_cast<int>(n);
        }
        return done;
    }

private:
    bool fail(std::string* reason, const char* why)
    {
        if (reason) *reason = std::string("cannot be decoded: ") + why;
        return false;
    }

    bool resetResampler()
    {
        swr_free(&swr);
        AVChannelLayout stereoLayout;
        av_channel_layout_default(&stereoLayout, 2);
        return swr_alloc_set_opts2(&swr, &stereoLayout, AV_SAMPLE_FMT_FLT, kOutputRate, &decoder->ch_layout,
                                   decoder->sample_fmt, decoder->sample_rate, 0, nullptr)
                   >= 0
               && swr_init(swr) >= 0;
    }

    // Appends the next decoded frame's sound to `pending`; false at the end.
    bool decodeMore()
    {
        while (true) {
            int r = avcodec_receive_frame(decoder, frame);
            if (r == 0) {
                if (!positioned) {
                    // The stream's own times: a codec's priming before 0 is dropped.
                    const AVStream* s = in->streams[stream];
                    position = frame->pts != AV_NOPTS_VALUE
                                   ? av_rescale_q(frame->pts, s->time_base, AVRational{1, kOutputRate})
                                   : 0;
                    positioned = true;
                }
                const int room = swr_get_out_samples(swr, frame->nb_samples);
                std::vector<float> out(2 * static_cast<size_t>(std::max(room, 0)));
                uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(out.data())};
                const int n = swr_convert(swr, planes, room, const_cast<const uint8_t**>(frame->extended_data),
                                          frame->nb_samples);
                av_frame_unref(frame);
                if (n <= 0) continue;
                // Before the frame sought: dropped.
                const long long drop = std::min<long long>(n, std::max(0LL, skipTo - position));
                position += n;
                pending.insert(pending.end(), out.begin() + 2 * drop, out.begin() + 2 * n);
                if (!pending.empty()) return true;
                continue;
            }
            if (r == AVERROR_EOF || ended) return false;
            r = av_read_frame(in, packet);
            if (r < 0) {
                avcodec_send_packet(decoder, nullptr); // drain
                ended = true;
                continue;
            }
            if (packet->stream_index == stream) avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
        }
    }

    kvFFmpegInput input;
    AVFormatContext* in = nullptr; // the input's
    AVCodecContext* decoder = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    long long length = 0, skipTo = 0, position = 0;
    bool positioned = false; // position known from a decoded frame's time
    std::vector<float> pending;
    size_t used = 0;
    bool ended = false;
};

} // namespace

std::unique_ptr<kvTrackReader> openTrackDecoder(const std::string& file, std::string* reason)
{
    std::unique_ptr<kvFFmpegTrack> track(new kvFFmpegTrack());
    if (!track->open(file, reason)) return nullptr;
    return std::unique_ptr<kvTrackReader>(track.release());
}

} // namespace Korvell

extern "C" __attribute__((visibility("default"))) Korvell::kvTrackReader* korvell_open_track(const std::string& file,
                                                                                            std::string* reason)
{
    return Korvell::openTrackDecoder(file, reason).release();
}
