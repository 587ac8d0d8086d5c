#include "platform/capture/IrCode.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace quorvane::platform {
namespace {

IrCode Sample() {
  IrCode code;
  code.carrier_hz = 36000;
  code.durations = {9000, 4500, 560, 1690, 560, 560, 560};
  code.toggle_first = 2;
  code.toggle_count = 2;
  code.toggle_value = true;
  return code;
}

TEST(IrCode, RoundTripKeepsEveryField) {
  auto bytes = EncodeIrCode(Sample());
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  // The first byte tells a learned code from "nothing captured".
  EXPECT_NE((*bytes)[0], 0);
  EXPECT_FALSE(IsNoCapturedCode(*bytes));
  EXPECT_EQ((*bytes)[10], 7);  // count, little-endian
  EXPECT_EQ((*bytes)[11], 0);

  auto decoded = DecodeIrCode(*bytes);
  ASSERT_TRUE(decoded.ok()) << decoded.error().message;
  EXPECT_EQ(decoded->carrier_hz, 36000u);
  EXPECT_EQ(decoded->durations, Sample().durations);
  EXPECT_EQ(decoded->toggle_first, 2);
  EXPECT_EQ(decoded->toggle_count, 2);
  EXPECT_TRUE(decoded->toggle_value);
}

TEST(IrCode, EncodeRefusesWhatDoesNotFit) {
  IrCode empty;
  EXPECT_FALSE(EncodeIrCode(empty).ok());

  IrCode too_many;
  too_many.durations.assign(kIrCodeMaxDurations + 1, 500);
  EXPECT_FALSE(EncodeIrCode(too_many).ok());
  too_many.durations.pop_back();
  EXPECT_TRUE(EncodeIrCode(too_many).ok());

  IrCode zero = Sample();
  zero.durations[3] = 0;
  EXPECT_FALSE(EncodeIrCode(zero).ok());

  IrCode long_duration = Sample();
  long_duration.durations[0] = 65536;
  EXPECT_FALSE(EncodeIrCode(long_duration).ok());

  IrCode toggle_outside = Sample();
  toggle_outside.toggle_first = 6;  // 6 and 7, but only 0..6 exist
  EXPECT_FALSE(EncodeIrCode(toggle_outside).ok());
}

TEST(IrCode, DecodeChecksBounds) {
  const IrCodeBytes good = EncodeIrCode(Sample()).value();
  struct Case {
    const char* what;
    std::size_t size;
    std::function<void(IrCodeBytes&)> damage;
  };
  const std::vector<Case> cases = {
      {"shorter than the header", 15, [](IrCodeBytes&) {}},
      {"wrong magic", 512, [](IrCodeBytes& b) { b[0] = 'X'; }},
      {"unknown version", 512, [](IrCodeBytes& b) { b[4] = 2; }},
      {"no durations", 512, [](IrCodeBytes& b) { b[10] = 0; }},
      {"more durations than fit in 512 bytes", 512, [](IrCodeBytes& b) { b[10] = 249; }},
      {"durations beyond the buffer", 29, [](IrCodeBytes&) {}},
      {"zero duration", 512, [](IrCodeBytes& b) { b[16] = b[17] = 0; }},
      {"toggle beyond the durations", 512, [](IrCodeBytes& b) { b[6] = 6; }},
      {"all zero (an empty key slot)", 512, [](IrCodeBytes& b) { b.fill(0); }},
  };
  for (const Case& c : cases) {
    IrCodeBytes bytes = good;
    c.damage(bytes);
    EXPECT_FALSE(DecodeIrCode(std::span(bytes).first(c.size)).ok()) << c.what;
  }
  // Exactly header + 7 durations is enough; bytes past 512 are not read.
  EXPECT_TRUE(DecodeIrCode(std::span(good).first(kIrCodeHeaderSize + 14)).ok());
  std::vector<std::uint8_t> longer(good.begin(), good.end());
  longer.resize(600, 0xEE);
  EXPECT_TRUE(DecodeIrCode(longer).ok());
}

TEST(IrCode, SameDurationWithin30PercentOr100Microseconds) {
  struct Case {
    std::uint32_t a, b;
    bool same;
  };
  const Case cases[] = {
      {200, 300, true},     // 100 us
      {200, 301, false},    // 101 us, and more than 30 %
      {1000, 1300, true},   // 30 % of the shorter
      {1000, 1301, false},
      {1301, 1000, false},  // symmetric
      {9000, 11700, true},
      {9000, 11701, false},
      {560, 1690, false},   // a 0 bit against a 1 bit
      {1, 101, true},
  };
  for (const Case& c : cases) EXPECT_EQ(SameDuration(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

TEST(IrCode, SameKeyComparesEveryDurationButTheToggle) {
  const IrCode a = Sample();

  IrCode jittered = a;
  jittered.durations = {9900, 4100, 640, 1500, 480, 650, 600};  // all within 30 % / 100 us
  EXPECT_TRUE(SameKey(a, jittered));

  IrCode one_off = a;
  one_off.durations[5] = 1690;  // a different bit
  EXPECT_FALSE(SameKey(a, one_off));

  IrCode toggled = a;
  toggled.durations[2] = 2000;  // the toggle bit flipped
  toggled.durations[3] = 300;
  toggled.toggle_value = false;
  EXPECT_TRUE(SameKey(a, toggled));
  EXPECT_TRUE(SameKey(toggled, a));

  IrCode unmarked = toggled;  // without the marker the difference counts
  unmarked.toggle_first = kIrCodeNoToggle;
  IrCode plain = a;
  plain.toggle_first = kIrCodeNoToggle;
  EXPECT_FALSE(SameKey(plain, unmarked));

  IrCode shorter = a;
  shorter.durations.pop_back();
  EXPECT_FALSE(SameKey(a, shorter));

  IrCode other_carrier = a;
  other_carrier.carrier_hz = 0;
  EXPECT_TRUE(SameKey(a, other_carrier));
}

TEST(IrCode, NoCapturedCodeMarker) {
  const IrCodeBytes none = NoCapturedCode();
  EXPECT_EQ(none[0], 0x00);
  EXPECT_EQ(none[1], 0x00);
  EXPECT_EQ(none[2], 0xFF);
  EXPECT_EQ(none[3], 0xFF);
  EXPECT_TRUE(IsNoCapturedCode(none));
  EXPECT_FALSE(DecodeIrCode(none).ok());
}

}  // namespace
}  // namespace quorvane::platform
