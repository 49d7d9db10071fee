// A video or picture file as the camera's view, decoded with libavformat/libavcodec and played
// in step with the handset clock, looped; a picture (one frame) stays.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <mutex>

#include "camera/sources.h"
#include "device/profile.h"

namespace device {
namespace {

class FileSource : public PictureSource {
 public:
  ~FileSource() override {
    sws_freeContext(scaler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
  }

  // Empty when the file plays, else why not.
  std::string open(const std::string &path) {
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return "cannot be opened";
    if (avformat_find_stream_info(format_, nullptr) < 0) return "holds no readable streams";
    const AVCodec *codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) return "holds no picture libavcodec can decode";
    decoder_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!decoder_ || !frame_ || !packet_ ||
        avcodec_parameters_to_context(decoder_, format_->streams[stream_]->codecpar) < 0 ||
        avcodec_open2(decoder_, codec, nullptr) < 0)
      return "cannot be decoded";
    const AVRational rate = format_->streams[stream_]->avg_frame_rate;
    frameSeconds_ = rate.num > 0 && rate.den > 0 ? double(rate.den) / rate.num : 1.0 / 25;
    if (!nextFrame()) return "holds no picture";
    return {};
  }

  void render(const View &view, uint64_t ms, YuvPicture &out) override {
    std::lock_guard<std::mutex> held(lock_);
    // One frame a frame interval of the file, from the clock's first use on.
    if (!started_) startMs_ = ms, started_ = true;
    const uint64_t due = uint64_t(double(ms > startMs_ ? ms - startMs_ : 0) / (frameSeconds_ * 1000));
    while (!still_ && shown_ < due) {
      if (!nextFrame()) {
        // At the end: a single picture stays; a video starts again.
        if (decodedThisLoop_ <= 1) {
          still_ = true;
          break;
        }
        av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(decoder_);
        decodedThisLoop_ = 0;
        if (!nextFrame()) break;
      }
      ++shown_;
    }
    sampleFrame(rgb_.data(), width_, height_, view, out);
  }

 private:
  // Decodes the next picture into rgb_; false at the end of the file.
  bool nextFrame() {
    for (;;) {
      const int received = avcodec_receive_frame(decoder_, frame_);
      if (received == 0) break;
      if (received != AVERROR(EAGAIN)) return false;
      if (av_read_frame(format_, packet_) < 0) {
        avcodec_send_packet(decoder_, nullptr);  // drain what the decoder holds
        if (avcodec_receive_frame(decoder_, frame_) == 0) break;
        return false;
      }
      if (packet_->stream_index == stream_) avcodec_send_packet(decoder_, packet_);
      av_packet_unref(packet_);
    }
    width_ = frame_->width, height_ = frame_->height;
    scaler_ = sws_getCachedContext(scaler_, width_, height_, AVPixelFormat(frame_->format), width_, height_,
                                   AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    rgb_.resize(size_t(width_) * height_ * 3);
    uint8_t *planes[1] = {rgb_.data()};
    const int strides[1] = {width_ * 3};
    sws_scale(scaler_, frame_->data, frame_->linesize, 0, height_, planes, strides);
    av_frame_unref(frame_);
    ++decodedThisLoop_;
    return true;
  }

  std::mutex lock_;
  AVFormatContext *format_ = nullptr;
  AVCodecContext *decoder_ = nullptr;
  AVFrame *frame_ = nullptr;
  AVPacket *packet_ = nullptr;
  SwsContext *scaler_ = nullptr;
  int stream_ = -1;
  double frameSeconds_ = 0.04;
  std::vector<uint8_t> rgb_;
  int width_ = 0, height_ = 0;
  bool started_ = false, still_ = false;
  uint64_t startMs_ = 0, shown_ = 0;
  int decodedThisLoop_ = 0;
};

}  // namespace

std::unique_ptr<PictureSource> openFileSource(const Profile &profile, const std::string &path) {
  std::string file = path;
  if (!file.empty() && file[0] != '/') {
    const std::string &from = profile.path();
    const size_t slash = from.rfind('/');
    if (slash != std::string::npos) file = from.substr(0, slash + 1) + file;
  }
  auto source = std::make_unique<FileSource>();
  const std::string problem = source->open(file);
  if (problem.empty()) return source;
  throw ProfileError("camera picture file " + file + ": " + problem);
}

}  // namespace device
