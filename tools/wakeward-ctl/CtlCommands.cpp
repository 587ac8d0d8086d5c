#include "tools/wakeward-ctl/CtlCommands.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "interface/client/ScheduleErrorText.h"
#include "interface/client/ScheduleProgramClient.h"
#include "platform/loop/EventLoop.h"
#include "tools/wakeward-ctl/CtlParse.h"
#include "tools/wakeward-ctl/Json.h"

namespace quorvane::ctl {

namespace automation = quorvane::automation;
using automation::ScheduleProgramClient;

namespace {

constexpr char kUsage[] =
    "usage: wakeward-ctl [--json] [--system|--session] COMMAND ...\n"
    "  list                         the schedules\n"
    "  show ID                      one schedule\n"
    "  add OPTIONS                  a new schedule\n"
    "  update ID OPTIONS            changes a schedule\n"
    "  delete ID                    removes a schedule\n"
    "  wakeup SECONDS               wakes the PC that many seconds from now\n"
    "  sleep-time get | set CATEGORY SECONDS | cancel\n"
    "  events                       prints the service's events until interrupted\n"
    "schedule options:\n"
    "  --description TEXT  --channel MAJOR[.MINOR]  --start \"YYYY-MM-DD HH:MM\"  --minutes N\n"
    "  --once | --daily | --weekly mon,tue,...  --device NAME  --input N  --folder PATH\n"
    "  --after standby|hibernate|logoff|shutdown|close-ap|none  --id ID  --enable 0|1\n";

struct Settings {
  bool json = false;
  automation::BusChoice bus = automation::BusChoice::kAuto;
};

int Usage(const std::string& problem) {
  if (!problem.empty()) std::cerr << "wakeward-ctl: " << problem << "\n";
  std::cerr << kUsage;
  return 2;
}

int TransportFailure(const platform::Error& error) {
  std::cerr << "wakeward-ctl: " << error.message << "\n";
  return 1;
}

// The failure line: the error word, nErr and the English text.
int ServiceFailure(automation::HRESULT hr, std::int32_t nErr, const std::string& what) {
  const automation::ScheduleErrorText text = automation::ErrorTextOf(nErr);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  std::string word = text.word.empty() ? std::string(hr == platform::E_INVALIDARG ? "E_INVALIDARG" : "E_FAIL")
                                       : std::string(text.word);
  std::string english = text.english.empty() ? what : std::string(text.english);
  std::cerr << "wakeward-ctl: " << word << " nErr " << nErr << " (hr " << code << "): " << english << "\n";
  return 1;
}

std::string Channel(const wire::SCHEDULE_PROGRAM_BOX& box) {
  std::string channel = wire::GetText(box.szMajorCh);
  const std::string minor = wire::GetText(box.szMinorCh);
  if (!minor.empty()) channel += "." + minor;
  return channel;
}

std::string BoxJson(const wire::SCHEDULE_PROGRAM_BOX& box) {
  std::string days = "[";
  for (std::size_t i = 0; i < 7; ++i) days += (i ? "," : "") + std::to_string(box.dayOfWeeks[i]);
  days += "]";
  JsonObject object;
  object.Add("id", wire::GetText(box.ID))
      .Add("description", wire::GetText(box.description))
      .Add("enable", std::int64_t{box.enable})
      .Add("action", std::int64_t{box.action})
      .Add("after", ActionName(box.eAction))
      .Add("eAction", std::int64_t{box.eAction})
      .Add("error", wire::GetText(box.error))
      .Add("device", wire::GetText(box.device))
      .Add("input", std::int64_t{box.insource})
      .Add("channel", Channel(box))
      .Add("interval", IntervalName(box.interval))
      .AddRaw("days", days)
      .Add("start", FormatDateTime(box.dtime))
      .Add("end", FormatDateTime(box.enddtime))
      .Add("minutes", std::int64_t{box.timelen})
      .Add("folder", wire::GetText(box.recpath))
      .Add("apPath", wire::GetText(box.szAPPath))
      .Add("recordStatus", std::int64_t{box.nRecordStatus});
  return object.str();
}

void PrintBoxLine(const wire::SCHEDULE_PROGRAM_BOX& box) {
  std::string when = std::string(IntervalName(box.interval));
  if (box.interval == wire::WEEKLY) when += " " + FormatDays(box.dayOfWeeks);
  std::cout << wire::GetText(box.ID) << "  " << FormatDateTime(box.dtime) << "  " << box.timelen << " min  " << when
            << "  ch " << Channel(box) << "  " << (box.enable ? "" : "(disabled)  ") << wire::GetText(box.description)
            << "\n";
}

void PrintBoxDetails(const wire::SCHEDULE_PROGRAM_BOX& box) {
  std::cout << "ID:          " << wire::GetText(box.ID) << "\n"
            << "Description: " << wire::GetText(box.description) << "\n"
            << "Enabled:     " << box.enable << "\n"
            << "Channel:     " << Channel(box) << "\n"
            << "Device:      " << wire::GetText(box.device) << " (input " << box.insource << ")\n"
            << "Start:       " << FormatDateTime(box.dtime) << "\n"
            << "End:         " << FormatDateTime(box.enddtime) << "\n"
            << "Minutes:     " << box.timelen << "\n"
            << "Repeat:      " << IntervalName(box.interval)
            << (box.interval == wire::WEEKLY ? " " + FormatDays(box.dayOfWeeks) : std::string()) << "\n"
            << "Folder:      " << wire::GetText(box.recpath) << "\n"
            << "After:       " << ActionName(box.eAction) << "\n"
            << "Status:      " << box.nRecordStatus << "\n"
            << "Error:       " << wire::GetText(box.error) << "\n";
}

int PrintOk(const Settings& settings, const std::string& what) {
  if (settings.json) {
    std::cout << JsonObject().Add("ok", true).str() << "\n";
  } else if (!what.empty()) {
    std::cout << what << "\n";
  }
  return 0;
}

int List(ScheduleProgramClient& client, const Settings& settings) {
  auto count = client.GetScheduleProgramNum();
  if (!count) return TransportFailure(count.error());
  if (platform::Failed(count->hr)) return ServiceFailure(count->hr, 0, "the schedules cannot be read");
  std::string json = "[";
  for (std::int32_t i = 0; i < count->nNum; ++i) {
    auto reply = client.GetScheduleProgramEx2(i);
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr) || !reply->box) continue;  // the list changed meanwhile
    if (settings.json) {
      json += (json.size() > 1 ? "," : "") + BoxJson(*reply->box);
    } else {
      PrintBoxLine(*reply->box);
    }
  }
  if (settings.json) std::cout << json << "]\n";
  return 0;
}

int Show(ScheduleProgramClient& client, const Settings& settings, const std::string& id) {
  auto reply = client.GetScheduleProgram2(id);
  if (!reply) return TransportFailure(reply.error());
  if (platform::Failed(reply->hr) || !reply->box) return ServiceFailure(reply->hr, 1, "no schedule " + id);
  if (settings.json) {
    std::cout << BoxJson(*reply->box) << "\n";
  } else {
    PrintBoxDetails(*reply->box);
  }
  return 0;
}

int AddOrUpdate(ScheduleProgramClient& client, const Settings& settings, std::optional<std::string> id,
                const std::vector<std::string>& optionWords) {
  auto options = ParseScheduleOptions(optionWords);
  if (!options) return Usage(options.error().message);
  wire::SCHEDULE_PROGRAM_BOX box = NewScheduleBox();
  if (id) {
    options->id = *id;
    auto current = client.GetScheduleProgram2(*id);
    if (!current) return TransportFailure(current.error());
    if (platform::Succeeded(current->hr) && current->box) box = *current->box;
  } else if (!options->id) {
    options->id = NewScheduleId();
  }
  if (platform::Status applied = ApplyScheduleOptions(*options, box); !applied) return Usage(applied.error().message);
  auto reply = id ? client.UpdateScheduleProgram2(box, true) : client.AddScheduleProgram2(box);
  if (!reply) return TransportFailure(reply.error());
  if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, reply->nErr, "the schedule was not stored");
  const std::string scheduleId = wire::GetText(box.ID);
  if (settings.json) {
    std::cout << JsonObject().Add("ok", true).Add("id", scheduleId).Add("nErr", std::int64_t{reply->nErr}).str()
              << "\n";
  } else {
    std::cout << (id ? "updated " : "added ") << scheduleId << "\n";
  }
  return 0;
}

class EventPrinter final : public automation::ScheduleProgramEvents {
 public:
  EventPrinter(const Settings& settings, platform::EventLoop& loop) : settings_(settings), loop_(loop) {}
  void OnActiveSchedule2(const wire::SCHEDULE_PROGRAM_BOX& box) override {
    if (settings_.json) {
      Line(JsonObject().Add("event", "OnActiveSchedule2").AddRaw("schedule", BoxJson(box)).str());
    } else {
      Line("OnActiveSchedule2 " + wire::GetText(box.ID) + " " + wire::GetText(box.description));
    }
  }
  void OnStopSchedule() override { Simple("OnStopSchedule"); }
  void OnInvokeCloseAP() override { Simple("OnInvokeCloseAP"); }
  void OnInVokeRemainTime(std::int32_t category, std::int32_t seconds) override {
    if (settings_.json) {
      Line(JsonObject()
               .Add("event", "OnInVokeRemainTime")
               .Add("lCategory", std::int64_t{category})
               .Add("lTime", std::int64_t{seconds})
               .str());
    } else {
      Line("OnInVokeRemainTime " + std::to_string(category) + " " + std::to_string(seconds));
    }
  }
  void OnDisconnected() override {
    gone = true;
    loop_.Quit(1);
  }
  bool gone = false;

 private:
  void Simple(const char* name) { Line(settings_.json ? JsonObject().Add("event", name).str() : std::string(name)); }
  void Line(const std::string& text) { std::cout << text << std::endl; }
  const Settings& settings_;
  platform::EventLoop& loop_;
};

int Events(ScheduleProgramClient& client, const Settings& settings) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  auto loop = platform::EventLoop::Create();
  if (!loop) return TransportFailure(loop.error());
  EventPrinter printer(settings, **loop);
  client.Advise(&printer);
  // Events reach the clients that hold the "AP" and "Quick" roles.
  auto ap = client.Initialize();
  if (!ap) return TransportFailure(ap.error());
  auto quick = client.InitializeQuick();
  if (!quick) return TransportFailure(quick.error());
  if (platform::Failed(ap->hr) || platform::Failed(quick->hr)) {
    return ServiceFailure(platform::E_FAIL, 0, "the service does not hand out its events");
  }
  if (signalFd >= 0) {
    (void)(*loop)->WatchFd(signalFd, POLLIN, [&](short) { (*loop)->Quit(0); });
  }
  if (platform::Status attached = client.AttachTo(**loop); !attached) return TransportFailure(attached.error());
  if (!settings.json) std::cerr << "wakeward-ctl: waiting for events (Ctrl+C ends)\n";
  auto code = (*loop)->Run();
  client.Detach();
  if (signalFd >= 0) ::close(signalFd);
  if (printer.gone) {
    std::cerr << "wakeward-ctl: the service has gone\n";
    return 1;
  }
  if (client.IsConnected()) {
    (void)client.Uninitialize();
    (void)client.UninitialQuick();
  }
  return code ? *code : 1;
}

int SleepTime(ScheduleProgramClient& client, const Settings& settings, const std::vector<std::string>& words) {
  if (words.empty()) return Usage("sleep-time needs get, set or cancel");
  if (words[0] == "get" && words.size() == 1) {
    auto reply = client.GetSleepTime();
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, 0, "the sleep time cannot be read");
    if (settings.json) {
      std::cout << JsonObject()
                       .Add("lCategory", std::int64_t{reply->lCategory})
                       .Add("category", ActionName(reply->lCategory))
                       .Add("lTime", std::int64_t{reply->lTime})
                       .str()
                << "\n";
    } else if (reply->lTime == 0) {
      std::cout << "no after-record action pending\n";
    } else {
      std::cout << ActionName(reply->lCategory) << " in " << reply->lTime << " s\n";
    }
    return 0;
  }
  if (words[0] == "set" && words.size() == 3) {
    auto category = ParseAction(words[1]);
    if (!category) return Usage(category.error().message);
    auto seconds = ParseInt(words[2], "seconds");
    if (!seconds) return Usage(seconds.error().message);
    auto reply = client.SetSleepTime(*category, *seconds);
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, 0, "the sleep time was not set");
    return PrintOk(settings, std::string(ActionName(*category)) + " in " + words[2] + " s");
  }
  if (words[0] == "cancel" && words.size() == 1) {
    auto reply = client.CancelSleepTime();
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, 0, "the sleep time was not cancelled");
    return PrintOk(settings, "cancelled");
  }
  return Usage("sleep-time get | set CATEGORY SECONDS | cancel");
}

}  // namespace

int RunCtl(const std::vector<std::string>& arguments) {
  Settings settings;
  std::vector<std::string> words;
  for (const std::string& argument : arguments) {
    if (argument == "--json") {
      settings.json = true;
    } else if (argument == "--system") {
      settings.bus = automation::BusChoice::kSystem;
    } else if (argument == "--session") {
      settings.bus = automation::BusChoice::kSession;
    } else if (argument == "-h" || argument == "--help") {
      std::cout << kUsage;
      return 0;
    } else {
      words.push_back(argument);
    }
  }
  if (words.empty()) return Usage("");
  const std::string command = words[0];
  const std::vector<std::string> rest(words.begin() + 1, words.end());

  const bool known = command == "list" || command == "show" || command == "add" || command == "update" ||
                     command == "delete" || command == "wakeup" || command == "sleep-time" || command == "events";
  if (!known) return Usage("unknown command " + command);
  if ((command == "show" || command == "delete") && rest.size() != 1) return Usage(command + " needs an ID");
  if (command == "update" && rest.empty()) return Usage("update needs an ID");
  if (command == "wakeup" && rest.size() != 1) return Usage("wakeup needs SECONDS");
  std::optional<std::int32_t> wakeSeconds;
  if (command == "wakeup") {
    auto seconds = ParseInt(rest[0], "seconds");
    if (!seconds) return Usage(seconds.error().message);
    wakeSeconds = *seconds;
  }

  automation::ClientOptions options;
  options.bus = settings.bus;
  auto client = ScheduleProgramClient::Connect(options);
  if (!client) return TransportFailure(client.error());
  ScheduleProgramClient& service = **client;

  if (command == "list") return List(service, settings);
  if (command == "show") return Show(service, settings, rest[0]);
  if (command == "add") return AddOrUpdate(service, settings, std::nullopt, rest);
  if (command == "update") return AddOrUpdate(service, settings, rest[0], {rest.begin() + 1, rest.end()});
  if (command == "delete") {
    auto reply = service.DelScheduleProgram(rest[0]);
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, 1, "no schedule " + rest[0]);
    return PrintOk(settings, "deleted " + rest[0]);
  }
  if (command == "wakeup") {
    auto reply = service.SetWakeUp(*wakeSeconds);
    if (!reply) return TransportFailure(reply.error());
    if (platform::Failed(reply->hr)) return ServiceFailure(reply->hr, 0, "no wake-up was set (less than a minute?)");
    return PrintOk(settings, "wake-up set");
  }
  if (command == "sleep-time") return SleepTime(service, settings, rest);
  return Events(service, settings);
}

}  // namespace quorvane::ctl
