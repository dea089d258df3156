// Test environment: every test program runs with its own fresh state root and reads
// nothing from the terminal it was started on (its standard input is /dev/null), and
// can start itself again as a child process in a named role.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pellix_test {

// A fresh empty folder, removed when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The whole contents of a file (empty when it cannot be read), and a file written whole.
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// The text of the exception of type E that call raises, "(nothing raised)" when it
// raises none.
template <typename E, typename F>
std::string MessageOf(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing raised)";
}

// Path of a file under tests/fixtures.
std::filesystem::path Fixture(const std::string& relative);

// Child roles: a test registers a role by name; RunChild starts this test program
// again in that role with the given arguments and answers its exit code.
using ChildRole = std::function<int(const std::vector<std::string>& args)>;
bool RegisterChildRole(const std::string& name, ChildRole role);
int RunChild(const std::string& role, const std::vector<std::string>& args = {});

// Starts a child without waiting; WaitChild answers its exit code (or 128 + signal).
int StartChild(const std::string& role, const std::vector<std::string>& args = {});
int WaitChild(int pid);

// The command line that runs this test program in a role.
std::vector<std::string> RoleCommand(const std::string& role, const std::vector<std::string>& args = {});
// Starts a program (the first word, a path) with its arguments, without waiting.
int StartCommand(const std::vector<std::string>& command);
// Starts a program in a session of its own whose controlling terminal, standard input
// and outputs are a new pseudo-terminal; Master is this side of it (close it when done).
int StartOnTerminal(const std::vector<std::string>& command, int& master);
// Reads what a program wrote on its terminal until Text has come; false when the
// terminal closes first or nothing comes for a long while (a guard against hangs).
// Everything read is appended to Seen.
bool ReadUntil(int master, const std::string& text, std::string& seen);

}  // namespace pellix_test
