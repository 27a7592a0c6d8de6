// vimo_wl_shot: the end-to-end driver's screenshots on the Wayland target (run_e2e.py
// --target wayland). It stays connected to a PipeWire screen-cast stream of Mutter (cursor
// mode "metadata": the frames have no pointer drawn in) and keeps its newest frame and the
// newest pointer it was told of.
//
// `vimo_wl_shot NODE` answers each line of stdin, once no buffer has come for a moment:
//   shot PATH   writes the frame to PATH as R, G, B bytes a pixel, row by row (what
//               `import -window root rgb:-` gives under X), and answers as `pointer` does
//   pointer     {"frames": N, "cursor": [x, y], "image": {"size": [w, h], "hot": [x, y],
//               "argb": "..."}}: the frames seen, the pointer's place on the monitor and
//               its image as premultiplied ARGB pixels, 8 hex digits each (as
//               vimo_pattern_x11's `cursor`: size [0, 0] while the pointer is hidden)
// It ends when stdin closes or the stream does.

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Cast {
  pw_thread_loop* loop = nullptr;
  pw_stream* stream = nullptr;
  spa_video_info_raw format{};
  pw_buffer* held = nullptr;  // the newest frame, kept out of the stream's queue
  long frames = 0;
  Clock::time_point last = Clock::now();
  bool ended = false;
  int x = 0, y = 0, hot_x = 0, hot_y = 0, width = 0, height = 0;
  std::string argb;
};

// Mutter's pointer is up to 384 x 384: a smaller range would bring no metadata at all.
constexpr int kCursorMeta = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + 384 * 384 * 4;

void TakeCursor(Cast& c, const spa_buffer* buf) {
  const auto* mc = static_cast<const spa_meta_cursor*>(
      spa_buffer_find_meta_data(buf, SPA_META_Cursor, sizeof(spa_meta_cursor)));
  if (mc == nullptr || !spa_meta_cursor_is_valid(mc)) return;
  c.x = mc->position.x;
  c.y = mc->position.y;
  if (mc->bitmap_offset < sizeof(spa_meta_cursor)) return;  // the image as before
  const auto* bm = SPA_PTROFF(mc, mc->bitmap_offset, const spa_meta_bitmap);
  if (bm->format == 0) return;
  c.hot_x = mc->hotspot.x;
  c.hot_y = mc->hotspot.y;
  const bool visible = bm->offset >= sizeof(spa_meta_bitmap);
  c.width = visible ? static_cast<int>(bm->size.width) : 0;
  c.height = visible ? static_cast<int>(bm->size.height) : 0;
  c.argb.clear();
  // Mutter hands the image as RGBA bytes, premultiplied (no colour exceeds its alpha).
  const bool bgra = bm->format == SPA_VIDEO_FORMAT_BGRA;
  for (int j = 0; j < c.height; ++j) {
    const auto* row = SPA_PTROFF(bm, bm->offset + j * bm->stride, const uint8_t);
    for (int i = 0; i < c.width; ++i) {
      const uint8_t* p = row + 4 * i;
      char hex[9];
      std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", p[3], p[bgra ? 2 : 0], p[1],
                    p[bgra ? 0 : 2]);
      c.argb += hex;
    }
  }
}

void OnProcess(void* data) {
  Cast& c = *static_cast<Cast*>(data);
  while (pw_buffer* b = pw_stream_dequeue_buffer(c.stream)) {
    TakeCursor(c, b->buffer);
    c.last = Clock::now();
    const spa_data& d = b->buffer->datas[0];
    if (d.data == nullptr || d.chunk->size == 0) {  // the pointer alone moved
      pw_stream_queue_buffer(c.stream, b);
      continue;
    }
    ++c.frames;
    if (c.held != nullptr) pw_stream_queue_buffer(c.stream, c.held);
    c.held = b;
  }
}

void OnRemoveBuffer(void* data, pw_buffer* b) {
  Cast& c = *static_cast<Cast*>(data);
  if (c.held == b) c.held = nullptr;
}

void OnState(void* data, pw_stream_state, pw_stream_state state, const char* error) {
  Cast& c = *static_cast<Cast*>(data);
  if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) c.ended = true;
  if (error != nullptr) std::fprintf(stderr, "vimo_wl_shot: %s\n", error);
}

void OnParam(void* data, uint32_t id, const spa_pod* param) {
  Cast& c = *static_cast<Cast*>(data);
  if (param == nullptr || id != SPA_PARAM_Format) return;
  spa_format_video_raw_parse(param, &c.format);
  uint8_t buffer[256];
  spa_pod_builder b{};
  spa_pod_builder_init(&b, buffer, sizeof buffer);
  spa_pod_frame f{};
  spa_pod_builder_push_object(&b, &f, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta);
  spa_pod_builder_add(&b, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
                      SPA_POD_Int(kCursorMeta), 0);
  const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &f))};
  pw_stream_update_params(c.stream, params, 1);
}

// The frame (B, G, R and a fourth byte a pixel) as R, G, B.
bool Write(const Cast& c, const char* path) {
  if (c.held == nullptr) return false;
  const spa_data& d = c.held->buffer->datas[0];
  const int w = static_cast<int>(c.format.size.width);
  const int h = static_cast<int>(c.format.size.height);
  std::string rgb;
  for (int j = 0; j < h; ++j) {
    const auto* p = SPA_PTROFF(d.data, d.chunk->offset + j * d.chunk->stride, const char);
    for (int i = 0; i < w; ++i, p += 4) rgb += {p[2], p[1], p[0]};
  }
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  pw_init(&argc, &argv);
  Cast c;
  c.loop = pw_thread_loop_new("vimo_wl_shot", nullptr);
  pw_context* context = pw_context_new(pw_thread_loop_get_loop(c.loop), nullptr, 0);
  pw_core* core = pw_context_connect(context, nullptr, 0);
  if (core == nullptr) return 3;
  c.stream = pw_stream_new(core, "vimo_wl_shot",
                           pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                             "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = OnState;
  events.param_changed = OnParam;
  events.remove_buffer = OnRemoveBuffer;
  events.process = OnProcess;
  spa_hook listener{};
  pw_stream_add_listener(c.stream, &listener, &events, &c);
  uint8_t buffer[512];
  spa_pod_builder b{};
  spa_pod_builder_init(&b, buffer, sizeof buffer);
  spa_pod_frame f{};
  spa_pod_builder_push_object(&b, &f, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_add(&b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                      SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
                      SPA_FORMAT_VIDEO_format,
                      SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                             SPA_VIDEO_FORMAT_BGRA),
                      0);
  const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &f))};
  pw_stream_connect(
      c.stream, PW_DIRECTION_INPUT, static_cast<uint32_t>(std::atoi(argv[1])),
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params,
      1);
  pw_thread_loop_start(c.loop);

  char line[4096];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    line[std::strcspn(line, "\r\n")] = '\0';
    // Mutter sends a frame only when something has changed: the newest is the one after
    // 100 ms without any, counted from the command (2 s at most, 5 s for the first).
    for (const auto start = Clock::now();;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      pw_thread_loop_lock(c.loop);
      const auto now = Clock::now();
      const bool done =
          c.ended ||
          (c.frames > 0 && now - std::max(c.last, start) > std::chrono::milliseconds(100)) ||
          now - start > std::chrono::seconds(c.frames > 0 ? 2 : 5);
      pw_thread_loop_unlock(c.loop);
      if (done) break;
    }
    pw_thread_loop_lock(c.loop);
    const bool ok = std::strncmp(line, "shot ", 5) != 0 || Write(c, line + 5);
    std::printf(
        "{\"ok\": %s, \"frames\": %ld, \"cursor\": [%d, %d], \"image\": {\"size\": [%d, %d], "
        "\"hot\": [%d, %d], \"argb\": \"%s\"}}\n",
        ok && !c.ended ? "true" : "false", c.frames, c.x, c.y, c.width, c.height, c.hot_x, c.hot_y,
        c.argb.c_str());
    std::fflush(stdout);
    const bool ended = c.ended;
    pw_thread_loop_unlock(c.loop);
    if (ended) break;
  }
  return 0;  // the stream ends with the process
}
