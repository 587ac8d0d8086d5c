#include "tests/support/FakeLogind.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <optional>

#include "platform/winmsg/SdBus.h"

namespace quorvane::testing {

namespace sdbus = quorvane::platform::sdbus;
using quorvane::platform::MakeError;
using quorvane::platform::Status;

struct FakeLogind::Server {
  sdbus::BusPtr bus;
  sdbus::SlotPtr vtable;
  int wakeFd = -1;

  mutable std::mutex mutex;
  std::vector<Call> calls;
  std::map<std::string, std::pair<std::string, std::string>> failures;
  std::vector<int> inhibitorEnds;  // read ends; closed by the destructor
  std::deque<std::function<void()>> tasks;
  bool quit = false;

  ~Server() {
    for (int fd : inhibitorEnds) ::close(fd);
    if (wakeFd >= 0) ::close(wakeFd);
  }

  // Records the call; answers with a configured failure when there is one.
  static bool Record(Server* self, Call record, sd_bus_error* error, int* result) {
    std::lock_guard<std::mutex> lock(self->mutex);
    const std::string method = record.method;
    self->calls.push_back(std::move(record));
    auto failure = self->failures.find(method);
    if (failure == self->failures.end()) return false;
    *result = sd_bus_error_set(error, failure->second.first.c_str(), failure->second.second.c_str());
    self->failures.erase(failure);
    return true;
  }

  static int OnBoolMethod(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    int interactive = 0;
    int r = sd_bus_message_read(call, "b", &interactive);
    if (r < 0) return r;
    int result = 0;
    if (Record(static_cast<Server*>(userdata), Call{sd_bus_message_get_member(call), {interactive ? "true" : "false"}},
               error, &result)) {
      return result;
    }
    return sd_bus_reply_method_return(call, "");
  }
  static int OnTerminateSession(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const char* id = nullptr;
    int r = sd_bus_message_read(call, "s", &id);
    if (r < 0) return r;
    int result = 0;
    if (Record(static_cast<Server*>(userdata), Call{"TerminateSession", {id}}, error, &result)) return result;
    return sd_bus_reply_method_return(call, "");
  }

  static int OnInhibit(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    auto* self = static_cast<Server*>(userdata);
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    int r = sd_bus_message_read(call, "ssss", &what, &who, &why, &mode);
    if (r < 0) return r;
    int result = 0;
    if (Record(self, Call{"Inhibit", {what, who, why, mode}}, error, &result)) return result;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
    // Kept before the answer, which lets the client go on at once.
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      self->inhibitorEnds.push_back(ends[0]);
    }
    // The reply carries a copy of the write end; ours goes right after.
    r = sd_bus_reply_method_return(call, "h", ends[1]);
    ::close(ends[1]);
    return r;
  }

  static const sd_bus_vtable* Vtable() {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Suspend", "b", "", &Server::OnBoolMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Hibernate", "b", "", &Server::OnBoolMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("PowerOff", "b", "", &Server::OnBoolMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("TerminateSession", "s", "", &Server::OnTerminateSession, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Inhibit", "ssss", "h", &Server::OnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
        SD_BUS_VTABLE_END,
    };
    return vtable;
  }

  void Serve() {
    for (;;) {
      for (;;) {
        const int r = sd_bus_process(bus.get(), nullptr);
        if (r < 0) return;
        if (r == 0) break;
      }
      std::deque<std::function<void()>> due;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (quit) return;
        due.swap(tasks);
      }
      if (!due.empty()) {
        for (auto& task : due) task();
        continue;  // tasks may have queued output
      }
      const int events = sd_bus_get_events(bus.get());
      pollfd fds[2] = {{sd_bus_get_fd(bus.get()), static_cast<short>(events < 0 ? POLLIN : events), 0},
                       {wakeFd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) {
        std::uint64_t count = 0;
        (void)::read(wakeFd, &count, sizeof count);
      }
    }
  }

  void Wake() const {
    const std::uint64_t one = 1;
    while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
};

FakeLogind::FakeLogind(const std::string& busAddress) : server_(std::make_shared<Server>()) {
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r < 0) {
    error_ = "sd_bus_new: " + std::string(std::strerror(-r));
    return;
  }
  server_->bus.reset(bus);
  r = sd_bus_set_address(bus, busAddress.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
  if (r >= 0) r = sd_bus_start(bus);
  if (r < 0) {
    error_ = "cannot connect to " + busAddress + ": " + std::strerror(-r);
    return;
  }
  sd_bus_slot* slot = nullptr;
  r = sd_bus_add_object_vtable(bus, &slot, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                               Server::Vtable(), server_.get());
  if (r < 0) {
    error_ = "cannot serve the manager: " + std::string(std::strerror(-r));
    return;
  }
  server_->vtable.reset(slot);
  r = sd_bus_request_name(bus, "org.freedesktop.login1", 0);
  if (r < 0) {
    error_ = "cannot own org.freedesktop.login1: " + std::string(std::strerror(-r));
    return;
  }
  server_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (server_->wakeFd < 0) {
    error_ = "eventfd: " + std::string(std::strerror(errno));
    return;
  }
  thread_ = std::thread([server = server_] { server->Serve(); });
}

FakeLogind::~FakeLogind() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(server_->mutex);
      server_->quit = true;
    }
    server_->Wake();
    thread_.join();
  }
  server_->vtable.reset();
  server_->bus.reset();
}

std::vector<FakeLogind::Call> FakeLogind::Calls() const {
  std::lock_guard<std::mutex> lock(server_->mutex);
  return server_->calls;
}

void FakeLogind::ClearCalls() {
  std::lock_guard<std::mutex> lock(server_->mutex);
  server_->calls.clear();
}

void FakeLogind::FailNext(const std::string& method, const std::string& errorName, const std::string& message) {
  std::lock_guard<std::mutex> lock(server_->mutex);
  server_->failures[method] = {errorName, message};
}

Status FakeLogind::EmitPrepareForSleep(bool start) {
  if (!thread_.joinable()) return MakeError("the fake logind is not running");
  auto done = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
  auto result = std::make_shared<std::optional<int>>();
  {
    std::lock_guard<std::mutex> queued(server_->mutex);
    server_->tasks.push_back([server = server_.get(), start, done, result] {
      int r = sd_bus_emit_signal(server->bus.get(), "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                 "PrepareForSleep", "b", static_cast<int>(start));
      if (r >= 0) r = sd_bus_flush(server->bus.get());
      std::lock_guard<std::mutex> finished(done->first);
      *result = r;
      done->second.notify_all();
    });
  }
  server_->Wake();
  std::unique_lock<std::mutex> lock(done->first);
  if (!done->second.wait_for(lock, std::chrono::seconds(10), [&] { return result->has_value(); })) {
    return MakeError("the fake logind did not emit PrepareForSleep");
  }
  if (**result < 0) return MakeError(std::string("PrepareForSleep: ") + std::strerror(-**result));
  return Status::Ok();
}

std::size_t FakeLogind::Inhibitors() const {
  std::lock_guard<std::mutex> lock(server_->mutex);
  return server_->inhibitorEnds.size();
}

bool FakeLogind::InhibitorHeld(std::size_t index) const {
  return index < Inhibitors() && !WaitInhibitorReleased(index, std::chrono::milliseconds(0));
}

bool FakeLogind::WaitInhibitorReleased(std::size_t index, std::chrono::milliseconds limit) const {
  int fd;
  {
    std::lock_guard<std::mutex> lock(server_->mutex);
    if (index >= server_->inhibitorEnds.size()) return false;
    fd = server_->inhibitorEnds[index];
  }
  // All write ends closed: the read end hangs up.
  pollfd p{fd, POLLIN, 0};
  const int r = ::poll(&p, 1, static_cast<int>(limit.count()));
  return r > 0 && (p.revents & POLLHUP) != 0;
}

}  // namespace quorvane::testing
