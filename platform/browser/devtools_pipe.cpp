#include "platform/browser/devtools_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/kernel/debug_output.h"

extern char** environ;

namespace platform::browser {
namespace {

constexpr std::chrono::seconds kCloseGrace{3};

std::string Dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A descriptor above the ones the child is given, so that placing them cannot clash.
int HighCopy(int descriptor) { return fcntl(descriptor, F_DUPFD_CLOEXEC, 10); }

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

std::vector<std::string> ArgumentsFor(const LaunchOptions& options) {
  std::vector<std::string> arguments{options.program.string(), "--remote-debugging-pipe",
                                     "--user-data-dir=" + options.profile.string(), "--no-first-run",
                                     "--no-default-browser-check"};
  if (options.headless) {
    // Pages of other sites in frames run in processes of their own, as on a desktop.
    arguments.insert(arguments.end(),
                     {"--headless", "--disable-gpu", "--disable-background-networking", "--site-per-process"});
  }
  // Chromium's sandbox refuses to run for the superuser.
  if (geteuid() == 0) arguments.push_back("--no-sandbox");
  arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
  return arguments;
}

}  // namespace

void LogBrowserFault(const std::string& text) { OutputDebugStringA(("browser: " + text).c_str()); }

std::optional<ProtocolMessage> ReadProtocolMessage(std::string_view text) {
  Json parsed = Json::parse(text, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  ProtocolMessage message;
  if (auto session = parsed.find("sessionId"); session != parsed.end()) {
    if (!session->is_string()) return std::nullopt;
    message.sessionId = session->get<std::string>();
  }
  if (auto id = parsed.find("id"); id != parsed.end()) {
    if (!id->is_number_integer()) return std::nullopt;
    message.id = id->get<std::int64_t>();
    if (auto error = parsed.find("error"); error != parsed.end()) {
      auto text = error->is_object() ? error->find("message") : error->end();
      message.error = text != error->end() && text->is_string() ? text->get<std::string>() : Dump(*error);
      if (message.error.empty()) message.error = "error";
      return message;
    }
    auto result = parsed.find("result");
    message.result = result != parsed.end() && result->is_object() ? std::move(*result) : Json::object();
    return message;
  }
  auto method = parsed.find("method");
  if (method == parsed.end() || !method->is_string()) return std::nullopt;
  message.method = method->get<std::string>();
  auto params = parsed.find("params");
  message.params = params != parsed.end() && params->is_object() ? std::move(*params) : Json::object();
  return message;
}

void ProtocolReader::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\0');
    std::string_view piece = bytes.substr(0, end);
    if (!skipping_) {
      if (partial_.size() + piece.size() > limit_) {
        partial_.clear();
        skipping_ = true;
        ++dropped_;
      } else {
        partial_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    if (!skipping_) {
      std::optional<ProtocolMessage> message = ReadProtocolMessage(partial_);
      if (message) {
        complete_.push_back(std::move(*message));
      } else {
        ++dropped_;
      }
    }
    partial_.clear();
    skipping_ = false;
    bytes.remove_prefix(end + 1);
  }
}

std::vector<ProtocolMessage> ProtocolReader::Take() { return std::exchange(complete_, {}); }

DevToolsPipe::DevToolsPipe(const LaunchOptions& options, EventHandler onEvent, std::function<void()> onEnd)
    : limit_(options.messageLimit),
      timeout_(options.callTimeout),
      on_event_(std::move(onEvent)),
      on_end_(std::move(onEnd)) {}

std::unique_ptr<DevToolsPipe> DevToolsPipe::Launch(const LaunchOptions& options, EventHandler onEvent,
                                                   std::function<void()> onEnd) {
  std::unique_ptr<DevToolsPipe> pipe(new DevToolsPipe(options, std::move(onEvent), std::move(onEnd)));
  if (!pipe->Start(options)) return nullptr;
  return pipe;
}

bool DevToolsPipe::Start(const LaunchOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.profile, error);
  if (error || chmod(options.profile.c_str(), 0700) != 0) {
    LogBrowserFault("cannot make the profile folder " + options.profile.string());
    return false;
  }
  // Stream sockets rather than pipes: a write to a browser that has gone then fails
  // with an error instead of a signal.
  int commands[2];
  int replies[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commands) != 0) return false;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, replies) != 0) {
    close(commands[0]);
    close(commands[1]);
    return false;
  }
  int childCommands = HighCopy(commands[1]);
  int childReplies = HighCopy(replies[1]);
  close(commands[1]);
  close(replies[1]);
  to_browser_ = commands[0];
  from_browser_ = replies[0];

  std::vector<std::string> arguments = ArgumentsFor(options);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childCommands, 3);
  posix_spawn_file_actions_adddup2(&actions, childReplies, 4);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  // A group of its own, so that ending it ends its helper processes too.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  int failed = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(childCommands);
  close(childReplies);
  if (failed != 0) {
    pid_ = -1;
    LogBrowserFault("cannot start " + options.program.string() + ": " + std::strerror(failed));
    CloseDescriptor(to_browser_);
    CloseDescriptor(from_browser_);
    return false;
  }
  alive_ = true;
  reader_ = std::thread([this] { ReaderMain(); });
  return true;
}

DevToolsPipe::~DevToolsPipe() { Close(); }

bool DevToolsPipe::Alive() const {
  std::lock_guard guard(lock_);
  return alive_;
}

std::optional<std::int64_t> DevToolsPipe::Write(const std::string& method, const Json& params,
                                                 const std::string& sessionId, std::shared_ptr<Pending> pending) {
  std::int64_t id = 0;
  {
    std::lock_guard guard(lock_);
    if (!alive_ || (!sessionId.empty() && closed_sessions_.count(sessionId))) return std::nullopt;
    id = next_id_++;
    if (pending) pending_[id] = std::move(pending);
  }
  Json command{{"id", id}, {"method", method}, {"params", params}};
  if (!sessionId.empty()) command["sessionId"] = sessionId;
  std::string text = Dump(command);
  text.push_back('\0');
  std::lock_guard guard(write_lock_);
  for (std::size_t sent = 0; sent < text.size();) {
    ssize_t wrote = send(to_browser_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      LogBrowserFault("cannot send " + method + ": the browser has gone");
      std::lock_guard stateGuard(lock_);
      pending_.erase(id);
      return std::nullopt;
    }
    sent += static_cast<std::size_t>(wrote);
  }
  return id;
}

std::optional<Json> DevToolsPipe::Call(const std::string& method, const Json& params, const std::string& sessionId) {
  auto pending = std::make_shared<Pending>();
  pending->sessionId = sessionId;
  std::optional<std::int64_t> id = Write(method, params, sessionId, pending);
  if (!id) return std::nullopt;
  std::unique_lock guard(lock_);
  if (!replied_.wait_for(guard, timeout_, [&] { return pending->done; })) {
    pending_.erase(*id);
    guard.unlock();
    LogBrowserFault(method + " had no answer in time");
    return std::nullopt;
  }
  return std::move(pending->result);
}

bool DevToolsPipe::Send(const std::string& method, const Json& params, const std::string& sessionId) {
  return Write(method, params, sessionId, nullptr).has_value();
}

void DevToolsPipe::FailSession(const std::string& sessionId) {
  {
    std::lock_guard guard(lock_);
    closed_sessions_.insert(sessionId);
    std::erase_if(pending_, [&](const auto& each) {
      if (each.second->sessionId != sessionId) return false;
      each.second->done = true;
      return true;
    });
  }
  replied_.notify_all();
}

void DevToolsPipe::ReaderMain() {
  ProtocolReader reader(limit_);
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t got = read(from_browser_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::size_t droppedBefore = reader.Dropped();
    reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    if (reader.Dropped() != droppedBefore) LogBrowserFault("a message that cannot be read was dropped");
    for (ProtocolMessage& message : reader.Take()) Deliver(message);
  }
  Ended();
}

void DevToolsPipe::Deliver(ProtocolMessage& message) {
  if (!message.id) {
    if (on_event_) on_event_(message);
    return;
  }
  if (!message.error.empty()) LogBrowserFault("command " + std::to_string(*message.id) + " failed: " + message.error);
  std::lock_guard guard(lock_);
  auto found = pending_.find(*message.id);
  if (found == pending_.end()) return;
  found->second->done = true;
  if (message.error.empty()) found->second->result = std::move(message.result);
  pending_.erase(found);
  replied_.notify_all();
}

void DevToolsPipe::Ended() {
  {
    std::lock_guard guard(lock_);
    alive_ = false;
    for (auto& [id, pending] : pending_) pending->done = true;
    pending_.clear();
  }
  replied_.notify_all();
  LogBrowserFault("the browser has ended");
  if (on_end_) on_end_();
}

void DevToolsPipe::Close() {
  if (pid_ <= 0) return;
  if (Alive()) {
    Send("Browser.close");
    std::unique_lock guard(lock_);
    replied_.wait_for(guard, kCloseGrace, [this] { return !alive_; });
  }
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  if (reader_.joinable()) reader_.join();
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  CloseDescriptor(to_browser_);
  CloseDescriptor(from_browser_);
}

}  // namespace platform::browser
