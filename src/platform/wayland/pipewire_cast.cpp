#include "platform/wayland/pipewire_cast.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace vimo::wayland {
namespace {

// Cursor metadata large enough for the largest pointer a desktop draws (GNOME's reach
// 384 x 384 at 200 %): a smaller range makes the desktop send no metadata at all.
constexpr std::size_t CursorMetaSize(int w, int h) {
  return sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) +
         static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4U;
}

std::int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::optional<ImageBytes> BytesOf(std::uint32_t format) {
  switch (format) {
    case SPA_VIDEO_FORMAT_RGBA:
      return ImageBytes::kRgba;
    case SPA_VIDEO_FORMAT_BGRA:
      return ImageBytes::kBgra;
    case SPA_VIDEO_FORMAT_ARGB:
      return ImageBytes::kArgb;
    case SPA_VIDEO_FORMAT_ABGR:
      return ImageBytes::kAbgr;
    default:
      return std::nullopt;
  }
}

}  // namespace

struct Stream {
  PipeWireCast::Impl* impl = nullptr;
  std::size_t index = 0;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  pw_buffer* held = nullptr;  // the newest frame, until a newer one comes
  bool connected = false;     // it has been paused or streaming
  bool framed = false;        // a frame came
};

struct PipeWireCast::Impl {
  PipeWireCast& screen;
  pw_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  spa_hook coreListener{};
  pw_registry* registry = nullptr;  // tells when a stream's node goes
  spa_hook registryListener{};
  std::vector<std::uint32_t> nodes;
  std::vector<std::unique_ptr<Stream>> streams;
  std::string failure;  // why the streams could not be made
  bool ended = false;
  bool closing = false;
  std::function<void(const std::string&)> onEnded;

  explicit Impl(PipeWireCast& s) : screen(s) {}

  void End(const std::string& why) {
    if (ended || closing) return;
    ended = true;
    if (onEnded) onEnded(why);
  }
  void Process(Stream& s);
  void Cursor(Stream& s, spa_buffer* buffer);
  void Format(Stream& s, const spa_pod* param);
};

void PipeWireCast::Impl::Cursor(Stream& s, spa_buffer* buffer) {
  spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
  if (meta == nullptr || meta->size < sizeof(spa_meta_cursor)) return;
  const auto* cursor = static_cast<const spa_meta_cursor*>(meta->data);
  if (!spa_meta_cursor_is_valid(cursor)) return;  // the pointer is on another monitor
  const bool image = cursor->bitmap_offset >= sizeof(spa_meta_cursor) &&
                     cursor->bitmap_offset + sizeof(spa_meta_bitmap) <= meta->size;
  const auto* bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, const spa_meta_bitmap);
  // The hot spot comes with an image only; a move alone says 0, 0.
  const bool hot = image && bitmap->format != 0;
  screen.PointerAt(s.index, Point{cursor->position.x, cursor->position.y},
                   hot ? Point{cursor->hotspot.x, cursor->hotspot.y} : screen.Pointer().hotSpot);
  if (!hot) return;  // the image is as before
  const std::optional<ImageBytes> bytes = BytesOf(bitmap->format);
  const auto w = static_cast<int>(bitmap->size.width);
  const auto h = static_cast<int>(bitmap->size.height);
  const std::size_t end = cursor->bitmap_offset + bitmap->offset +
                          static_cast<std::size_t>(bitmap->stride) * static_cast<std::size_t>(h);
  if (!bytes || w <= 0 || h <= 0 || bitmap->stride < w * 4 || end > meta->size) {
    screen.PointerImage(nullptr, 0, 0, 0, ImageBytes::kRgba, true);  // none to draw
    return;
  }
  // The desktop hands the image over with its colours already multiplied by alpha.
  screen.PointerImage(SPA_PTROFF(bitmap, bitmap->offset, const std::uint8_t), w, h, bitmap->stride,
                      *bytes, true);
}

void PipeWireCast::Impl::Process(Stream& s) {
  pw_buffer* newest = nullptr;
  while (pw_buffer* b = pw_stream_dequeue_buffer(s.stream)) {
    spa_buffer* buffer = b->buffer;
    Cursor(s, buffer);
    const spa_meta_header* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    const bool corrupted = header != nullptr && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED);
    const bool frame = buffer->n_datas > 0 && buffer->datas[0].data != nullptr &&
                       buffer->datas[0].chunk->size > 0 && !corrupted &&
                       (buffer->datas[0].chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) == 0;
    if (frame) {
      if (newest != nullptr) pw_stream_queue_buffer(s.stream, newest);
      newest = b;
    } else {  // the pointer alone moved: nothing to keep
      pw_stream_queue_buffer(s.stream, b);
    }
  }
  if (newest == nullptr) return;
  CastMonitor& m = screen.Monitors()[s.index];
  const spa_data& data = newest->buffer->datas[0];
  const std::uint32_t offset = data.chunk->offset;
  const auto stride =
      static_cast<std::ptrdiff_t>(data.chunk->stride != 0 ? data.chunk->stride : m.width * 4);
  const std::size_t need =
      offset + static_cast<std::size_t>(stride) * static_cast<std::size_t>(std::max(0, m.height));
  if (stride < static_cast<std::ptrdiff_t>(m.width) * 4 || need > data.maxsize) {
    pw_stream_queue_buffer(s.stream, newest);  // not a frame of the size agreed on
    return;
  }
  if (s.held != nullptr) pw_stream_queue_buffer(s.stream, s.held);
  s.held = newest;
  s.framed = true;
  m.pixels = static_cast<const std::uint8_t*>(data.data) + offset;
  m.stride = stride;
  m.frameWidth = m.width;
  m.frameHeight = m.height;
  screen.Changed();
}

void PipeWireCast::Impl::Format(Stream& s, const spa_pod* param) {
  spa_video_info_raw info{};
  if (param == nullptr || spa_format_video_raw_parse(param, &info) < 0) return;
  CastMonitor& m = screen.Monitors()[s.index];
  m.width = static_cast<int>(info.size.width);
  m.height = static_cast<int>(info.size.height);
  m.pixels = nullptr;  // frames of the old size go
  screen.Changed();

  std::uint8_t storage[1024];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
  const spa_pod* params[3];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
      SPA_POD_CHOICE_RANGE_Int(CursorMetaSize(64, 64), CursorMetaSize(1, 1),
                               CursorMetaSize(1024, 1024))));
  pw_stream_update_params(s.stream, params, 3);
}

namespace {

void OnProcess(void* data) {
  auto* s = static_cast<Stream*>(data);
  s->impl->Process(*s);
}

void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
  auto* s = static_cast<Stream*>(data);
  if (id == SPA_PARAM_Format) s->impl->Format(*s, param);
}

void OnRemoveBuffer(void* data, pw_buffer* buffer) {
  auto* s = static_cast<Stream*>(data);
  if (s->held != buffer) return;
  s->held = nullptr;
  s->impl->screen.Monitors()[s->index].pixels = nullptr;
  s->impl->screen.Changed();
}

void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
  auto* s = static_cast<Stream*>(data);
  if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) s->connected = true;
  if (state == PW_STREAM_STATE_ERROR) {
    s->impl->End(std::string("the screen cast failed: ") + (error != nullptr ? error : "error"));
  } else if (state == PW_STREAM_STATE_UNCONNECTED && s->connected) {
    s->impl->End("the desktop stopped sharing the screen");
  }
}

void OnCoreError(void* data, std::uint32_t id, int, int res, const char* message) {
  auto* impl = static_cast<PipeWireCast::Impl*>(data);
  if (id == PW_ID_CORE && res == -EPIPE) {
    impl->End("the desktop stopped sharing the screen (PipeWire went away)");
  } else if (id == PW_ID_CORE) {
    impl->End(std::string("the screen cast failed: ") + (message != nullptr ? message : ""));
  }
}

const pw_stream_events kStreamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = &OnStateChanged;
  events.param_changed = &OnParamChanged;
  events.remove_buffer = &OnRemoveBuffer;
  events.process = &OnProcess;
  return events;
}();

// The desktop ended the cast (its portal went, say): the node the stream reads is gone,
// and the stream itself only waits.
void OnGlobalRemove(void* data, std::uint32_t id) {
  auto* impl = static_cast<PipeWireCast::Impl*>(data);
  if (std::find(impl->nodes.begin(), impl->nodes.end(), id) != impl->nodes.end()) {
    impl->End("the desktop stopped sharing the screen");
  }
}

const pw_registry_events kRegistryEvents = [] {
  pw_registry_events events{};
  events.version = PW_VERSION_REGISTRY_EVENTS;
  events.global_remove = &OnGlobalRemove;
  return events;
}();

const pw_core_events kCoreEvents = [] {
  pw_core_events events{};
  events.version = PW_VERSION_CORE_EVENTS;
  events.error = &OnCoreError;
  return events;
}();

}  // namespace

PipeWireCast::PipeWireCast(int fd, const std::vector<PortalStream>& streams)
    : impl_(std::make_unique<Impl>(*this)) {
  pw_init(nullptr, nullptr);
  impl_->loop = pw_loop_new(nullptr);
  if (impl_->loop != nullptr) {
    pw_loop_enter(impl_->loop);
    impl_->context = pw_context_new(impl_->loop, nullptr, 0);
  }
  if (impl_->context != nullptr) {
    impl_->core = pw_context_connect_fd(impl_->context, fd, nullptr, 0);
    fd = -1;  // the context has it now, whatever the answer
  }
  if (fd >= 0) close(fd);
  if (impl_->core == nullptr) {
    impl_->failure = std::string("cannot connect to PipeWire: ") + std::strerror(errno);
    return;
  }
  pw_core_add_listener(impl_->core, &impl_->coreListener, &kCoreEvents, impl_.get());
  impl_->registry = pw_core_get_registry(impl_->core, PW_VERSION_REGISTRY, 0);
  if (impl_->registry != nullptr) {
    pw_registry_add_listener(impl_->registry, &impl_->registryListener, &kRegistryEvents,
                             impl_.get());
  }
  for (const PortalStream& from : streams) impl_->nodes.push_back(from.node);

  for (const PortalStream& from : streams) {
    CastMonitor m;
    m.origin = from.position;
    m.width = from.width;
    m.height = from.height;
    Monitors().push_back(m);
  }
  for (std::size_t i = 0; i < streams.size(); ++i) {
    auto s = std::make_unique<Stream>();
    s->impl = impl_.get();
    s->index = i;
    s->stream = pw_stream_new(impl_->core, "Vimo",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (s->stream == nullptr) {
      impl_->failure = "cannot make a PipeWire stream";
      return;
    }
    pw_stream_add_listener(s->stream, &s->listener, &kStreamEvents, s.get());
    std::uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
    spa_rectangle size = SPA_RECTANGLE(static_cast<std::uint32_t>(std::max(1, streams[i].width)),
                                       static_cast<std::uint32_t>(std::max(1, streams[i].height)));
    spa_rectangle least = SPA_RECTANGLE(1, 1);
    spa_rectangle most = SPA_RECTANGLE(16384, 16384);
    spa_fraction rate = SPA_FRACTION(0, 1);
    spa_fraction fastest = SPA_FRACTION(1000, 1);
    const spa_pod* params[1];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &least, &most),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &rate, &fastest)));
    if (pw_stream_connect(
            s->stream, PW_DIRECTION_INPUT, streams[i].node,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
            params, 1) < 0) {
      impl_->failure =
          "cannot connect to the screen cast's stream " + std::to_string(streams[i].node);
      impl_->streams.push_back(std::move(s));
      return;
    }
    impl_->streams.push_back(std::move(s));
  }
}

PipeWireCast::~PipeWireCast() {
  impl_->closing = true;
  for (auto& s : impl_->streams) {
    if (s->stream == nullptr) continue;
    if (s->held != nullptr) pw_stream_queue_buffer(s->stream, s->held);
    pw_stream_destroy(s->stream);
  }
  impl_->streams.clear();
  if (impl_->registry != nullptr) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(impl_->registry));
  if (impl_->core != nullptr) pw_core_disconnect(impl_->core);
  if (impl_->context != nullptr) pw_context_destroy(impl_->context);
  if (impl_->loop != nullptr) {
    pw_loop_leave(impl_->loop);
    pw_loop_destroy(impl_->loop);
  }
  pw_deinit();
}

bool PipeWireCast::Connected(std::string* why) const {
  if (impl_->failure.empty()) return true;
  if (why != nullptr) *why = impl_->failure;
  return false;
}

void PipeWireCast::Refresh() {
  if (impl_->loop == nullptr) return;
  for (int round = 0; round < 16 && pw_loop_iterate(impl_->loop, 0) > 0; ++round) {
  }
}

bool PipeWireCast::AwaitFrames(int ms) {
  if (impl_->loop == nullptr) return false;
  const std::int64_t until = NowMs() + ms;
  for (;;) {
    bool all = !impl_->streams.empty();
    for (const auto& s : impl_->streams) all = all && s->framed;
    const std::int64_t left = until - NowMs();
    if (all || impl_->ended || left <= 0) return all;
    pw_loop_iterate(impl_->loop, static_cast<int>(left));
  }
}

void PipeWireCast::OnEnded(std::function<void(const std::string&)> ended) {
  impl_->onEnded = std::move(ended);
}

}  // namespace vimo::wayland
