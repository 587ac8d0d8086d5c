#pragma once
// Names, numbers and texts the handler shares with the registry, the
// scheduler and the shell.

#include <chrono>
#include <cstdint>

#include "platform/base/HResult.h"

namespace quorvane::iepg {

using platform::HRESULT;

inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

inline constexpr char kIepgKey[] = "SOFTWARE\\Quorvane\\Common\\IEPG";
inline constexpr char kDataPathValue[] = "Data Path";
inline constexpr char kKeyTextValue[] = "T_Data";
inline constexpr char kKeyIdValue[] = "T_ID";
inline constexpr char kSchedulerKey[] = "SOFTWARE\\Quorvane\\Velmora Scheduler";
inline constexpr char kAppPathValue[] = "AppPath";

// The decoder's key text holds at most this many bytes; the number is also
// the fourth argument of the decoder call.
inline constexpr int kDecoderKeyLength = 32;
inline constexpr char kDecoderFileName[] = "libdmcrypto.so";
inline constexpr char kDecoderExport[] = "read_tvpi_encrypted";
// int read_tvpi_encrypted(path, T_ID, key text, 32); the result is not used.
using DecoderFunction = int(const char* path, std::int32_t id, const char* key, std::int32_t keyLength);

inline constexpr char kStylesheetFolder[] = "xsl";
inline constexpr char kTitanStylesheet[] = "Titan.xsl";

inline constexpr char kRecordSuffix[] = ".iepg";
inline constexpr char kRecordRequestExtension[] = ".tvpi";
inline constexpr char kWatchRequestExtension[] = ".tvvi";

inline constexpr char kSchedulerWindowClass[] = "TeskIr_Scheduler";
inline constexpr char kSchedulerProgram[] = "Velmora Scheduler";
inline constexpr std::uint32_t WM_IEPG_RECORD = 0x80CA;
inline constexpr int kSchedulerPolls = 20;
inline constexpr std::chrono::milliseconds kSchedulerPollInterval{100};

// Message box texts.
inline constexpr char kUsageText[] = "/R: Register TeskiEPG.";
inline constexpr char kNoExecutablePathText[] = "Can't get local directory";
inline constexpr char kRegistrationFailedText[] = "Register TitanTV extension file type fail!";

}  // namespace quorvane::iepg
