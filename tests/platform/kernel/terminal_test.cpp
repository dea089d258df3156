#include "platform/kernel/terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>

#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/text.h"

namespace {

namespace terminal = platform::terminal;

const std::vector<terminal::Choice> kYesNo = {{'Y', u"Yes", 6}, {'N', u"No", 7}};

bool EchoOn() {
  termios settings{};
  return tcgetattr(STDIN_FILENO, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// Exit code: the chosen id.
const bool kChoose = pellix_test::RegisterChildRole("choose", [](const std::vector<std::string>&) {
  return terminal::Choose(u"Pellix - Backup", u"Go on?", kYesNo);
});

// args: the secret expected. Exit code 0 when it came and echo is on again, 1 when
// another came, 2 when cancelled, 3 when echo stayed off.
const bool kSecret = pellix_test::RegisterChildRole("secret", [](const std::vector<std::string>& args) {
  std::u16string secret;
  const bool given = terminal::ReadSecret(u"Pellix - Enter Password", u"Unlock it.", u"Password:", secret);
  if (!EchoOn()) return 3;
  if (!given) return 2;
  return secret == platform::Utf8ToWide(args.at(0)) ? 0 : 1;
});

struct Conversation {
  std::vector<std::string> command;
  int master = -1;
  int pid = -1;
  std::string seen;

  explicit Conversation(std::vector<std::string> command) : command(std::move(command)) {
    pid = pellix_test::StartOnTerminal(this->command, master);
  }
  ~Conversation() {
    if (master >= 0) close(master);
  }
  // Waits for the prompt, then types the line.
  bool Answer(const std::string& prompt, const std::string& line) {
    return pellix_test::ReadUntil(master, prompt, seen) && write(master, line.data(), line.size()) == ssize_t(line.size());
  }
};

TEST(Terminal, WithoutATerminalNothingIsAsked) {
  // A test program's standard input is /dev/null.
  std::u16string secret = u"left over";
  EXPECT_FALSE(terminal::Available());
  EXPECT_FALSE(terminal::Show(u"Caption", u"Text"));
  EXPECT_EQ(terminal::Choose(u"Caption", u"Text", kYesNo), 0);
  EXPECT_FALSE(terminal::ReadSecret(u"Caption", u"Text", u"Password:", secret));
  EXPECT_TRUE(secret.empty());
}

// The question shows its caption, text and keys, asks again after an answer that is
// no choice, takes a key or a whole label in any case, and ends with the input.
TEST(Terminal, AChoiceIsMadeByKeyOrLabel) {
  struct Case {
    std::vector<std::string> lines;
    int chosen;
  };
  const Case cases[] = {
      {{"n\n"}, 7},
      {{"  YES \n"}, 6},
      {{"maybe\n", "\n", "y\n"}, 6},
      {{"\x04"}, 0},
  };
  for (const Case& c : cases) {
    Conversation talk(pellix_test::RoleCommand("choose"));
    for (const std::string& line : c.lines) ASSERT_TRUE(talk.Answer("[Y]es / [N]o? ", line)) << talk.seen;
    EXPECT_EQ(pellix_test::WaitChild(talk.pid), c.chosen) << talk.seen;
    EXPECT_NE(talk.seen.find("Pellix - Backup\r\nGo on?\r\n"), std::string::npos) << talk.seen;
  }
}

TEST(Terminal, ASecretIsReadWithoutEchoAndEchoComesBack) {
  struct Case {
    std::string line;
    int exitCode;
  };
  const Case cases[] = {{"s3cret w\xC3\xB6rd\n", 0}, {"\n", 2}, {"\x04", 2}};
  for (const Case& c : cases) {
    Conversation talk(pellix_test::RoleCommand("secret", {"s3cret w\xC3\xB6rd"}));
    ASSERT_TRUE(talk.Answer("Password: ", c.line)) << talk.seen;
    EXPECT_EQ(pellix_test::WaitChild(talk.pid), c.exitCode) << talk.seen;
    std::string rest;
    pellix_test::ReadUntil(talk.master, "never written", rest);
    EXPECT_EQ((talk.seen + rest).find("s3cret"), std::string::npos) << talk.seen + rest;
  }
}

// A program ended while it waits for the secret leaves the terminal echoing.
TEST(Terminal, EchoComesBackWhenASignalEndsTheProgram) {
  Conversation talk(pellix_test::RoleCommand("secret", {"x"}));
  ASSERT_TRUE(pellix_test::ReadUntil(talk.master, "Password: ", talk.seen)) << talk.seen;
  // The terminal's own end stays open here, so its settings outlive the program.
  const int slave = open(ptsname(talk.master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(slave, &settings), 0);
  EXPECT_EQ(settings.c_lflag & ECHO, 0u) << "echo is off while the secret is typed";
  kill(talk.pid, SIGTERM);
  EXPECT_EQ(pellix_test::WaitChild(talk.pid), 128 + SIGTERM);
  ASSERT_EQ(tcgetattr(slave, &settings), 0);
  EXPECT_NE(settings.c_lflag & ECHO, 0u);
  close(slave);
}

}  // namespace
