// FFmpeg: muxing (libavformat), encoding (libavcodec), the mix's sample
// format (libswresample).
#include "export/kvVideoEncoder.h"

#include "export/kvYuvConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/hwcontext.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
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
    AVPacket* packet = nullptr;
    AVBufferRef* hardwareFrames = nullptr; // VAAPI's, when it encodes
    std::string note;                      // why the encoder asked for is not the one used
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
        av_frame_free(&chunk);
        av_packet_free(&packet);
        swr_free(&swr);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        av_buffer_unref(&hardwareFrames);
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

    // Opens the video encoder (`hardware`: "", "vaapi" or "nvenc"); on
    // failure nothing of it is left, so another may be tried.
    bool openVideo(const AVCodec* codec, const std::string& hardware, std::string* error)
    {
        video = avcodec_alloc_context3(codec);
        if (!video) {
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
        // x264's own choice: one and a half frame threads a core, a sixth of
        // them for the lookahead (measured here: 2, 3 or 4 threads on two
        // cores render alike, within the machine's noise); it scales the
        // same way on sixteen.
        video->thread_count = 0;
        if (out->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (hardware == "vaapi" && !openHardwareFrames(error)) {
            avcodec_free_context(&video);
            return false;
        }
        AVDictionary* options = nullptr;
        if (settings.container == "webm") {
            av_dict_set(&options, "deadline", "realtime", 0);
            av_dict_set(&options, "cpu-used", "8", 0);
            av_dict_set(&options, "row-mt", "1", 0);
            av_dict_set(&options, "crf", "32", 0);
            av_dict_set(&options, "b", "0", 0);
        } else if (hardware == "nvenc") {
            av_dict_set(&options, "preset", "p4", 0);
            av_dict_set(&options, "cq", "23", 0);
        } else if (hardware == "vaapi") {
            av_dict_set(&options, "qp", "22", 0);
        } else {
            av_dict_set(&options, "preset", "veryfast", 0);
            av_dict_set(&options, "crf", "20", 0);
        }
        const int r = avcodec_open2(video, codec, &options);
        av_dict_free(&options);
        if (r < 0) {
            *error = std::string("cannot start the ") + codec->name + " encoder: " + ffError(r);
            avcodec_free_context(&video);
            av_buffer_unref(&hardwareFrames);
            return false;
        }
        videoStream = avformat_new_stream(out, nullptr);
        packet = av_packet_alloc();
        if (!videoStream || !packet) {
            *error = "out of memory";
            return false;
        }
        avcodec_parameters_from_context(videoStream->codecpar, video);
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = video->framerate;
        return true;
    }

    // VAAPI's surfaces, and a first frame sent up to them: a device that
    // opens but cannot take the frames fails here, before any work.
    bool openHardwareFrames(std::string* error)
    {
        AVBufferRef* device = nullptr;
        int r = av_hwdevice_ctx_create(&device, AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0);
        if (r < 0) {
            *error = "no VAAPI device: " + ffError(r);
            return false;
        }
        hardwareFrames = av_hwframe_ctx_alloc(device);
        av_buffer_unref(&device);
        if (!hardwareFrames) {
            *error = "out of memory";
            return false;
        }
        AVHWFramesContext* frames = reinterpret_cast<AVHWFramesContext*>(hardwareFrames->data);
        frames->format = AV_PIX_FMT_VAAPI;
        frames->sw_format = AV_PIX_FMT_YUV420P;
        frames->width = settings.width;
        frames->height = settings.height;
        frames->initial_pool_size = 8;
        AVFrame* probe = newSoftwareFrame();
        AVFrame* up = av_frame_alloc();
        r = av_hwframe_ctx_init(hardwareFrames);
        if (r >= 0 && probe && up) r = av_hwframe_get_buffer(hardwareFrames, up, 0);
        if (r >= 0 && probe && up) r = av_hwframe_transfer_data(up, probe, 0);
        av_frame_free(&probe);
        av_frame_free(&up);
        if (r < 0) {
            *error = "VAAPI cannot take the frames: " + ffError(r);
            av_buffer_unref(&hardwareFrames);
            return false;
        }
        video->pix_fmt = AV_PIX_FMT_VAAPI;
        video->hw_frames_ctx = av_buffer_ref(hardwareFrames);
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

    // A frame in YUV 4:2:0, to be converted into.
    AVFrame* newSoftwareFrame() const
    {
        AVFrame* f = av_frame_alloc();
        if (!f) return nullptr;
        f->format = AV_PIX_FMT_YUV420P;
        f->width = settings.width;
        f->height = settings.height;
        f->color_range = AVCOL_RANGE_MPEG;
        f->color_primaries = AVCOL_PRI_BT709;
        f->color_trc = AVCOL_TRC_BT709;
        f->colorspace = AVCOL_SPC_BT709;
        if (av_frame_get_buffer(f, 0) < 0) av_frame_free(&f);
        return f;
    }

    bool encodeFrame(AVFrame* yuv, std::string* error)
    {
        yuv->pts = framesEncoded++;
        if (hardwareFrames) {
            AVFrame* up = av_frame_alloc();
            int r = up ? av_hwframe_get_buffer(hardwareFrames, up, 0) : AVERROR(ENOMEM);
            if (r >= 0) r = av_hwframe_transfer_data(up, yuv, 0);
            if (r >= 0) r = av_frame_copy_props(up, yuv);
            const bool ok = r >= 0 && write(video, videoStream, up, error);
            if (r < 0) *error = "cannot send a frame to VAAPI: " + ffError(r);
            av_frame_free(&up);
            if (!ok) return false;
        } else if (!write(video, videoStream, yuv, error)) {
            return false;
        }
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

std::string kvVideoEncoder::note() const { return state ? state->note : std::string(); }

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
    // A hardware H.264 encoder when asked for and it opens here; else x264,
    // with a note saying why.
    bool opened = false;
    if (!webm && (settings.encoder == "vaapi" || settings.encoder == "nvenc")) {
        const std::string name = "h264_" + settings.encoder;
        const AVCodec* hardware = avcodec_find_encoder_by_name(name.c_str());
        std::string why = "this FFmpeg has no " + name;
        opened = hardware && s->openVideo(hardware, settings.encoder, &why);
        if (!opened) s->note = "the " + settings.encoder + " encoder cannot be used (" + why + "): x264 encodes instead";
    }
    if (!opened && !s->openVideo(videoCodec, "", error)) return false;
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
    std::unique_lock<std::mutex> lock(mutex);
    // A few frames ahead at most: drawing waits for encoding, not memory.
    wake.wait(lock, [&] { return failed || queue.size() < kFramesAhead; });
    if (failed) return false;
    AVFrame* frame = nullptr;
    if (!spare.empty()) {
        frame = spare.back();
        spare.pop_back();
    }
    lock.unlock();
    // The encoder may still hold a frame it was given: then a fresh buffer.
    if (!frame) frame = state->newSoftwareFrame();
    if (!frame || av_frame_make_writable(frame) < 0) {
        av_frame_free(&frame);
        lock.lock();
        failed = true;
        failure = "out of memory";
        return false;
    }
    bgraToYuv420(bgra, stride, state->settings.width, state->settings.height,
                 {frame->data[0], frame->data[1], frame->data[2], frame->linesize[0], frame->linesize[1], frame->linesize[2]});
    lock.lock();
    queue.push_back(frame);
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
        AVFrame* frame = queue.front();
        queue.pop_front();
        lock.unlock();
        std::string error;
        const bool ok = state->encodeFrame(frame, &error);
        lock.lock();
        spare.push_back(frame);
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
    for (AVFrame* f : queue) av_frame_free(&f);
    for (AVFrame* f : spare) av_frame_free(&f);
    queue.clear();
    spare.clear();
    state.reset();
}

} // namespace Korvell

// The module's entry point (see kvEncoder.h).
extern "C" __attribute__((visibility("default"))) Korvell::kvEncoder* korvell_make_encoder()
{
    return new Korvell::kvVideoEncoder();
}
