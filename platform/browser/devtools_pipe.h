// The DevTools protocol over a pipe: a Chromium process started with
// "--remote-debugging-pipe" reads commands on its descriptor 3 and writes replies
// and events on its descriptor 4, each message one JSON text ended by a NUL byte.
// No port is opened; only this process holds the other ends.
//
// ProtocolReader cuts the byte stream into messages and reads each (outside input:
// a message that is not JSON, has no id or method, or is longer than the limit is
// dropped). DevToolsPipe starts the browser, sends commands and waits for their
// replies, and hands events to a handler on its reader thread.
//
// Faults: a reply that does not come in time, an error reply, a message that cannot
// be read and the browser's end each make the call's answer empty and are written to
// the debug output; a browser that ended answers every later call empty at once.
//
// Threads: Call and Send may be used from any thread. The event handler runs on the
// reader thread, one event at a time, in the order the browser sent them; it must
// not wait for a reply (that would wait for itself).
//
// Ownership: the pipe owns the browser process; Close (or the destructor) ends it and
// its helper processes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform::browser {

using Json = nlohmann::json;

// One message from the browser: a reply (Id set; Result, or Error when it failed) or
// an event (Method and Params). SessionId names the target session, empty for the
// browser itself.
struct ProtocolMessage {
  std::optional<std::int64_t> id;
  std::string method;
  Json params;
  Json result;
  std::string error;
  std::string sessionId;
};

// Reads one message's text; nothing for text that is not a protocol message.
std::optional<ProtocolMessage> ReadProtocolMessage(std::string_view text);

class ProtocolReader {
 public:
  explicit ProtocolReader(std::size_t limit) : limit_(limit) {}
  // Adds bytes; Take then answers the messages they completed.
  void Feed(std::string_view bytes);
  // The messages completed so far, in order; dropped ones are counted instead.
  std::vector<ProtocolMessage> Take();
  std::size_t Dropped() const { return dropped_; }

 private:
  const std::size_t limit_;
  std::string partial_;
  bool skipping_ = false;  // the rest of an oversized message is thrown away
  std::vector<ProtocolMessage> complete_;
  std::size_t dropped_ = 0;
};

struct LaunchOptions {
  std::filesystem::path program;  // the Chromium program
  std::filesystem::path profile;  // its user data folder (made 0700)
  bool headless = true;
  std::vector<std::string> extraArguments;
  std::size_t messageLimit = 64u << 20;
  std::chrono::milliseconds callTimeout{15000};
};

class DevToolsPipe {
 public:
  using EventHandler = std::function<void(const ProtocolMessage& event)>;

  // Starts the browser; null (and a line in the debug output) when it cannot start.
  // OnEnd runs once on the reader thread when the browser has gone.
  static std::unique_ptr<DevToolsPipe> Launch(const LaunchOptions& options, EventHandler onEvent,
                                              std::function<void()> onEnd = {});
  ~DevToolsPipe();
  DevToolsPipe(const DevToolsPipe&) = delete;
  DevToolsPipe& operator=(const DevToolsPipe&) = delete;

  // Sends a command and waits for its reply: the result, or nothing on a fault.
  std::optional<Json> Call(const std::string& method, const Json& params = Json::object(),
                           const std::string& sessionId = {});
  // Sends a command without waiting; its reply is dropped. False when it was not sent.
  bool Send(const std::string& method, const Json& params = Json::object(), const std::string& sessionId = {});
  bool Alive() const;
  // The session's target has closed: calls waiting in it, and every later call or
  // command sent to it, answer empty at once.
  void FailSession(const std::string& sessionId);
  // Ends the browser (asked first, then killed) and waits for the reader thread; never
  // called from the handlers.
  void Close();
  pid_t ProcessId() const { return pid_; }

 private:
  struct Pending {
    std::string sessionId;
    bool done = false;
    std::optional<Json> result;
  };
  DevToolsPipe(const LaunchOptions& options, EventHandler onEvent, std::function<void()> onEnd);
  bool Start(const LaunchOptions& options);
  std::optional<std::int64_t> Write(const std::string& method, const Json& params, const std::string& sessionId,
                                    std::shared_ptr<Pending> pending);
  void ReaderMain();
  void Deliver(ProtocolMessage& message);
  void Ended();

  const std::size_t limit_;
  const std::chrono::milliseconds timeout_;
  EventHandler on_event_;
  std::function<void()> on_end_;
  pid_t pid_ = -1;
  int to_browser_ = -1;
  int from_browser_ = -1;
  std::thread reader_;

  std::mutex write_lock_;  // one message at a time on the way out
  mutable std::mutex lock_;
  std::condition_variable replied_;
  std::int64_t next_id_ = 1;
  std::map<std::int64_t, std::shared_ptr<Pending>> pending_;
  std::set<std::string> closed_sessions_;
  bool alive_ = false;
};

// Writes a fault of the browser connection to the debug output.
void LogBrowserFault(const std::string& text);

}  // namespace platform::browser
