#include "platform/capture/SocketDevicePort.h"

#include <algorithm>
#include <charconv>

#include "platform/capture/SimulatorProtocol.h"

namespace quorvane::platform {
namespace {

Result<int> IntField(const std::vector<std::string>& words, std::string_view key) {
  auto text = simwire::FindField(words, key);
  int value = 0;
  if (!text) return MakeError("the simulator's reply lacks " + std::string(key));
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size()) {
    return MakeError("the simulator's " + std::string(key) + " is not a number");
  }
  return value;
}

}  // namespace

SocketDevicePort::SocketDevicePort(std::string socket_path) : path_(std::move(socket_path)) {}

Result<std::vector<std::string>> SocketDevicePort::Request(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (connection_ && !connection_->StillOpen()) connection_.reset();
  if (!connection_) {
    auto connected = SimulatorConnection::Connect(path_);
    if (!connected.ok()) return connected.error();
    connection_.emplace(std::move(*connected));
  }
  auto reply_line = connection_->Exchange(line);
  if (!reply_line.ok()) {
    connection_.reset();
    return reply_line.error();
  }
  auto reply = simwire::ParseReply(*reply_line);
  if (!reply.ok()) return reply.error();
  if (!reply->ok) return MakeError("simulator: " + reply->error);
  return std::move(reply->words);
}

Result<SimulatedDeviceIdentity> SocketDevicePort::Identify() {
  auto words = Request("IDENTIFY");
  if (!words.ok()) return words.error();
  SimulatedDeviceIdentity identity;
  auto name = simwire::FindField(*words, "name");
  auto moniker = simwire::FindField(*words, "moniker");
  auto inputs = IntField(*words, "inputs");
  if (!name || !moniker || !inputs.ok()) return MakeError("the simulator's IDENTIFY reply is incomplete");
  identity.friendly_name = *name;
  identity.display_name = *moniker;
  identity.input_count = *inputs;
  return identity;
}

Status SocketDevicePort::SelectInput(int input) {
  auto words = Request("SELECT-INPUT " + std::to_string(input));
  if (!words.ok()) return words.error();
  return Status::Ok();
}

Result<VideoSignal> SocketDevicePort::DetectSignal() {
  auto words = Request("DETECT");
  if (!words.ok()) return words.error();
  auto locked = IntField(*words, "locked");
  auto format = IntField(*words, "format");
  if (!locked.ok()) return locked.error();
  if (!format.ok()) return format.error();
  return VideoSignal{*locked != 0, *format};
}

Result<bool> SocketDevicePort::IsOccupied() {
  auto words = Request("OCCUPIED");
  if (!words.ok()) return words.error();
  auto occupied = IntField(*words, "occupied");
  if (!occupied.ok()) return occupied.error();
  return *occupied != 0;
}

Status SocketDevicePort::StartLearning() {
  auto words = Request("LEARN");
  if (!words.ok()) return words.error();
  return Status::Ok();
}

Result<std::optional<IrCodeBytes>> SocketDevicePort::TakeLearnedCode() {
  auto words = Request("LEARNED");
  if (!words.ok()) return words.error();
  auto hex = simwire::FindField(*words, "code");
  if (!hex) return std::optional<IrCodeBytes>();
  auto bytes = simwire::HexDecode(*hex);
  if (!bytes.ok()) return bytes.error();
  if (bytes->size() != kIrCodeSize) return MakeError("the simulator's learned code is not 512 bytes");
  IrCodeBytes code;
  std::copy(bytes->begin(), bytes->end(), code.begin());
  return std::optional<IrCodeBytes>(code);
}

Status SocketDevicePort::SendIrCode(const IrCodeBytes& code) {
  auto words = Request("SEND " + simwire::HexEncode(code));
  if (!words.ok()) return words.error();
  return Status::Ok();
}

}  // namespace quorvane::platform
