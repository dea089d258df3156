// A save killed at any moment loses nothing: a child process adds and saves entries
// in a loop and is killed with SIGKILL at random moments; after each kill a fresh
// load must hold every entry whose save had returned.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/form_items.h"

namespace {

std::u16string EntryUrl(int n) {
  const std::string text = "http://entry" + std::to_string(n) + "/";
  return std::u16string(text.begin(), text.end());
}

// The child's loop (a fork of the test, so that a round costs no start-up): add one
// entry, append "s N" (N entries in the list) to the progress file, save, append
// "d N" once the save returned; until killed.
[[noreturn]] void SaveLoop(const std::string& progressFile) {
  const int progress = open(progressFile.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
  THistoryItems list;
  if (progress < 0 || !list.LoadFromFile()) _exit(2);
  auto note = [&](char what) {
    const std::string line = std::string(1, what) + " " + std::to_string(list.Count()) + "\n";
    return write(progress, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  };
  for (;;) {
    auto* item = static_cast<TFormItem*>(list.Add(std::make_unique<TFormItem>(&list)));
    item->SetURL(EntryUrl(list.Count() - 1));
    if (!note('s') || !list.SaveToFile() || !note('d')) _exit(3);
  }
}

struct Progress {
  int saved = 0;         // entries of the last save that returned
  bool midSave = false;  // the last line was written before a save that did not return
  bool started = false;  // a save of this round returned
};

Progress ReadProgress(const std::string& path) {
  Progress progress;
  std::ifstream in(path);
  char what = 0;
  int count = 0;
  while (in >> what >> count) {
    progress.midSave = what == 's';
    if (what == 'd') {
      progress.saved = count;
      progress.started = true;
    }
  }
  return progress;
}

TEST(SaveKillTest, NoKilledSaveLosesAnEntryWhoseSaveHadReturned) {
  constexpr int kRounds = 200;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
  pellix_test::TempDir dir;
  DataFolder = dir.path().string() + "/";
  CreateFixedCrypt();
  std::mt19937 random(std::random_device{}());
  // A save takes a few fsyncs; a pause of up to several saves ends most rounds mid-save.
  std::uniform_int_distribution<int> pause(0, 80000);
  int midSave = 0;
  int checked = 0;
  int lost = 0;
  int rounds = 0;
  for (; rounds < kRounds && std::chrono::steady_clock::now() < deadline; ++rounds) {
    const std::string progressFile = (dir / ("progress" + std::to_string(rounds))).string();
    const pid_t child = fork();
    if (child == 0) SaveLoop(progressFile);
    ASSERT_GT(child, 0);
    // Wait until the loop has saved once (a new child is slow at first), then let it
    // save for a random while.
    while (!ReadProgress(progressFile).started && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(pellix_test::WaitChild(child), 128 + SIGKILL) << "round " << rounds;
    const Progress progress = ReadProgress(progressFile);
    midSave += progress.midSave ? 1 : 0;

    THistoryItems fresh;
    ASSERT_TRUE(fresh.LoadFromFile()) << "round " << rounds;
    std::set<std::u16string> urls;
    for (int i = 0; i < fresh.Count(); ++i) urls.insert(static_cast<TFormItem*>(fresh.Item(i))->URL());
    for (int n = 0; n < progress.saved; ++n, ++checked) lost += urls.count(EntryUrl(n)) ? 0 : 1;
    ASSERT_EQ(lost, 0) << "round " << rounds << ": entries of returned saves are gone";
  }
  EXPECT_EQ(rounds, kRounds) << "the rounds did not finish in time";
  EXPECT_GT(midSave, 0) << "no kill landed during a save";
  std::printf("kill test: %d rounds, %d kills during a save, %d entries checked, %d lost\n", rounds, midSave,
              checked, lost);
  FixedCrypt.reset();
  DataFolder.clear();
}

}  // namespace
