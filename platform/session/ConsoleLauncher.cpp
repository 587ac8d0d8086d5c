#include "platform/session/ConsoleLauncher.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace quorvane::platform {

namespace {

Error ErrnoError(const std::string& what, int error) { return MakeError(what + ": " + std::strerror(error)); }

// The child is reaped when it ends; nobody waits for its result.
void ReapLater(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool IsExecutable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string RuntimeFolderOf(uid_t uid) { return "/run/user/" + std::to_string(uid); }

// The environment a fresh login of `user` starts with: its identity and
// folders, never the service's own variables. The locale is the one
// setting worth carrying over.
std::vector<std::string> UserEnvironment(const ConsoleUser& user, const std::string& shell) {
  std::vector<std::string> env;
  env.push_back("HOME=" + user.home);
  env.push_back("USER=" + user.name);
  env.push_back("LOGNAME=" + user.name);
  env.push_back("SHELL=" + (shell.empty() ? std::string("/bin/sh") : shell));
  env.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
  const std::string runtime = RuntimeFolderOf(user.uid);
  if (Exists(runtime)) {
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    if (Exists(runtime + "/bus")) env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus");
  }
  for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "TZ"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  return env;
}

Status SpawnAsSelf(const LaunchRequest& request, const std::string& folder) {
  std::vector<std::string> argv{request.program};
  argv.insert(argv.end(), request.args.begin(), request.args.end());
  std::vector<char*> args = CStrings(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int r = ::posix_spawn(&pid, request.program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) return ErrnoError("cannot start " + request.program, r);
  ReapLater(pid);
  return Status::Ok();
}

Status ForkAsUser(const ConsoleUser& user, const LaunchRequest& request, const std::string& folder) {
  // Everything the child needs is looked up here: after fork only
  // async-signal-safe calls are allowed.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(user.uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return MakeError("no account for uid " + std::to_string(user.uid));
  }
  const gid_t gid = entry.pw_gid;
  const std::string shell = entry.pw_shell != nullptr ? entry.pw_shell : "";
  int groupCount = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(groupCount));
  if (::getgrouplist(entry.pw_name, gid, groups.data(), &groupCount) < 0) {
    groups.resize(static_cast<std::size_t>(groupCount));
    if (::getgrouplist(entry.pw_name, gid, groups.data(), &groupCount) < 0) groupCount = 0;
  }
  groups.resize(static_cast<std::size_t>(groupCount));

  std::vector<std::string> argvTexts{request.program};
  argvTexts.insert(argvTexts.end(), request.args.begin(), request.args.end());
  std::vector<std::string> envTexts = UserEnvironment(user, shell);
  std::vector<char*> argv = CStrings(argvTexts);
  std::vector<char*> envp = CStrings(envTexts);
  const uid_t uid = user.uid;

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return ErrnoError("pipe", errno);
  const pid_t pid = ::fork();
  if (pid < 0) {
    const int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    return ErrnoError("fork", error);
  }
  if (pid == 0) {
    ::close(report[0]);
    int step = 0;
    if (::setgroups(groups.size(), groups.data()) != 0) step = 1;
    else if (::setresgid(gid, gid, gid) != 0) step = 2;
    else if (::setresuid(uid, uid, uid) != 0) step = 3;
    else if (!folder.empty() && ::chdir(folder.c_str()) != 0) step = 4;
    else {
      ::execve(argv[0], argv.data(), envp.data());
      step = 5;
    }
    const int failure[2] = {step, errno};
    ssize_t ignored = ::write(report[1], failure, sizeof failure);
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  int failure[2] = {0, 0};
  ssize_t got;
  while ((got = ::read(report[0], failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    static const char* const kSteps[] = {"", "setgroups", "setresgid", "setresuid", "chdir", "execve"};
    const int step = failure[0] >= 1 && failure[0] <= 5 ? failure[0] : 0;
    return ErrnoError(std::string("cannot start ") + request.program + " as " + user.name + " (" + kSteps[step] + ")",
                      failure[1]);
  }
  ReapLater(pid);
  return Status::Ok();
}

// The service manager expands "$NAME" in the command it runs; "$$" stands
// for a plain '$'.
std::string EscapeForServiceManager(const std::string& arg) {
  std::string escaped;
  for (char c : arg) {
    if (c == '$') escaped.push_back('$');
    escaped.push_back(c);
  }
  return escaped;
}

}  // namespace

std::string ProgramFolder(const std::string& program) {
  const std::size_t slash = program.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return program.substr(0, slash);
}

ConsoleSessionLauncher::ConsoleSessionLauncher(std::string systemdRun) : systemdRun_(std::move(systemdRun)) {}

ConsoleSessionLauncher::Route ConsoleSessionLauncher::LastRoute() const {
  std::lock_guard lock(mutex_);
  return lastRoute_;
}

Status ConsoleSessionLauncher::LaunchWithSystemdRun(const ConsoleUser& user, const LaunchRequest& request,
                                                    const std::string& folder) {
  std::vector<std::string> argv{systemdRun_, "--user", "--machine=" + user.name + "@.host", "--quiet", "--collect"};
  if (!folder.empty()) argv.push_back("--working-directory=" + folder);
  argv.push_back("--");
  argv.push_back(EscapeForServiceManager(request.program));
  for (const std::string& arg : request.args) argv.push_back(EscapeForServiceManager(arg));
  std::vector<char*> args = CStrings(argv);
  pid_t pid = 0;
  const int r = ::posix_spawn(&pid, systemdRun_.c_str(), nullptr, nullptr, args.data(), environ);
  if (r != 0) return ErrnoError("cannot start " + systemdRun_, r);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return ErrnoError("waitpid", errno);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return MakeError("systemd-run did not start the program");
  return Status::Ok();
}

Status ConsoleSessionLauncher::Launch(const ConsoleUser& user, const LaunchRequest& request) {
  if (request.program.empty()) return MakeError("no program to start");
  if (!IsExecutable(request.program)) return MakeError("not an executable program: " + request.program);
  const std::string folder = request.workingFolder.empty() ? ProgramFolder(request.program) : request.workingFolder;
  const auto took = [this](Route route) {
    std::lock_guard lock(mutex_);
    lastRoute_ = route;
    return Status::Ok();
  };

  if (user.uid == ::geteuid()) {
    Status spawned = SpawnAsSelf(request, folder);
    return spawned ? took(Route::kSpawn) : spawned;
  }
  if (::geteuid() != 0) {
    return MakeError("cannot start programs as uid " + std::to_string(user.uid) + " without root");
  }
  if (user.name.empty()) return MakeError("no account for uid " + std::to_string(user.uid));
  // The user's own service manager gives the program a complete session
  // environment; it runs only while the user is logged on.
  if (IsExecutable(systemdRun_) && Exists(RuntimeFolderOf(user.uid) + "/systemd/private")) {
    if (LaunchWithSystemdRun(user, request, folder)) return took(Route::kSystemdRun);
  }
  Status forked = ForkAsUser(user, request, folder);
  return forked ? took(Route::kForkAsUser) : forked;
}

}  // namespace quorvane::platform
