// TeskIEPG: the handler the desktop starts for downloaded TitanTV files.

#include "common/settings/SettingsStore.h"
#include "iepg/ChildProcess.h"
#include "iepg/CommandLine.h"
#include "iepg/TeskIEPGApp.h"
#include "iepg/UserMessages.h"
#include "platform/clock/Clock.h"

int main(int argc, char** argv) {
  using namespace quorvane;
  SettingsStore settings;
  iepg::StderrMessages messages;
  iepg::SpawnLauncher launcher;
  iepg::CTeskIEPGApp app(settings, platform::RealClock(), messages, launcher);
  return app.InitInstance(iepg::CommandLineRemainder(argc, argv));
}
