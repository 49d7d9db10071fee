// A real camera of the host through V4L2 as the handset camera's view: 640 × 480 YUYV frames,
// memory-mapped, the newest taken at each picture.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "camera/sources.h"

namespace device {
namespace {

constexpr int kBuffers = 2;

int control(int fd, unsigned long request, void *argument) {
  int result;
  do result = ioctl(fd, request, argument);
  while (result < 0 && errno == EINTR);
  return result;
}

class Webcam : public PictureSource {
 public:
  ~Webcam() override {
    if (fd_ < 0) return;
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    control(fd_, VIDIOC_STREAMOFF, &type);
    for (Buffer &b : buffers_)
      if (b.start) munmap(b.start, b.length);
    close(fd_);
  }

  // Empty when the camera streams, else why not.
  std::string open(const std::string &device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NONBLOCK);
    if (fd_ < 0) return std::strerror(errno);
    v4l2_capability caps{};
    if (control(fd_, VIDIOC_QUERYCAP, &caps) < 0 || !(caps.capabilities & V4L2_CAP_VIDEO_CAPTURE) ||
        !(caps.capabilities & V4L2_CAP_STREAMING))
      return "not a streaming video capture device";
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = 640, format.fmt.pix.height = 480;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    if (control(fd_, VIDIOC_S_FMT, &format) < 0 || format.fmt.pix.pixelformat != V4L2_PIX_FMT_YUYV)
      return "offers no YUYV pictures";
    width_ = int(format.fmt.pix.width), height_ = int(format.fmt.pix.height);
    stride_ = int(format.fmt.pix.bytesperline);
    v4l2_requestbuffers request{};
    request.count = kBuffers, request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE, request.memory = V4L2_MEMORY_MMAP;
    if (control(fd_, VIDIOC_REQBUFS, &request) < 0 || request.count < 1) return "gives no buffers";
    for (unsigned i = 0; i < request.count && i < kBuffers; ++i) {
      v4l2_buffer buffer{};
      buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE, buffer.memory = V4L2_MEMORY_MMAP, buffer.index = i;
      if (control(fd_, VIDIOC_QUERYBUF, &buffer) < 0) return "gives no buffers";
      void *start = mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buffer.m.offset);
      if (start == MAP_FAILED) return "buffers cannot be mapped";
      buffers_[i] = {start, buffer.length};
      if (control(fd_, VIDIOC_QBUF, &buffer) < 0) return "buffers cannot be queued";
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (control(fd_, VIDIOC_STREAMON, &type) < 0) return "does not stream";
    rgb_.assign(size_t(width_) * height_ * 3, 0);
    return {};
  }

  void render(const View &view, uint64_t, YuvPicture &out) override {
    std::lock_guard<std::mutex> held(lock_);
    takeNewest();
    sampleFrame(rgb_.data(), width_, height_, view, out);
  }

 private:
  // Converts the newest frame the camera has (waiting briefly for one); keeps the last otherwise.
  void takeNewest() {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 200) <= 0) return;
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE, buffer.memory = V4L2_MEMORY_MMAP;
    if (control(fd_, VIDIOC_DQBUF, &buffer) < 0) return;
    const uint8_t *yuyv = static_cast<const uint8_t *>(buffers_[buffer.index].start);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const uint8_t *pair = yuyv + size_t(y) * stride_ + (x & ~1) * 2;
        uint8_t *p = &rgb_[(size_t(y) * width_ + x) * 3];
        yuvToRgb(pair[x & 1 ? 2 : 0], pair[1], pair[3], p[0], p[1], p[2]);
      }
    control(fd_, VIDIOC_QBUF, &buffer);
  }

  struct Buffer {
    void *start = nullptr;
    size_t length = 0;
  };
  std::mutex lock_;
  int fd_ = -1;
  Buffer buffers_[kBuffers];
  int width_ = 0, height_ = 0, stride_ = 0;
  std::vector<uint8_t> rgb_;
};

}  // namespace

std::unique_ptr<PictureSource> openWebcamSource(const std::string &device) {
  auto webcam = std::make_unique<Webcam>();
  const std::string problem = webcam->open(device);
  if (problem.empty()) return webcam;
  std::fprintf(stderr, "handset camera: the webcam %s cannot be used (%s); the camera shows its scene instead\n",
               device.c_str(), problem.c_str());
  return nullptr;
}

}  // namespace device
