#pragma once
// Writes a recording as MPEG transport stream null packets (188 bytes, PID
// 0x1FFF), split into pieces of at most a given size. Pieces are named
//   <folder>/<name>.ts, <folder>/<name>-2.ts, <folder>/<name>-3.ts, ...
// so that the first piece carries the name the scheduler looks for. A
// packet never straddles two pieces; a piece holds at least one packet.
// The first piece is created by Open, before any packet is due, so the
// recording exists from its start on.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::tools::testcmd {

inline constexpr std::int64_t kTsPacketBytes = 188;

class TsPieceWriter {
 public:
  // `onPiece` is told the path of each piece when it is created.
  TsPieceWriter(std::string folder, std::string name, std::int64_t splitBytes,
                std::function<void(const std::string& path)> onPiece = {});
  ~TsPieceWriter();
  TsPieceWriter(const TsPieceWriter&) = delete;
  TsPieceWriter& operator=(const TsPieceWriter&) = delete;

  static std::string PiecePath(const std::string& folder, const std::string& name, int piece);

  platform::Status Open();
  platform::Status WritePackets(std::int64_t count);
  platform::Status Close();

  std::int64_t bytesWritten() const { return packets_ * kTsPacketBytes; }
  int pieces() const { return piece_; }

 private:
  platform::Status StartPiece();
  platform::Status ClosePiece();

  std::string folder_;
  std::string name_;
  std::int64_t packetsPerPiece_;  // 0: no limit
  std::function<void(const std::string&)> onPiece_;
  int fd_ = -1;
  std::string path_;
  int piece_ = 0;
  std::int64_t packets_ = 0;
  std::int64_t packetsInPiece_ = 0;
};

}  // namespace quorvane::tools::testcmd
