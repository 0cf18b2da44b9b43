// FFmpeg: muxing (libavformat), encoding (libavcodec), colour conversion
// (libswscale), the mix's sample format (libswresample).
#include "export/kvVideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}


#include <algorithm>
#include <cstring>


namespace Korvell {

namespace {

std::string ffError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

// Everything FFmpeg, touched only by the encoder's thread once it runs.
struct kvVideoEncoder::State {
    kvVideoSettings settings;
    AVFormatContext* out = nullptr;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    AVFrame* yuv = nullptr;
    SwsContext* sws = nullptr;
    AVPacket* packet = nullptr;
    long long framesEncoded = 0;

    // Audio: the show's mix, converted to the encoder's sample format.
    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* chunk = nullptr;
    std::vector<float> mixed;
    long long samplesEncoded = 0;

    ~State()
    {
        av_frame_free(&yuv);
        av_frame_free(&chunk);
        av_packet_free(&packet);
        sws_freeContext(sws);
        swr_free(&swr);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (out) {
            if (out->pb) avio_closep(&out->pb);
            avformat_free_context(out);
        }
    }

    bool write(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error)
    {
        int r = avcodec_send_frame(codec, frame);
        if (r < 0) {
            *error = "encoding failed: " + ffError(r);
            return false;
        }
        for (;;) {
            r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) {
                *error = "encoding failed: " + ffError(r);
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            r = av_interleaved_write_frame(out, packet);
            if (r < 0) {
                *error = "writing failed: " + ffError(r);
                return false;
            }
        }
    }

    bool openVideo(const AVCodec* codec, std::string* error)
    {
        videoStream = avformat_new_stream(out, nullptr);
        video = avcodec_alloc_context3(codec);
        if (!videoStream || !video) {
            *error = "out of memory";
            return false;
        }
        video->width = settings.width;
        video->height = settings.height;
        video->time_base = AVRational{1, settings.fps};
        video->framerate = AVRational{settings.fps, 1};
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        // BT.709, limited range, declared as well as used: a player that
        // reads an undeclared file as BT.709 (browsers do) shows it right.
        video->color_range = AVCOL_RANGE_MPEG;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        video->colorspace = AVCOL_SPC_BT709;
        video->gop_size = settings.fps * 2;
        video->thread_count = 0; // as many as the machine has
        if (out->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        if (settings.container == "webm") {
            av_dict_set(&options, "deadline", "realtime", 0);
            av_dict_set(&options, "cpu-used", "8", 0);
            av_dict_set(&options, "row-mt", "1", 0);
            av_dict_set(&options, "crf", "32", 0);
            av_dict_set(&options, "b", "0", 0);
        } else {
            av_dict_set(&options, "preset", "veryfast", 0);
            av_dict_set(&options, "crf", "20", 0);
        }
        const int r = avcodec_open2(video, codec, &options);
        av_dict_free(&options);
        if (r < 0) {
            *error = std::string("cannot start the ") + codec->name + " encoder: " + ffError(r);
            return false;
        }
        avcodec_parameters_from_context(videoStream->codecpar, video);
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = video->framerate;
        yuv = av_frame_alloc();
        packet = av_packet_alloc();
        if (!yuv || !packet) {
            *error = "out of memory";
            return false;
        }
        yuv->format = video->pix_fmt;
        yuv->width = video->width;
        yuv->height = video->height;
        yuv->color_range = video->color_range;
        yuv->color_primaries = video->color_primaries;
        yuv->color_trc = video->color_trc;
        yuv->colorspace = video->colorspace;
        if (av_frame_get_buffer(yuv, 0) < 0) {
            *error = "out of memory";
            return false;
        }
        sws = sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGRA, settings.width, settings.height,
                             AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        // Full-range RGB in, BT.709 limited-range YUV out.
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        if (!sws || sws_setColorspaceDetails(sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16) < 0) {
            *error = "cannot convert the frames' colours";
            return false;
        }
        return true;
    }

    bool openAudio(const AVCodec* codec, std::string* error)
    {
        audioStream = avformat_new_stream(out, nullptr);
        audio = avcodec_alloc_context3(codec);
        if (!audioStream || !audio) {
            *error = "out of memory";
            return false;
        }
        audio->sample_rate = 48000;
        av_channel_layout_default(&audio->ch_layout, 2);
        audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        audio->bit_rate = 160000;
        audio->time_base = AVRational{1, audio->sample_rate};
        if (out->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(audio, codec, nullptr);
        if (r < 0) {
            *error = std::string("cannot start the ") + codec->name + " encoder: " + ffError(r);
            return false;
        }
        avcodec_parameters_from_context(audioStream->codecpar, audio);
        audioStream->time_base = audio->time_base;
        // The mix is interleaved float stereo at the same rate: only the
        // sample format changes.
        r = swr_alloc_set_opts2(&swr, &audio->ch_layout, audio->sample_fmt, audio->sample_rate, &audio->ch_layout,
                                AV_SAMPLE_FMT_FLT, audio->sample_rate, 0, nullptr);
        chunk = av_frame_alloc();
        if (r < 0 || swr_init(swr) < 0 || !chunk) {
            *error = "cannot convert the music";
            return false;
        }
        return true;
    }

    // Encodes audio up to `samples` since the start, read from the mix.
    bool pumpAudio(long long samples, bool last, std::string* error)
    {
        if (!audio) return true;
        const int frameSize = audio->frame_size > 0 ? audio->frame_size : 1024;
        const bool smallLast = (audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
        while (samplesEncoded < samples) {
            const long long left = samples - samplesEncoded;
            if (!last && left < frameSize) break;
            int want = static_cast<int>(std::min<long long>(frameSize, left));
            if (want < frameSize && !smallLast) want = frameSize;
            chunk->nb_samples = want;
            chunk->format = audio->sample_fmt;
            av_channel_layout_copy(&chunk->ch_layout, &audio->ch_layout);
            chunk->sample_rate = audio->sample_rate;
            if (av_frame_get_buffer(chunk, 0) < 0) {
                *error = "out of memory";
                return false;
            }
            mixed.assign(2 * static_cast<size_t>(want), 0.0f);
            settings.audio(mixed.data(), want);
            const uint8_t* from[1] = {reinterpret_cast<const uint8_t*>(mixed.data())};
            if (swr_convert(swr, chunk->extended_data, want, from, want) != want) {
                av_frame_unref(chunk);
                *error = "cannot convert the music";
                return false;
            }
            chunk->pts = samplesEncoded;
            samplesEncoded += want;
            const bool ok = write(audio, audioStream, chunk, error);
            av_frame_unref(chunk);
            if (!ok) return false;
        }
        return true;
    }

    bool encodeFrame(const uint8_t* bgra, std::string* error)
    {
        if (av_frame_make_writable(yuv) < 0) {
            *error = "out of memory";
            return false;
        }
        const uint8_t* planes[1] = {bgra};
        const int strides[1] = {settings.width * 4};
        sws_scale(sws, planes, strides, 0, settings.height, yuv->data, yuv->linesize);
        yuv->pts = framesEncoded++;
        if (!write(video, videoStream, yuv, error)) return false;
        // The audio keeps up with the pictures, so the file interleaves.
        return pumpAudio(audio ? framesEncoded * audio->sample_rate / settings.fps : 0, false, error);
    }

    bool close(std::string* error)
    {
        if (!write(video, videoStream, nullptr, error)) return false;
        if (audio) {
            if (!pumpAudio(framesEncoded * audio->sample_rate / settings.fps, true, error)) return false;
            if (!write(audio, audioStream, nullptr, error)) return false;
        }
        const int r = av_write_trailer(out);
        if (r < 0) {
            *error = "writing failed: " + ffError(r);
            return false;
        }
        if (avio_closep(&out->pb) < 0) {
            *error = "writing failed";
            return false;
        }
        return true;
    }
};

kvVideoEncoder::kvVideoEncoder() {}

kvVideoEncoder::~kvVideoEncoder() { abort(); }

bool kvVideoEncoder::hasAudio() const { return state && state->audio; }

bool kvVideoEncoder::open(const kvVideoSettings& settings, std::string* error)
{
    // The libraries' own chatter stays out of the user's terminal; what
    // goes wrong is reported through `error`.
    av_log_set_level(AV_LOG_ERROR);
    std::unique_ptr<State> s(new State());
    s->settings = settings;
    const bool webm = settings.container == "webm";
    const char* format = webm ? "webm" : settings.container == "mkv" ? "matroska" : "mp4";
    if (avformat_alloc_output_context2(&s->out, nullptr, format, settings.path.c_str()) < 0 || !s->out) {
        *error = "cannot make a " + settings.container + " file";
        return false;
    }
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(webm ? "libvpx-vp9" : "libx264");
    const AVCodec* audioCodec = avcodec_find_encoder_by_name(webm ? "libopus" : "aac");
    if (!videoCodec || !audioCodec) {
        *error = std::string("this FFmpeg has no ") + (webm ? "VP9 or Opus" : "H.264 or AAC") + " encoder";
        return false;
    }
    if (!s->openVideo(videoCodec, error)) return false;
    if (settings.audio && !s->openAudio(audioCodec, error)) return false;
    int r = avio_open(&s->out->pb, settings.path.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) {
        *error = "cannot write " + settings.path + ": " + ffError(r);
        return false;
    }
    AVDictionary* options = nullptr;
    if (settings.container == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
    r = avformat_write_header(s->out, &options);
    av_dict_free(&options);
    if (r < 0) {
        *error = "cannot write " + settings.path + ": " + ffError(r);
        return false;
    }
    state = std::move(s);
    worker = std::thread(&kvVideoEncoder::run, this);
    return true;
}

bool kvVideoEncoder::addFrame(const uint8_t* bgra, int stride)
{
    const int w = state->settings.width, h = state->settings.height;
    std::unique_lock<std::mutex> lock(mutex);
    // A few frames ahead at most: drawing waits for encoding, not memory.
    wake.wait(lock, [&] { return failed || queue.size() < 3; });
    if (failed) return false;
    std::vector<uint8_t> frame;
    if (!spare.empty()) {
        frame.swap(spare.back());
        spare.pop_back();
    }
    frame.resize(static_cast<size_t>(w) * h * 4);
    lock.unlock();
    for (int y = 0; y < h; ++y)
        std::memcpy(frame.data() + static_cast<size_t>(y) * w * 4, bgra + static_cast<ptrdiff_t>(y) * stride,
                    static_cast<size_t>(w) * 4);
    lock.lock();
    queue.push_back(std::move(frame));
    wake.notify_all();
    return true;
}

void kvVideoEncoder::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopping || closing || !queue.empty(); });
        if (stopping) return;
        if (queue.empty() && closing) return;
        std::vector<uint8_t> frame = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        std::string error;
        const bool ok = state->encodeFrame(frame.data(), &error);
        lock.lock();
        spare.push_back(std::move(frame));
        if (!ok) {
            failed = true;
            failure = error;
            wake.notify_all();
            return;
        }
        wake.notify_all();
    }
}

bool kvVideoEncoder::finish(std::string* error)
{
    if (!state) return false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
    if (failed) {
        *error = failure;
        return false;
    }
    return state->close(error);
}

void kvVideoEncoder::abort()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
    state.reset();
}

} // namespace Korvell

// The module's entry point (see kvEncoder.h).
extern "C" __attribute__((visibility("default"))) Korvell::kvEncoder* korvell_make_encoder()
{
    return new Korvell::kvVideoEncoder();
}
