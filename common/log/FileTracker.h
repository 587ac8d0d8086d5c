#pragma once
// Log lines into a set of rotating files "<base>_<k>.log", k = 1..count.
// On creation, and whenever the current file has grown past the maximum
// size, the sink takes the first missing file, else the one written
// longest ago (the lower number on equal times), and starts it empty.
// Each line goes to the file at once, so the log survives a crash.

#include <cstdint>
#include <string>

#include "common/log/Tracker.h"

namespace TESKTV::LOG {

class FileTracker : public Tracker {
 public:
  FileTracker(std::string basePath, std::int64_t maxSize, int fileCount);
  ~FileTracker() override;
  FileTracker(const FileTracker&) = delete;
  FileTracker& operator=(const FileTracker&) = delete;

  int Prepare() override;
  int Write(std::string_view line) override;

  std::string FilePath(int k) const;
  // Number of the open file, 0 when none could be opened.
  int CurrentFile() const { return fd_ >= 0 ? current_ : 0; }
  // The number ChooseAndOpen would take now.
  int ChooseFile() const;

 private:
  void Close();
  void ChooseAndOpen();

  std::string basePath_;
  std::int64_t maxSize_;
  int fileCount_;
  int fd_ = -1;
  int current_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace TESKTV::LOG
