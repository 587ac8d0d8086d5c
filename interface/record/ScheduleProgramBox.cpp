#include "interface/record/ScheduleProgramBox.h"

#include <cstddef>

#include "platform/base/Utf16.h"

namespace quorvane::wire {
namespace {

static_assert(offsetof(SCHEDULE_PROGRAM_BOX, enable) == 1024);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, error) == 1036);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, szMajorCh) == 2068);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, dtime) == 2120);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, timelen) == 2192);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, szAPPath) == 3228);
static_assert(offsetof(SCHEDULE_PROGRAM_BOX, nRecordStatus) == 3788);

// The one list of fields in wire order, shared by encoder and decoder.
template <class Box, class Visitor>
void VisitFields(Box& b, Visitor& v) {
  v.Text("ID", b.ID);
  v.Text("description", b.description);
  v.Int(b.enable);
  v.Int(b.action);
  v.Int(b.eAction);
  v.Text("error", b.error);
  v.Text("device", b.device);
  v.Int(b.devicenum);
  v.Int(b.insource);
  v.Text("szMajorCh", b.szMajorCh);
  v.Text("szMinorCh", b.szMinorCh);
  v.Int(b.interval);
  for (auto& day : b.dayOfWeeks) v.Int(day);
  v.Time("dtime", b.dtime, true);
  v.Time("startdtime", b.startdtime, true);
  v.Time("enddtime", b.enddtime, false);
  v.Int(b.timelen);
  v.Text("recpath", b.recpath);
  v.Text("recfile", b.recfile);
  v.Int(b.splitfile);
  v.Int(b.splitsize);
  v.Text("szAPPath", b.szAPPath);
  v.Int(b.lVideoInputFormat);
  v.Int(b.lVideoOutputFormat);
  v.Int(b.bIsCbr);
  v.Int(b.lVideoAverageBitRate);
  v.Int(b.lVideoMaxBitRate);
  v.Int(b.lVideoMinBitRate);
  v.Int(b.lAudioFormat);
  v.Int(b.lAudioPeak);
  v.Int(b.lAudioAverageBitRate);
  v.Int(b.lAudioBitRate);
  v.Int(b.bEnablePreview);
  v.Int(b.lAudioVolume);
  v.Int(b.nRecordStatus);
}

class Encoder {
 public:
  explicit Encoder(BoxBytes& out) : out_(out) {}

  void Int(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out_[pos_++] = static_cast<std::uint8_t>(bits >> shift);
  }
  template <std::size_t N>
  void Text(const char*, const char16_t (&array)[N]) {
    for (char16_t unit : array) {
      out_[pos_++] = static_cast<std::uint8_t>(unit & 0xFF);
      out_[pos_++] = static_cast<std::uint8_t>(unit >> 8);
    }
  }
  void Time(const char*, const Date_Time& t, bool) {
    for (std::int32_t value : {t.yy, t.mm, t.dd, t.hh, t.min, t.sec}) Int(value);
  }
  std::size_t size() const { return pos_; }

 private:
  BoxBytes& out_;
  std::size_t pos_ = 0;
};

class Decoder {
 public:
  explicit Decoder(std::span<const std::uint8_t> in) : in_(in) {}

  void Int(std::int32_t& value) {
    std::uint32_t bits = 0;
    for (int shift = 0; shift < 32; shift += 8) bits |= static_cast<std::uint32_t>(in_[pos_++]) << shift;
    value = static_cast<std::int32_t>(bits);
  }
  template <std::size_t N>
  void Text(const char* name, char16_t (&array)[N]) {
    bool terminated = false;
    for (char16_t& unit : array) {
      unit = static_cast<char16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
      pos_ += 2;
      terminated = terminated || unit == 0;
    }
    if (!terminated) Fail(std::string("text field ") + name + " has no terminator within its " +
                          std::to_string(N) + " units");
  }
  void Time(const char* name, Date_Time& t, bool checked) {
    for (std::int32_t* value : {&t.yy, &t.mm, &t.dd, &t.hh, &t.min, &t.sec}) Int(*value);
    if (checked && !IsInCalendarRange(t)) {
      Fail(std::string(name) + " is not a calendar time (" + std::to_string(t.yy) + "-" + std::to_string(t.mm) + "-" +
           std::to_string(t.dd) + " " + std::to_string(t.hh) + ":" + std::to_string(t.min) + ":" +
           std::to_string(t.sec) + ")");
    }
  }
  const std::string& failure() const { return failure_; }
  std::size_t size() const { return pos_; }

 private:
  void Fail(std::string message) {
    if (failure_.empty()) failure_ = std::move(message);
  }
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
  std::string failure_;
};

}  // namespace

BoxBytes Encode(const SCHEDULE_PROGRAM_BOX& box) {
  BoxBytes bytes{};
  Encoder encoder(bytes);
  VisitFields(box, encoder);
  return bytes;
}

platform::Result<SCHEDULE_PROGRAM_BOX> Decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kScheduleProgramBoxSize) {
    return platform::MakeError("schedule record has " + std::to_string(bytes.size()) + " bytes, expected " +
                               std::to_string(kScheduleProgramBoxSize));
  }
  SCHEDULE_PROGRAM_BOX box;
  Decoder decoder(bytes);
  VisitFields(box, decoder);
  if (!decoder.failure().empty()) return platform::MakeError("schedule record refused: " + decoder.failure());
  return box;
}

bool IsInCalendarRange(const Date_Time& t) {
  return t.yy >= 1900 && t.mm >= 1 && t.mm <= 12 && t.dd >= 1 && t.dd <= 31 && t.hh >= 0 && t.hh <= 23 &&
         t.min >= 0 && t.min <= 59 && t.sec >= 0 && t.sec <= 59;
}

namespace detail {

std::string TextOf(const char16_t* array, std::size_t units) {
  std::size_t length = 0;
  while (length < units && array[length] != 0) ++length;
  return platform::ToUtf8(std::u16string_view(array, length));
}

void StoreText(char16_t* array, std::size_t units, std::string_view utf8) {
  const std::u16string text = platform::ToUtf16(utf8);
  std::size_t length = std::min(text.size(), units - 1);
  // Never leave the high half of a surrogate pair without its low half.
  if (length > 0 && length < text.size() && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) --length;
  std::size_t i = 0;
  for (; i < length; ++i) array[i] = text[i];
  for (; i < units; ++i) array[i] = 0;
}

}  // namespace detail
}  // namespace quorvane::wire
