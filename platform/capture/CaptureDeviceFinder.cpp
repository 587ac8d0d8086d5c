#include "platform/capture/CaptureDeviceFinder.h"

#include <mutex>
#include <optional>

#include "platform/capture/Q311MonikerRule.h"
#include "platform/capture/SimulatedDeviceSource.h"
#include "platform/capture/SimulatorSocket.h"
#include "platform/capture/V4l2DeviceSource.h"

namespace quorvane::platform {
namespace {

std::mutex g_override_mutex;
std::optional<std::vector<std::shared_ptr<CaptureDeviceSource>>> g_override;

}  // namespace

std::vector<std::shared_ptr<CaptureDeviceSource>> DefaultCaptureDeviceSources() {
  {
    std::lock_guard lock(g_override_mutex);
    if (g_override) return *g_override;
  }
  return {std::make_shared<V4l2DeviceSource>(V4l2DeviceSource::DefaultSysfsRoot()),
          MakeSimulatorSocketSource(SimulatorSocketPath())};
}

OverrideCaptureDeviceSources::OverrideCaptureDeviceSources(std::vector<std::shared_ptr<CaptureDeviceSource>> sources) {
  std::lock_guard lock(g_override_mutex);
  had_previous_ = g_override.has_value();
  if (had_previous_) previous_ = std::move(*g_override);
  g_override = std::move(sources);
}

OverrideCaptureDeviceSources::~OverrideCaptureDeviceSources() {
  std::lock_guard lock(g_override_mutex);
  if (had_previous_) {
    g_override = std::move(previous_);
  } else {
    g_override.reset();
  }
}

CaptureDeviceFinder::CaptureDeviceFinder() : sources_(DefaultCaptureDeviceSources()) {}

CaptureDeviceFinder::CaptureDeviceFinder(std::vector<std::shared_ptr<CaptureDeviceSource>> sources)
    : sources_(std::move(sources)) {}

std::vector<CaptureDevice> CaptureDeviceFinder::Matches() {
  std::vector<CaptureDevice> matches;
  for (const auto& source : sources_) {
    if (!source) continue;
    for (CaptureDevice& device : source->List()) {
      if (MatchesQ311Moniker(device.display_name)) matches.push_back(std::move(device));
    }
  }
  return matches;
}

std::vector<std::string> CaptureDeviceFinder::Enumerate() {
  std::vector<std::string> names;
  for (const CaptureDevice& device : Matches()) names.push_back(device.friendly_name);
  return names;
}

HRESULT CaptureDeviceFinder::Select(int n) {
  filter_.reset();
  if (n < 1) return E_INVALIDARG;
  std::vector<CaptureDevice> matches = Matches();
  if (static_cast<std::size_t>(n) > matches.size()) return E_INVALIDARG;
  filter_ = std::make_unique<CaptureFilter>(CaptureFilter{std::move(matches[static_cast<std::size_t>(n) - 1])});
  return S_OK;
}

}  // namespace quorvane::platform
