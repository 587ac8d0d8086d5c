#include "sim/TeachCommand.h"

#include <algorithm>

#include "common/keydb/KeyFile.h"
#include "platform/capture/IrCode.h"
#include "sim/RemoteControl.h"
#include "sim/RemoteKey.h"

namespace quorvane::sim {

int RunTeach(const std::string& path, std::ostream& out, std::ostream& err) {
  // Key positions in file order.
  constexpr RemoteKey kPositions[] = {RemoteKey::k0, RemoteKey::k1, RemoteKey::k2,  RemoteKey::k3,     RemoteKey::k4,
                                      RemoteKey::k5, RemoteKey::k6, RemoteKey::k7,  RemoteKey::k8,     RemoteKey::k9,
                                      RemoteKey::kOk, RemoteKey::kPower, RemoteKey::kPlus100, RemoteKey::kDot};
  keydb::CRemoteKeyList list;
  std::int32_t position = 0;
  for (RemoteKey key : kPositions) {
    auto encoded = platform::EncodeIrCode(RemoteControl::BasePattern(key));
    if (!encoded) {
      err << "q311-sim: cannot encode key " << KeyName(key) << ": " << encoded.error().message << "\n";
      return 1;
    }
    keydb::CKeyList record;
    record.id = position++;
    std::copy(encoded->begin(), encoded->end(), record.code.begin());
    list.Append(record);
  }
  const keydb::KeyFileWrite written = keydb::WriteKeyFile(path, list);
  if (written.outcome != keydb::KeyFileWriteOutcome::Written) {
    err << "q311-sim: cannot write the key file " << path << ": " << written.message << "\n";
    return 1;
  }
  out << "q311-sim: wrote " << list.size() << " keys to " << path << "\n";
  return 0;
}

}  // namespace quorvane::sim
