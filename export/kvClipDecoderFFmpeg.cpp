// Video clips decoded with FFmpeg (libavformat, libavcodec; VAAPI where a
// device opens, else software decoding on threads) and converted by
// libswscale to RGBA at the size they are seen, in the colours their matrix
// and range say (BT.2020 and HDR through kvToneMap), turned upright by their
// display matrix, widened by their sample aspect ratio.
#include "export/kvClipDecoderFFmpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/hwcontext.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "base/kvBoundedFile.h"
#include "base/kvFiles.h"
#include "export/kvFFmpegInput.h"
#include "image/kvMotionPhoto.h"
#include "image/kvToneMap.h"

namespace Korvell {

namespace {

// A clip larger than this is refused (a phone's hour of 4K is some 25 GiB).
const long long kMaxClipBytes = 64ll << 30;
// Headers read to find the streams: bounded, so a damaged file cannot
// keep the prober reading.
const long long kProbeBytes = 8 << 20;
// Damaged frames and packets passed over before a clip is given up.
const int kMaxErrors = 64;

// libswscale's coefficients for a frame's matrix; an untagged one is
// BT.601 up to standard definition, BT.709 above.
int matrixOf(const AVFrame* f)
{
    switch (f->colorspace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
    default: return f->height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool fullRange(const AVFrame* f)
{
    if (f->color_range == AVCOL_RANGE_JPEG) return true;
    if (f->color_range == AVCOL_RANGE_MPEG) return false;
    const AVPixelFormat p = static_cast<AVPixelFormat>(f->format);
    return p == AV_PIX_FMT_YUVJ420P || p == AV_PIX_FMT_YUVJ422P || p == AV_PIX_FMT_YUVJ444P;
}

// The brightest the clip's master says it holds: its content light level,
// else its mastering display's peak; 0 when it says neither.
double peakOf(const AVFrame* f)
{
    if (const AVFrameSideData* d = av_frame_get_side_data(f, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL)) {
        const auto* light = reinterpret_cast<const AVContentLightMetadata*>(d->data);
        if (light->MaxCLL > 0) return light->MaxCLL;
    }
    if (const AVFrameSideData* d = av_frame_get_side_data(f, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)) {
        const auto* master = reinterpret_cast<const AVMasteringDisplayMetadata*>(d->data);
        if (master->has_luminance && master->max_luminance.den > 0) return av_q2d(master->max_luminance);
    }
    return 0.0;
}

// The VAAPI surfaces, when the decoder offers them.
AVPixelFormat pickHardware(AVCodecContext*, const AVPixelFormat* offered)
{
    for (const AVPixelFormat* p = offered; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_VAAPI) return *p;
    return offered[0];
}

class kvFFmpegClip : public kvClipDecoder {
public:
    ~kvFFmpegClip() override { close(); }

    bool open(const std::string& name, int maxWidth, int maxHeight, std::string* reason) override
    {
        if (!openContainer(name, reason)) return false;
        video = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (video < 0 || !codec) return fail(reason, "it holds no video");
        const AVStream* st = in->streams[video];
        if (!openDecoder(codec, true) && !openDecoder(codec, false)) return fail(reason, "its video cannot be decoded");
        readFacts(st, codec);
        if (clipFacts.width <= 0 || clipFacts.height <= 0) return fail(reason, "its video has no size");
        if (static_cast<uint64_t>(clipFacts.width) * static_cast<uint64_t>(clipFacts.height) > kvTexture::kMaxPixels)
            return fail(reason, "its frames are larger than 64 megapixels");
        // Shown at most as large as asked, never enlarged.
        double scale = 1.0;
        if (maxWidth > 0 && maxHeight > 0)
            scale = std::min(1.0, std::max(static_cast<double>(maxWidth) / clipFacts.width,
                                           static_cast<double>(maxHeight) / clipFacts.height));
        outWidth = std::max(1, static_cast<int>(std::lround(clipFacts.width * scale)));
        outHeight = std::max(1, static_cast<int>(std::lround(clipFacts.height * scale)));
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        soft = av_frame_alloc();
        if (!packet || !frame || !soft) return fail(reason, "out of memory");
        return true;
    }

    const kvClipFacts& facts() const override { return clipFacts; }

    bool seek(double seconds) override
    {
        const AVStream* st = in->streams[video];
        const int64_t ts = av_rescale_q(static_cast<int64_t>(std::llround(std::max(0.0, seconds) * 1e6)),
                                        AVRational{1, 1000000}, st->time_base);
        lastSeek = seconds;
        draining = false;
        const bool ok = av_seek_frame(in, video, ts, AVSEEK_FLAG_BACKWARD) >= 0
                        || av_seek_frame(in, video, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) >= 0;
        avcodec_flush_buffers(decoder);
        return ok;
    }

    bool next(kvClipFrame& out, std::string* reason) override
    {
        for (;;) {
            int r = avcodec_receive_frame(decoder, frame);
            if (r == 0) {
                std::string why;
                const bool made = convert(out, &why);
                av_frame_unref(frame);
                if (made) {
                    ++frames;
                    return true;
                }
                if (!why.empty()) {
                    if (reason) *reason = why;
                    return false;
                }
                continue; // a frame without a time
            }
            if (r == AVERROR_EOF) return false;
            if (r != AVERROR(EAGAIN) && hardware && frames == 0) {
                // The GPU would not decode it after all: in software, from
                // where it was.
                if (!openDecoder(codec, false)) return fail(reason, "its video cannot be decoded");
                seek(lastSeek);
                continue;
            }
            if (r != AVERROR(EAGAIN) && ++errors > kMaxErrors) return fail(reason, "its frames are damaged");
            if (draining) return false;
            r = av_read_frame(in, packet);
            if (r < 0) {
                avcodec_send_packet(decoder, nullptr); // the frames still inside
                draining = true;
                continue;
            }
            if (packet->stream_index == video && avcodec_send_packet(decoder, packet) < 0 && ++errors > kMaxErrors) {
                av_packet_unref(packet);
                return fail(reason, "its packets are damaged");
            }
            av_packet_unref(packet);
        }
    }

    std::string decoding() const override
    {
        if (hardware) return "vaapi";
        return "software, " + std::to_string(decoder ? decoder->thread_count : 0) + " threads";
    }

    // The facts alone, for a script's checks and lengths.
    bool probe(const std::string& name, kvClipFacts* out, std::string* reason)
    {
        if (!openContainer(name, reason)) return false;
        video = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (video < 0) return fail(reason, "it holds no video");
        if (!codec) return fail(reason, "its video codec is not one this machine decodes");
        readFacts(in->streams[video], codec);
        if (clipFacts.width <= 0 || clipFacts.height <= 0) return fail(reason, "its video has no size");
        *out = clipFacts;
        return true;
    }

private:
    bool fail(std::string* reason, const char* why)
    {
        if (reason) *reason = std::string("cannot be decoded: ") + why;
        return false;
    }

    bool openContainer(const std::string& name, std::string* reason)
    {
        // A Motion Photo: the clip inside it, read where it lies.
        long long offset = 0, length = 0;
        {
            kvBoundedFile file;
            if (file.open(diskPath(name), kMaxClipBytes, nullptr)) {
                std::vector<uint8_t> head(static_cast<size_t>(std::min<long long>(file.size(), 64 * 1024)));
                uint64_t at = 0, bytes = 0;
                if (!head.empty() && file.read(head.data(), static_cast<long long>(head.size())) == static_cast<long long>(head.size())
                    && findMotionPhotoClip(head.data(), head.size(), static_cast<uint64_t>(file.size()), &at, &bytes)) {
                    offset = static_cast<long long>(at);
                    length = static_cast<long long>(bytes);
                }
            }
        }
        if (!input.open(name, kMaxClipBytes, kProbeBytes, "a video", reason, offset, length)) return false;
        in = input.format();
        return true;
    }

    bool openDecoder(const AVCodec* with, bool tryHardware)
    {
        avcodec_free_context(&decoder);
        av_buffer_unref(&device);
        hardware = false;
        decoder = avcodec_alloc_context3(with);
        if (!decoder || avcodec_parameters_to_context(decoder, in->streams[video]->codecpar) < 0) return false;
        if (tryHardware) {
            bool offered = false;
            for (int i = 0;; ++i) {
                const AVCodecHWConfig* c = avcodec_get_hw_config(with, i);
                if (!c) break;
                if (c->device_type == AV_HWDEVICE_TYPE_VAAPI && (c->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX))
                    offered = true;
            }
            if (!offered || av_hwdevice_ctx_create(&device, AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0) < 0)
                return false;
            decoder->hw_device_ctx = av_buffer_ref(device);
            decoder->get_format = pickHardware;
            hardware = true;
        } else {
            decoder->thread_count = 0; // FFmpeg's choice: one a core
            decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        }
        return avcodec_open2(decoder, with, nullptr) >= 0;
    }

    void readFacts(const AVStream* st, const AVCodec* with)
    {
        const AVCodecParameters* p = st->codecpar;
        clipFacts.codec = with ? with->name : "";
        int w = p->width, h = p->height;
        const AVRational sar = av_guess_sample_aspect_ratio(in, const_cast<AVStream*>(st), nullptr);
        if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
            w = static_cast<int>(std::lround(static_cast<double>(w) * sar.num / sar.den));
        const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
        int turn = 0;
        if (matrix) {
            const double r = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
            if (std::isfinite(r)) turn = ((static_cast<int>(std::lround(r / 90.0)) % 4) + 4) % 4 * 90;
        }
        clipFacts.rotation = turn;
        clipFacts.width = turn % 180 ? h : w;
        clipFacts.height = turn % 180 ? w : h;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            clipFacts.seconds = st->duration * av_q2d(st->time_base);
        else if (in->duration != AV_NOPTS_VALUE && in->duration > 0)
            clipFacts.seconds = static_cast<double>(in->duration) / AV_TIME_BASE;
        const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
        clipFacts.rate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
        clipFacts.sound = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
    }

    // The decoded frame into `out`; false with no reason for a frame to
    // pass over (no time), with one when it cannot be converted.
    bool convert(kvClipFrame& out, std::string* reason)
    {
        const AVStream* st = in->streams[video];
        AVFrame* src = frame;
        if (frame->format == AV_PIX_FMT_VAAPI) {
            av_frame_unref(soft);
            if (av_hwframe_transfer_data(soft, frame, 0) < 0) {
                if (reason) *reason = "cannot be decoded: a frame did not leave the GPU";
                return false;
            }
            av_frame_copy_props(soft, frame);
            src = soft;
        }
        const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        if (pts == AV_NOPTS_VALUE) return false;
        out.seconds = pts * av_q2d(st->time_base);
        // Scaled before turning: the size the turned frame is seen at.
        const bool across = clipFacts.rotation % 180 != 0;
        const int scaledW = across ? outHeight : outWidth, scaledH = across ? outWidth : outHeight;
        // Four bytes a pixel: the GL takes them as they are, where three
        // would be widened texel by texel on every frame's upload.
        // BT.2020 and HDR frames through 16 bits a channel and the tone map.
        const double peak = peakOf(src);
        if (!tone || toneCodes[0] != src->color_primaries || toneCodes[1] != src->color_trc || tonePeak != peak) {
            tone.reset(new kvToneMap(src->color_primaries, src->color_trc, peak));
            toneCodes[0] = src->color_primaries;
            toneCodes[1] = src->color_trc;
            tonePeak = peak;
        }
        const bool mapped = tone->needed();
        sws = sws_getCachedContext(sws, src->width, src->height, static_cast<AVPixelFormat>(src->format), scaledW,
                                   scaledH, mapped ? AV_PIX_FMT_RGBA64 : AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr,
                                   nullptr, nullptr);
        if (!sws) {
            if (reason) *reason = "cannot be decoded: its pixel format cannot be converted";
            return false;
        }
        const int* coefficients = sws_getCoefficients(matrixOf(src));
        sws_setColorspaceDetails(sws, coefficients, fullRange(src) ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        out.picture.reset(new kvTexture());
        // One texel more each way than the frame: its edge repeated, and
        // what wrapping samples beside the first row and column.
        // Every byte is written: the frame, then its edges extended.
        if (!out.picture->createBuffer(outWidth, outHeight, 32, outWidth + 2, outHeight + 2, false)) {
            if (reason) *reason = "cannot be decoded: out of memory";
            return false;
        }
        uint8_t* pixels = out.picture->getPixels();
        const int stride = out.picture->getBufferWidth() * 4;
        if (mapped) {
            wide.resize(static_cast<size_t>(scaledW) * scaledH * 4);
            uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(wide.data())};
            const int strides[1] = {scaledW * 8};
            sws_scale(sws, src->data, src->linesize, 0, src->height, planes, strides);
            if (clipFacts.rotation != 0) scratch.resize(static_cast<size_t>(scaledW) * scaledH * 4);
            for (int y = 0; y < scaledH; ++y)
                tone->convertRow(wide.data() + static_cast<size_t>(y) * scaledW * 4,
                                 clipFacts.rotation == 0 ? pixels + static_cast<size_t>(y) * stride
                                                         : scratch.data() + static_cast<size_t>(y) * scaledW * 4,
                                 scaledW);
            if (clipFacts.rotation != 0) turn(scaledW, scaledH, pixels, stride);
        } else if (clipFacts.rotation == 0) {
            uint8_t* planes[1] = {pixels};
            const int strides[1] = {stride};
            sws_scale(sws, src->data, src->linesize, 0, src->height, planes, strides);
        } else {
            scratch.resize(static_cast<size_t>(scaledW) * scaledH * 4);
            uint8_t* planes[1] = {scratch.data()};
            const int strides[1] = {scaledW * 4};
            sws_scale(sws, src->data, src->linesize, 0, src->height, planes, strides);
            turn(scaledW, scaledH, pixels, stride);
        }
        out.picture->extendEdges();
        out.picture->setOpaque(true);
        return true;
    }

    // The scratch frame turned clockwise into the picture's rows.
    void turn(int w, int h, uint8_t* into, int stride) const
    {
        const uint8_t* s = scratch.data();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int tx = x, ty = y;
                if (clipFacts.rotation == 90) tx = h - 1 - y, ty = x;
                else if (clipFacts.rotation == 180) tx = w - 1 - x, ty = h - 1 - y;
                else if (clipFacts.rotation == 270) tx = y, ty = w - 1 - x;
                std::memcpy(into + static_cast<size_t>(ty) * stride + static_cast<size_t>(tx) * 4,
                            s + (static_cast<size_t>(y) * w + x) * 4, 4);
            }
    }

    void close()
    {
        sws_freeContext(sws);
        sws = nullptr;
        av_frame_free(&soft);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        av_buffer_unref(&device);
    }

    kvFFmpegInput input;
    AVFormatContext* in = nullptr; // the input's
    AVCodecContext* decoder = nullptr;
    AVBufferRef* device = nullptr;
    SwsContext* sws = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* soft = nullptr;
    std::vector<uint8_t> scratch;
    std::vector<uint16_t> wide; // a frame at 16 bits a channel, for the tone map
    std::unique_ptr<kvToneMap> tone;
    int toneCodes[2] = {-1, -1};
    double tonePeak = -1;
    kvClipFacts clipFacts;
    int video = -1;
    const AVCodec* codec = nullptr;
    int outWidth = 0, outHeight = 0;
    int errors = 0;
    long long frames = 0;
    double lastSeek = 0.0;
    bool hardware = false;
    bool draining = false;
};

} // namespace

std::unique_ptr<kvClipDecoder> makeClipDecoder()
{
    return std::unique_ptr<kvClipDecoder>(new kvFFmpegClip());
}

bool probeClipFile(const std::string& file, kvClipFacts* facts, std::string* reason)
{
    kvFFmpegClip clip;
    return clip.probe(file, facts, reason);
}

} // namespace Korvell

extern "C" __attribute__((visibility("default"))) Korvell::kvClipDecoder* korvell_make_clip_decoder()
{
    return Korvell::makeClipDecoder().release();
}

extern "C" __attribute__((visibility("default"))) bool korvell_probe_clip(const std::string& file,
                                                                         Korvell::kvClipFacts* facts,
                                                                         std::string* reason)
{
    return Korvell::probeClipFile(file, facts, reason);
}
