#include "recorder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "device/camera.h"
#include "device/microphone.h"
#include "device/profile.h"

namespace htccamera {

namespace {

constexpr uint32_t kSoundBitRate = 24000;
// The file is ended this far below its size limit: what the encoders still hold and the index.
constexpr int64_t kLimitReserve = 64 * 1024;

std::string averror(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

struct Recording::Encoder {
  RecordingSettings settings;
  device::Sensor *sensor = nullptr;
  std::unique_ptr<device::Microphone> microphone;
  AVFormatContext *format = nullptr;
  AVCodecContext *video = nullptr, *audio = nullptr;
  AVStream *videoStream = nullptr, *audioStream = nullptr;
  AVFrame *picture = nullptr, *sound = nullptr;
  AVPacket *packet = nullptr;
  std::vector<uint8_t> planes;     // one I420 picture from the sensor
  std::vector<int16_t> samples;    // one sound frame from the microphone
  int64_t lastPts = -1;
  int64_t soundPts = 0;            // samples encoded
  uint64_t soundPosition = 0;      // the microphone's next sample
  uint64_t recordedMs = 0;         // before the running part
  bool headerWritten = false, finished = false, ok = true;

  ~Encoder() {
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  std::string open() {
    const bool h263 = settings.path.size() > 4 && settings.path.compare(settings.path.size() - 4, 4, ".3gp") == 0;
    if (avformat_alloc_output_context2(&format, nullptr, h263 ? "3gp" : "mp4", settings.path.c_str()) < 0 || !format)
      return "no muxer";
    uint32_t width = settings.width & ~1u, height = settings.height & ~1u;
    // H.263 knows only a few picture sizes: the sensor fills the one that suits the record.
    if (h263) {
      const bool large = std::max(width, height) > 320;
      width = large ? 352 : 176, height = large ? 288 : 144;
    }
    if (width < 16 || height < 16 || settings.framesPerSecond == 0 || settings.framesPerSecond > 60)
      return "unusable picture size or rate";

    const AVCodec *codec = avcodec_find_encoder(h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4);
    if (!codec || !(video = avcodec_alloc_context3(codec))) return "no video encoder";
    video->width = int(width);
    video->height = int(height);
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->time_base = {1, int(settings.framesPerSecond)};
    video->framerate = {int(settings.framesPerSecond), 1};
    video->bit_rate = settings.bitRate ? settings.bitRate : 384000;
    video->gop_size = int(settings.framesPerSecond);
    if (format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int r = avcodec_open2(video, codec, nullptr); r < 0) return "video encoder: " + averror(r);
    videoStream = avformat_new_stream(format, nullptr);
    if (!videoStream || avcodec_parameters_from_context(videoStream->codecpar, video) < 0) return "no video stream";
    videoStream->time_base = video->time_base;

    if (settings.sound) {
      const device::Profile &profile = device::current();
      if (device::hasMicrophone(profile)) microphone = device::openMicrophone(profile);
    }
    if (microphone) {
      const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
      if (!aac || !(audio = avcodec_alloc_context3(aac))) return "no sound encoder";
      audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
      audio->sample_rate = int(device::kMicrophoneRate);
      av_channel_layout_default(&audio->ch_layout, 1);
      audio->bit_rate = kSoundBitRate;
      audio->time_base = {1, audio->sample_rate};
      if (format->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      if (int r = avcodec_open2(audio, aac, nullptr); r < 0) return "sound encoder: " + averror(r);
      audioStream = avformat_new_stream(format, nullptr);
      if (!audioStream || avcodec_parameters_from_context(audioStream->codecpar, audio) < 0) return "no sound stream";
      audioStream->time_base = audio->time_base;
      sound = av_frame_alloc();
      if (!sound) return "out of memory";
      sound->format = audio->sample_fmt;
      sound->nb_samples = audio->frame_size;
      sound->sample_rate = audio->sample_rate;
      if (av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout) < 0 || av_frame_get_buffer(sound, 0) < 0)
        return "out of memory";
      samples.resize(size_t(audio->frame_size));
    }

    picture = av_frame_alloc();
    packet = av_packet_alloc();
    if (!picture || !packet) return "out of memory";
    picture->format = video->pix_fmt;
    picture->width = video->width;
    picture->height = video->height;
    if (av_frame_get_buffer(picture, 0) < 0) return "out of memory";
    planes.resize(size_t(width) * height * 3 / 2);

    if (int r = avio_open(&format->pb, settings.path.c_str(), AVIO_FLAG_WRITE); r < 0) return averror(r);
    if (int r = avformat_write_header(format, nullptr); r < 0) return averror(r);
    headerWritten = true;
    return {};
  }

  // Hands a frame (null: the end) to the encoder and writes what comes out.
  bool encode(AVCodecContext *codec, AVStream *stream, AVFrame *frame) {
    if (avcodec_send_frame(codec, frame) < 0) return false;
    int r;
    while ((r = avcodec_receive_packet(codec, packet)) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
    return r == AVERROR(EAGAIN) || r == AVERROR_EOF;
  }

  bool addPicture(int64_t pts) {
    device::SensorRequest request{uint32_t(video->width), uint32_t(video->height), 0, 0,
                                  uint32_t(video->width), uint32_t(video->height), device::kSensorI420};
    if (!sensor->capture(request, planes.data(), planes.size())) return false;
    if (av_frame_make_writable(picture) < 0) return false;
    const int w = video->width, h = video->height;
    const uint8_t *from = planes.data();
    for (int plane = 0; plane < 3; ++plane) {
      const int pw = plane ? w / 2 : w, ph = plane ? h / 2 : h;
      for (int y = 0; y < ph; ++y, from += pw) std::memcpy(picture->data[plane] + size_t(y) * picture->linesize[plane], from, size_t(pw));
    }
    picture->pts = pts;
    return encode(video, videoStream, picture);
  }

  // The microphone's sound up to its position `until`, in whole encoder frames.
  bool addSound(uint64_t until) {
    while (soundPosition + samples.size() <= until) {
      if (!microphone->read(samples.data(), samples.size(), soundPosition)) return false;
      soundPosition += samples.size();
      if (av_frame_make_writable(sound) < 0) return false;
      float *out = reinterpret_cast<float *>(sound->data[0]);
      for (size_t i = 0; i < samples.size(); ++i) out[i] = samples[i] / 32768.0f;
      sound->pts = soundPts;
      soundPts += sound->nb_samples;
      if (!encode(audio, audioStream, sound)) return false;
    }
    return true;
  }

  bool full() const { return format->pb && avio_tell(format->pb) >= int64_t(settings.sizeLimit) - kLimitReserve; }

  bool end() {
    if (finished) return ok;
    finished = true;
    if (!headerWritten) return ok = false;
    ok = encode(video, videoStream, nullptr) && ok;
    if (audio) ok = encode(audio, audioStream, nullptr) && ok;
    ok = av_write_trailer(format) == 0 && ok;
    ok = avio_closep(&format->pb) == 0 && ok;
    return ok;
  }
};

std::unique_ptr<Recording> Recording::create(const RecordingSettings &settings, device::Sensor &sensor,
                                             std::string *error) {
  std::unique_ptr<Recording> recording(new Recording);
  recording->encoder_ = std::make_unique<Encoder>();
  recording->encoder_->settings = settings;
  recording->encoder_->sensor = &sensor;
  if (std::string problem = recording->encoder_->open(); !problem.empty()) {
    *error = problem;
    recording->encoder_->finished = true;
    return nullptr;
  }
  return recording;
}

Recording::~Recording() { finish(); }

void Recording::resume() {
  if (thread_.joinable() || encoder_->finished) return;
  stop_ = false;
  thread_ = std::thread([this] { run(); });
}

void Recording::pause() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool Recording::finish() {
  pause();
  return encoder_->end();
}

void Recording::run() {
  Encoder &e = *encoder_;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const uint64_t before = e.recordedMs;
  // Sound from now on: what the microphone heard while paused is not part of the file.
  if (e.microphone) e.soundPosition = device::microphoneClock() * device::kSamplesPerMs;
  const uint64_t soundStart = e.soundPosition;
  const uint32_t fps = e.settings.framesPerSecond;
  while (!stop_ && e.ok) {
    const uint64_t runningMs =
        uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    const uint64_t elapsed = before + runningMs;
    const int64_t pts = int64_t(elapsed * fps / 1000);
    if (pts > e.lastPts) {
      e.ok = e.addPicture(pts);
      e.lastPts = pts;
    }
    if (e.ok && e.microphone) e.ok = e.addSound(soundStart + runningMs * device::kSamplesPerMs);
    e.recordedMs = elapsed;
    if (e.settings.progress) e.settings.progress(uint32_t(elapsed));
    if (e.full()) break;
    const uint64_t nextMs = uint64_t(e.lastPts + 1) * 1000 / fps;
    std::this_thread::sleep_for(std::chrono::milliseconds(nextMs > elapsed ? std::min<uint64_t>(nextMs - elapsed, 50) : 1));
  }
}

}  // namespace htccamera
