#include "platform/capture/V4l2DeviceSource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace quorvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVideoInputGuid = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

// First line of a small sysfs attribute, without surrounding blanks.
std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  const auto first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const auto last = line.find_last_not_of(" \t\r\n");
  return line.substr(first, last - first + 1);
}

// The instance part of the moniker must not contain the characters that
// delimit moniker parts.
std::string MonikerWord(std::string_view text) {
  std::string out;
  for (unsigned char c : text) out += (std::isalnum(c) || c == '.' || c == '-' || c == '_') ? char(c) : '_';
  return out;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

bool IsHexId(const std::string& s, std::size_t digits) {
  return s.size() == digits && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); });
}

// Natural order: video2 before video10.
bool NodeLess(const std::string& a, const std::string& b) {
  auto number = [](const std::string& s) {
    const auto pos = s.find_first_of("0123456789");
    return pos == std::string::npos ? -1L : std::strtol(s.c_str() + pos, nullptr, 10);
  };
  const long na = number(a), nb = number(b);
  return na != nb ? na < nb : a < b;
}

}  // namespace

V4l2DeviceSource::V4l2DeviceSource(fs::path sysfs_root) : root_(std::move(sysfs_root)) {}

fs::path V4l2DeviceSource::DefaultSysfsRoot() {
  const char* env = std::getenv("QUORVANE_SYSFS_ROOT");
  return env && *env ? fs::path(env) : fs::path("/sys");
}

std::vector<CaptureDevice> V4l2DeviceSource::List() {
  std::vector<CaptureDevice> devices;
  const fs::path class_dir = root_ / "class" / "video4linux";
  std::error_code ec;
  std::vector<std::string> nodes;
  for (fs::directory_iterator it(class_dir, ec), end; !ec && it != end; it.increment(ec)) {
    nodes.push_back(it->path().filename().string());
  }
  std::sort(nodes.begin(), nodes.end(), NodeLess);

  for (const std::string& node : nodes) {
    const fs::path entry = class_dir / node;
    if (auto index = ReadAttribute(entry / "index"); index && *index != "0") continue;
    const std::string name = ReadAttribute(entry / "name").value_or(node);

    // Walk up from the interface the node hangs off to the USB device that
    // carries the vendor and product ids.
    std::optional<fs::path> usb_device;
    std::string interface_number = "00";
    fs::path dir = fs::canonical(entry / "device", ec);
    if (!ec) {
      if (auto mi = ReadAttribute(dir / "bInterfaceNumber"); mi && IsHexId(*mi, 2)) interface_number = Lower(*mi);
      for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
          usb_device = dir;
          break;
        }
      }
    }

    CaptureDevice device;
    device.friendly_name = name;
    device.backend = CaptureBackend::kV4l2;
    device.location = "/dev/" + node;
    std::string vid, pid;
    if (usb_device) {
      vid = Lower(ReadAttribute(*usb_device / "idVendor").value_or(""));
      pid = Lower(ReadAttribute(*usb_device / "idProduct").value_or(""));
    }
    if (IsHexId(vid, 4) && IsHexId(pid, 4)) {
      const std::string product = ReadAttribute(*usb_device / "product").value_or(name);
      device.display_name = "@device:pnp:\\\\?\\usb#vid_" + vid + "&pid_" + pid + "&mi_" + interface_number + "#" +
                            MonikerWord(usb_device->filename().string()) + "&" + MonikerWord(product) + "#" +
                            kVideoInputGuid + "\\global";
    } else {
      device.display_name = "@device:pnp:\\\\?\\v4l2#" + MonikerWord(node) + "&" + MonikerWord(name) + "#" +
                            kVideoInputGuid + "\\global";
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace quorvane::platform
