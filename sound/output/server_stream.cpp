#include "sound/output/server_stream.h"

namespace kestu {

bool ServerStream::Open(FrameSource& source, std::uint32_t rate) {
  Close();
  figures_ = OpenStream(source, rate);
  if (figures_ == nullptr) return false;
  source_ = &source;
  rate_ = rate;
  return true;
}

void ServerStream::ChangeRate(std::uint32_t rate) {
  if (source_ == nullptr || rate == rate_) return;
  FrameSource* source = source_;
  Close();
  Open(*source, rate);
}

void ServerStream::Close() {
  source_ = nullptr;
  figures_ = nullptr;
  CloseStream();
}

}  // namespace kestu
