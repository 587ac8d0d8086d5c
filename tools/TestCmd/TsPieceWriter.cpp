#include "tools/TestCmd/TsPieceWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace quorvane::tools::testcmd {

namespace {

using platform::MakeError;
using platform::Status;

constexpr std::int64_t kPacketsPerWrite = 512;

// A block of null packets: sync byte, PID 0x1FFF, payload only, stuffing.
const std::array<unsigned char, kPacketsPerWrite * kTsPacketBytes>& NullPackets() {
  static const auto block = [] {
    std::array<unsigned char, kPacketsPerWrite * kTsPacketBytes> bytes;
    bytes.fill(0xFF);
    for (std::int64_t i = 0; i < kPacketsPerWrite; ++i) {
      unsigned char* packet = bytes.data() + i * kTsPacketBytes;
      packet[0] = 0x47;
      packet[1] = 0x1F;
      packet[2] = 0xFF;
      packet[3] = 0x10;
    }
    return bytes;
  }();
  return block;
}

Status WriteAll(int fd, const unsigned char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return MakeError("cannot write " + path + ": " + std::strerror(errno));
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

}  // namespace

TsPieceWriter::TsPieceWriter(std::string folder, std::string name, std::int64_t splitBytes,
                             std::function<void(const std::string&)> onPiece)
    : folder_(std::move(folder)),
      name_(std::move(name)),
      packetsPerPiece_(splitBytes > 0 ? std::max<std::int64_t>(1, splitBytes / kTsPacketBytes) : 0),
      onPiece_(std::move(onPiece)) {}

TsPieceWriter::~TsPieceWriter() {
  if (fd_ >= 0) ::close(fd_);
}

std::string TsPieceWriter::PiecePath(const std::string& folder, const std::string& name, int piece) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path += name;
  if (piece > 1) path += "-" + std::to_string(piece);
  return path + ".ts";
}

Status TsPieceWriter::Open() {
  if (piece_ > 0) return Status::Ok();
  return StartPiece();
}

Status TsPieceWriter::StartPiece() {
  if (Status closed = ClosePiece(); !closed) return closed;
  const std::string path = PiecePath(folder_, name_, piece_ + 1);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return MakeError("cannot create " + path + ": " + std::strerror(errno));
  fd_ = fd;
  path_ = path;
  ++piece_;
  packetsInPiece_ = 0;
  if (onPiece_) onPiece_(path_);
  return Status::Ok();
}

Status TsPieceWriter::ClosePiece() {
  if (fd_ < 0) return Status::Ok();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) return MakeError("cannot write " + path_ + ": " + std::strerror(errno));
  return Status::Ok();
}

Status TsPieceWriter::WritePackets(std::int64_t count) {
  if (piece_ == 0) {
    if (Status opened = Open(); !opened) return opened;
  }
  while (count > 0) {
    if (packetsPerPiece_ > 0 && packetsInPiece_ == packetsPerPiece_) {
      if (Status started = StartPiece(); !started) return started;
    }
    if (fd_ < 0) return MakeError("the recording is closed");
    std::int64_t chunk = std::min(count, kPacketsPerWrite);
    if (packetsPerPiece_ > 0) chunk = std::min(chunk, packetsPerPiece_ - packetsInPiece_);
    const Status written = WriteAll(fd_, NullPackets().data(), static_cast<std::size_t>(chunk * kTsPacketBytes), path_);
    if (!written) return written;
    count -= chunk;
    packets_ += chunk;
    packetsInPiece_ += chunk;
  }
  return Status::Ok();
}

Status TsPieceWriter::Close() { return ClosePiece(); }

}  // namespace quorvane::tools::testcmd
