#include "link/serial_line.h"

#include <algorithm>

namespace vemtaro {

void MemoryLine::End::Send(std::string_view bytes) {
  if (!open_) throw LinkError("The port is not open");
  if (bytes.size() > capacity_ - std::min(capacity_, out_.size())) throw LinkError("The send buffer is full");
  out_.bytes.append(bytes);
}

std::size_t MemoryLine::End::Available() const { return open_ ? in_.size() : 0; }

std::string MemoryLine::End::Read(std::size_t max) {
  if (!open_) return {};
  const std::size_t n = std::min(max, in_.size());
  std::string bytes = in_.bytes.substr(in_.head, n);
  in_.head += n;
  if (in_.head == in_.bytes.size()) {
    in_.clear();
  } else if (in_.head >= 4096 && in_.head >= in_.bytes.size() / 2) {
    in_.bytes.erase(0, in_.head);
    in_.head = 0;
  }
  return bytes;
}

void MemoryLine::End::FlushInput() { in_.clear(); }

void MemoryLine::End::FlushOutput() { out_.clear(); }

void MemoryLine::End::SetOpen(bool open) {
  if (open == open_) return;
  open_ = open;
  in_.clear();
}

bool PortAvailable(PortProbe& probe, int number) {
  if (number == 0) return false;
  switch (probe.TryOpen(number)) {
    case PortOpenResult::Opened:
    case PortOpenResult::AccessDenied:
    case PortOpenResult::NoPermission: return true;
    case PortOpenResult::Failed: break;
  }
  return false;
}

void LineSwitch::Send(std::string_view bytes) {
  if (line_ == nullptr) throw LinkError("The port is not open");
  line_->Send(bytes);
}

}  // namespace vemtaro
