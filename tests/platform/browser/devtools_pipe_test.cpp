#include "platform/browser/devtools_pipe.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>

#include "platform/browser/chromium_browser.h"

namespace {

using platform::browser::DevToolsPipe;
using platform::browser::Json;
using platform::browser::ProtocolMessage;
using platform::browser::ProtocolReader;

std::string Framed(std::initializer_list<std::string> texts) {
  std::string bytes;
  for (const std::string& text : texts) {
    bytes += text;
    bytes.push_back('\0');
  }
  return bytes;
}

TEST(ProtocolReaderTest, CutsMessagesWhereverTheBytesBreak) {
  std::string bytes = Framed({R"({"id":1,"result":{"a":1}})", R"({"method":"Page.loadEventFired","params":{}})",
                              R"({"id":2,"error":{"code":-32000,"message":"No target"},"sessionId":"S"})"});
  for (std::size_t step : {std::size_t{1}, std::size_t{7}, bytes.size()}) {
    ProtocolReader reader(1024);
    for (std::size_t at = 0; at < bytes.size(); at += step) reader.Feed(std::string_view(bytes).substr(at, step));
    std::vector<ProtocolMessage> messages = reader.Take();
    ASSERT_EQ(messages.size(), 3u) << "step " << step;
    EXPECT_EQ(messages[0].id, 1);
    EXPECT_EQ(messages[0].result["a"], 1);
    EXPECT_FALSE(messages[1].id);
    EXPECT_EQ(messages[1].method, "Page.loadEventFired");
    EXPECT_EQ(messages[2].error, "No target");
    EXPECT_EQ(messages[2].sessionId, "S");
    EXPECT_EQ(reader.Dropped(), 0u);
  }
}

TEST(ProtocolReaderTest, DropsWhatIsNoMessageAndReadsOn) {
  const std::string good = R"({"method":"Target.targetCreated","params":{"targetInfo":{}}})";
  for (const std::string& bad : {std::string("not json"), std::string("[1,2]"), std::string(R"({"id":"1"})"),
                                std::string(R"({"params":{}})"), std::string(R"({"method":5})"),
                                std::string(R"({"id":1,"sessionId":7})"), std::string("{\"method\":\"a\xff\"}"),
                                std::string(), std::string(300, '['), std::string(R"({"id":1,"result":)")}) {
    ProtocolReader reader(256);
    reader.Feed(Framed({bad, good}));
    std::vector<ProtocolMessage> messages = reader.Take();
    ASSERT_EQ(messages.size(), 1u) << bad;
    EXPECT_EQ(messages[0].method, "Target.targetCreated");
    EXPECT_EQ(reader.Dropped(), 1u) << bad;
  }
}

TEST(ProtocolReaderTest, AnOversizedMessageIsSkippedWholeEvenAcrossFeeds) {
  ProtocolReader reader(64);
  reader.Feed(R"({"method":"Big","params":{"text":")" + std::string(50, 'x'));
  reader.Feed(std::string(500, 'x') + "\"}}");
  reader.Feed(Framed({"", R"({"id":9,"result":{}})"}));
  std::vector<ProtocolMessage> messages = reader.Take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, 9);
  EXPECT_EQ(reader.Dropped(), 1u);
}

class DevToolsPipeTest : public ::testing::Test {
 protected:
  std::unique_ptr<DevToolsPipe> Launch(std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
    platform::browser::LaunchOptions options = platform::browser::ChromiumBrowser::Options(false);
    options.callTimeout = timeout;
    auto pipe = DevToolsPipe::Launch(
        options,
        [this](const ProtocolMessage& event) {
          std::lock_guard guard(lock_);
          events_.push_back(event.method);
        },
        [this] { ended_ = true; });
    EXPECT_TRUE(pipe);
    return pipe;
  }
  bool SawEvent(const std::string& method) {
    std::lock_guard guard(lock_);
    return std::find(events_.begin(), events_.end(), method) != events_.end();
  }
  // A page target with a session attached to it. A short call timeout bounds these
  // calls too, and a browser just started on a loaded machine can answer them late:
  // they are tried again (a target made late is only one more blank page).
  static std::string PageSession(DevToolsPipe& pipe) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::optional<Json> target = pipe.Call("Target.createTarget", {{"url", "about:blank"}});
      if (!target) continue;
      std::optional<Json> attached =
          pipe.Call("Target.attachToTarget", {{"targetId", (*target)["targetId"]}, {"flatten", true}});
      if (attached) return (*attached)["sessionId"].get<std::string>();
    }
    ADD_FAILURE() << "the browser made no page session";
    return {};
  }

  std::mutex lock_;
  std::vector<std::string> events_;
  std::atomic<bool> ended_{false};
};

TEST_F(DevToolsPipeTest, CommandsAnswerAndEventsArriveOverThePipe) {
  auto pipe = Launch();
  ASSERT_TRUE(pipe);
  std::optional<Json> version = pipe->Call("Browser.getVersion");
  ASSERT_TRUE(version);
  EXPECT_NE((*version)["product"].get<std::string>().find("Chrome"), std::string::npos);
  struct stat profile{};
  ASSERT_EQ(stat(platform::browser::ChromiumBrowser::Options(false).profile.c_str(), &profile), 0);
  EXPECT_EQ(profile.st_mode & 0777, 0700u);

  ASSERT_TRUE(pipe->Call("Target.setDiscoverTargets", {{"discover", true}}));
  std::string session = PageSession(*pipe);
  std::optional<Json> answer = pipe->Call(
      "Runtime.evaluate", {{"expression", "'\\u00e9' + String(6 * 7)"}, {"returnByValue", true}}, session);
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)["result"]["value"], "\u00e942");
  EXPECT_TRUE(SawEvent("Target.targetCreated"));

  // An error reply and an unknown session answer nothing, and the pipe goes on.
  EXPECT_FALSE(pipe->Call("No.suchMethod"));
  EXPECT_FALSE(pipe->Call("Runtime.evaluate", {{"expression", "1"}}, "no-such-session"));
  EXPECT_TRUE(pipe->Call("Browser.getVersion"));
  pipe->Close();
  EXPECT_FALSE(pipe->Alive());
  EXPECT_FALSE(pipe->Call("Browser.getVersion"));
}

TEST_F(DevToolsPipeTest, ACallWithoutAnswerTimesOutAndTheNextOneWorks) {
  auto pipe = Launch(std::chrono::milliseconds(700));
  ASSERT_TRUE(pipe);
  std::string session = PageSession(*pipe);
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pipe->Call("Runtime.evaluate", {{"expression", "new Promise(() => {})"}, {"awaitPromise", true}},
                          session));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(700));
  EXPECT_TRUE(pipe->Call("Browser.getVersion"));
}

TEST_F(DevToolsPipeTest, ABrowserThatDiesFailsTheWaitingCallAndEveryLaterOne) {
  auto pipe = Launch();
  ASSERT_TRUE(pipe);
  std::string session = PageSession(*pipe);
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pipe->ProcessId(), SIGKILL);
  });
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pipe->Call("Runtime.evaluate", {{"expression", "new Promise(() => {})"}, {"awaitPromise", true}},
                          session));
  killer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  for (int i = 0; i < 500 && !ended_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(ended_);
  EXPECT_FALSE(pipe->Alive());
  EXPECT_FALSE(pipe->Call("Browser.getVersion"));
  EXPECT_FALSE(pipe->Send("Browser.getVersion"));
}

TEST(DevToolsPipeStartTest, AProgramThatIsNotThereGivesNoPipe) {
  platform::browser::LaunchOptions options = platform::browser::ChromiumBrowser::Options(false);
  options.program = "/nonexistent/chromium";
  EXPECT_FALSE(DevToolsPipe::Launch(options, {}));
}

}  // namespace
