#include "formats/pak/pak_codec.h"

#include <zlib.h>
#define ZSTD_STATIC_LINKING_ONLY  // the frame header's fields
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>

namespace ferry {

PakCodec CodecOf(std::span<const uint8_t> head) {
  return head.size() >= sizeof kZstdMagic && std::memcmp(head.data(), kZstdMagic, sizeof kZstdMagic) == 0
             ? PakCodec::kZstd
             : PakCodec::kZlib;
}

ZstdFrameHead ReadZstdFrameHead(std::span<const uint8_t> head) {
  ZstdFrameHead frame;
  ZSTD_frameHeader fields{};
  const size_t rc = ZSTD_getFrameHeader(&fields, head.data(), head.size());
  if (ZSTD_isError(rc)) {
    frame.Error = ZSTD_getErrorName(rc);
  } else if (rc != 0) {
    frame.Error = "the frame header is cut short";
  } else if (fields.frameType != ZSTD_frame) {
    frame.Error = "a skippable frame holds no data";
  } else if (fields.windowSize > (uint64_t{1} << kZstdWindowLogMax)) {
    // The decoder's own words for it.
    frame.Error = ZSTD_getErrorString(ZSTD_error_frameParameter_windowTooLarge);
  } else {
    frame.Sound = true;
    if (fields.frameContentSize != ZSTD_CONTENTSIZE_UNKNOWN) frame.ContentSize = fields.frameContentSize;
  }
  return frame;
}

struct PakDecoder::State {
  z_stream Zs{};
  bool ZlibReady = false;
  ZSTD_DCtx* Zstd = nullptr;

  ~State() {
    if (ZlibReady) inflateEnd(&Zs);
    ZSTD_freeDCtx(Zstd);
  }
};

PakDecoder::PakDecoder(PakCodec codec) : codec_(codec), state_(std::make_unique<State>()) {
  if (codec_ == PakCodec::kZlib) {
    state_->ZlibReady = inflateInit(&state_->Zs) == Z_OK;
  } else {
    state_->Zstd = ZSTD_createDCtx();
    // A frame may not make the decoder take more memory than the writer allows.
    if (state_->Zstd) ZSTD_DCtx_setParameter(state_->Zstd, ZSTD_d_windowLogMax, kZstdWindowLogMax);
  }
}

PakDecoder::~PakDecoder() = default;

void PakDecoder::Reset() {
  error_.clear();
  if (state_->ZlibReady) inflateReset(&state_->Zs);
  if (state_->Zstd) ZSTD_DCtx_reset(state_->Zstd, ZSTD_reset_session_only);
}

PakDecoder::Step PakDecoder::Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t* produced) {
  *produced = 0;
  if (codec_ == PakCodec::kZlib) {
    if (!state_->ZlibReady) {
      error_ = "cannot start zlib";
      return Step::kError;
    }
    z_stream& zs = state_->Zs;
    const size_t inSize = std::min<size_t>(in.size(), 1u << 30), outSize = std::min<size_t>(out.size(), 1u << 30);
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(inSize);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(outSize);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    in = in.subspan(inSize - zs.avail_in);
    *produced = outSize - zs.avail_out;
    if (rc == Z_STREAM_END) return Step::kEnd;
    if (rc == Z_OK || rc == Z_BUF_ERROR) return Step::kMore;  // a buffer ran out: more input or room
    error_ = zs.msg ? zs.msg : "";
    return Step::kError;
  }
  if (!state_->Zstd) {
    error_ = "cannot start zstd";
    return Step::kError;
  }
  ZSTD_inBuffer source{in.data(), in.size(), 0};
  ZSTD_outBuffer sink{out.data(), out.size(), 0};
  const size_t rc = ZSTD_decompressStream(state_->Zstd, &sink, &source);
  in = in.subspan(source.pos);
  *produced = sink.pos;
  if (ZSTD_isError(rc)) {
    error_ = ZSTD_getErrorName(rc);
    return Step::kError;
  }
  return rc == 0 ? Step::kEnd : Step::kMore;  // 0: the frame is complete and all of it handed out
}

}  // namespace ferry
