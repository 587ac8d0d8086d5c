#include "service/box/BoxControl.h"

#include <unistd.h>

#include <algorithm>

#include "common/keydb/KeyArchive.h"
#include "common/settings/DeviceRegistry.h"
#include "platform/base/Utf16.h"
#include "platform/capture/CaptureDeviceFinder.h"
#include "platform/debug/DebugOutput.h"
#include "platform/registry/HiveNames.h"

namespace TESKTV::SERVICE {

namespace keydb = quorvane::keydb;
namespace platform = quorvane::platform;
using platform::ComPtr;
using platform::Failed;
using platform::Succeeded;

namespace {

// The first `units` UTF-16 units of `text`, not ending inside a surrogate pair.
std::u16string CutUnits(std::string_view text, std::size_t units) {
  std::u16string wide = platform::ToUtf16(text);
  if (wide.size() <= units) return wide;
  wide.resize(units);
  if (!wide.empty() && wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
  return wide;
}

// An empty slot (a filler record, or a position the key file does not
// reach) holds no code to send.
bool IsEmptyCode(const KeyCode& code) {
  return std::all_of(code.begin(), code.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

BoxControl::BoxControl(platform::Clock& clock, ServiceLog& log, const platform::ConsoleUserProvider& consoleUsers,
                       platform::SessionMessenger& messenger, quorvane::SettingsStore store)
    : clock_(clock), log_(log), consoleUsers_(consoleUsers), messenger_(messenger), store_(std::move(store)) {}

std::optional<std::string> BoxControl::GetConsoleUserSid() {
  const auto user = consoleUsers_.CurrentConsoleUser();
  if (!user) return std::nullopt;
  std::string sid = user->sid;
  // Only root reaches other users' trees; a plain process reaches its own.
  const uid_t self = geteuid();
  if (self != 0 && user->uid != self) {
    const platform::ConsoleUser me = platform::LookUpConsoleUser(self);
    (void)messenger_.Show(me, kPrivilegeTitle, kPrivilegeText, kConflictMessageTimeout);
    sid = me.sid;
  }
  platform::DebugOutput(sid);
  return sid;
}

void BoxControl::StopConflictDevice() {
  log_.Write("[Wakeward][CScheduleWnd][StopConflictDevice] ");
  const auto user = consoleUsers_.CurrentConsoleUser();
  if (!user) return;
  const auto answer = messenger_.Show(*user, kConflictTitle, kConflictText, kConflictMessageTimeout);
  if (answer.ok()) {
    log_.Printf("[Wakeward][CScheduleWnd][StopConflictDevice] WTSSendMessage Succeed : %x",
                static_cast<unsigned>(*answer));
  }
}

bool BoxControl::RetrieveDatabase(std::string_view majorChannel, std::string_view minorChannel) {
  log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase]");
  table_ = KeyTable{};
  sequence_ = KeySequence{};
  interval_ = kDefaultInterval;

  const auto sid = GetConsoleUserSid();
  if (!sid) return false;
  log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase] Get current user session info succeed");

  const std::string devicePath = *sid + "\\" + std::string(quorvane::kDeviceKeyPath);
  log_.Printf("[Wakeward][CScheduleWnd][RetrieveDatabase] device path: %s", devicePath.c_str());
  const quorvane::DeviceRegistry devices(store_);
  const quorvane::CurrentDevice current = devices.ReadDeviceEntry(*sid);
  if (current.state == quorvane::CurrentDeviceState::NoDevice ||
      platform::Utf16Length(current.name) > kDeviceNameChars) {
    log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase] Get current user session info fail");
    return false;
  }

  const std::string modelPath = devicePath + "\\" + current.name;
  log_.Printf("[Wakeward][CScheduleWnd][RetrieveDatabase] model path: %s", modelPath.c_str());
  if (current.state == quorvane::CurrentDeviceState::NotLearned) {
    log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase] User skip learning");
    sequence_.fireNum = -1;
    return false;
  }
  log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase] Get Registry data succeed");
  const quorvane::DeviceEntry& entry = current.entry;
  log_.Printf("[Wakeward][CScheduleWnd][RetrieveDatabase] database path: %s", entry.modelFile.c_str());
  // A missing "IntervalSpeed" would repeat the number read before it (a
  // flag); the default pause serves better.
  if (store_.ReadDword(platform::Hive::Users, modelPath, "IntervalSpeed")) {
    interval_ = std::min(std::chrono::milliseconds(entry.intervalSpeed), kLongestInterval);
  }

  // Without a readable key file the table stays empty: nothing is sent,
  // but the input is still switched.
  auto archive = keydb::KeyArchive::OpenForLoading(entry.modelFile);
  if (archive.ok()) {
    log_.Write("[Wakeward][CScheduleWnd][RetrieveDatabase] File read succeed");
    (void)keydb::FillKeyTable(*archive, table_);
  }

  const std::u16string major = CutUnits(majorChannel, kMajorChannelChars);
  const std::u16string minor = CutUnits(minorChannel, kMinorChannelChars);
  log_.Printf("[Wakeward][CScheduleWnd][RetrieveDatabase] %s:MajorLen = %d, %s:MinorLen=%d",
              platform::ToUtf8(major).c_str(), static_cast<int>(major.size()), platform::ToUtf8(minor).c_str(),
              static_cast<int>(minor.size()));
  const ChannelStyle style{DigitWidth(entry.digital), entry.inputType != 0, entry.hundredKey != 0};
  BuildKeySequence(table_, major, minor, style, log_, sequence_);
  log_.Printf("[Wakeward][CScheduleWnd][RetrieveDatabase] pnFireNum=%d", sequence_.fireNum);
  return true;
}

void BoxControl::SendKeys(const ComPtr<platform::ITeskUSBHDAPI>& api, const platform::CaptureFilter* filter,
                          const BoxSettings& settings, bool withPower) {
  ComPtr<platform::IRemoteLearning> ir;
  if (Failed(api.As(&ir)) || !ir) return;
  log_.Write("[Wakeward][CScheduleWnd][InitializeBox] IRemoteLearning");
  if (Succeeded(ir->IRInit(filter))) log_.Write("[Wakeward][CScheduleWnd][InitializeBox] IRInit succeeded");
  const auto send = [&](const KeyCode& code) {
    return !IsEmptyCode(code) && Succeeded(ir->SendIRCode(code.data(), static_cast<std::int32_t>(code.size())));
  };
  if (withPower) {
    if (send(sequence_.power)) log_.Write("[Wakeward][CScheduleWnd][InitializeBox] power on");
    clock_.SleepFor(std::chrono::milliseconds(settings.powerWaitTimeMs));
  }
  for (int i = 0; i < sequence_.fireNum; ++i) {
    log_.Printf("[Wakeward][CScheduleWnd][InitializeBox] channel digit %d", i);
    (void)send(sequence_.codes[static_cast<std::size_t>(i)]);
    clock_.SleepFor(interval_);
  }
}

int BoxControl::InitializeBox(BoxWindowState& window, int insource, std::string_view majorChannel,
                              std::string_view minorChannel, int devicenum) {
  log_.Write("[Wakeward][CScheduleWnd][InitializeBox] ");
  const bool database = RetrieveDatabase(majorChannel, minorChannel);

  platform::CaptureDeviceFinder finder;
  (void)finder.Select(devicenum + 1);
  const platform::CaptureFilter* filter = finder.Filter();
  ComPtr<platform::ITeskUSBHDAPI> api;
  const platform::HRESULT created = platform::CreateCaptureApi(filter, api.Put());
  if (Failed(created)) {
    log_.Printf("[Wakeward][CScheduleWnd][InitializeBox] IID_ITeskUSBHDAPI fail - 0x%x",
                static_cast<unsigned>(created));
    return 0;
  }
  log_.Write("[Wakeward][CScheduleWnd][InitializeBox] IID_ITeskUSBHDAPI");
  if (Failed(api->Init(filter))) return 0;
  log_.Write("[Wakeward][CScheduleWnd][InitializeBox] Init");

  std::int32_t occupied = 0;
  if (Succeeded(api->IsDeviceOccupied(&occupied)) && occupied != 0) {
    StopConflictDevice();
    window.deviceOccupied = true;
  }
  if (Succeeded(api->SetFuncMode(1))) log_.Write("[Wakeward][CScheduleWnd][InitializeBox] SetFuncMode succeede");
  if (Failed(api->SetInputSource(insource))) {
    log_.Write("[Wakeward][CScheduleWnd][InitializeBox] Set Input Source fail");
    return 0;
  }
  log_.Write("[Wakeward][CScheduleWnd][InitializeBox] SetFuncMode & SetInputSource");
  clock_.SleepFor(kInputSettleTime);

  const BoxSettings settings = window.settings;
  std::int32_t locked = 0;
  std::int32_t format = 0;
  const platform::HRESULT detected = api->DetectInputVideoFmt(&locked, &format);
  if (Succeeded(detected) && locked != 0) {
    log_.Write("[Wakeward][CScheduleWnd][InitializeBox] DetectInputVideoFmt succeed");
    log_.Write("[Wakeward][CScheduleWnd][InitializeBox] lock");
    // The box is on already: only the channel.
    if (database) SendKeys(api, filter, settings, false);
  } else {
    if (Failed(detected)) {
      log_.Write("[Wakeward][CScheduleWnd][InitializeBox] DetectInputVideoFmt fail");
    } else {
      log_.Write("[Wakeward][CScheduleWnd][InitializeBox] DetectInputVideoFmt succeed");
      log_.Write("[Wakeward][CScheduleWnd][InitializeBox] un-lock");
    }
    for (std::uint32_t attempt = 0; attempt < settings.detectSignalLoop; ++attempt) {
      if (!database) {
        log_.Write("[Wakeward][CScheduleWnd][InitializeBox] No database can use to turn on box");
        break;
      }
      SendKeys(api, filter, settings, true);
      locked = 0;
      if (Succeeded(api->DetectInputVideoFmt(&locked, &format)) && locked != 0) break;
    }
  }

  const std::uint32_t remaining = api.Reset();
  log_.Printf("[Wakeward][CScheduleWnd][InitializeBox]DeviceAPI COM value = %d", static_cast<int>(remaining));
  return 0;
}

}  // namespace TESKTV::SERVICE
