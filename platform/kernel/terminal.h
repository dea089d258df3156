// Questions on the controlling terminal, for a program that has no screen to show a
// window on. A question is asked only when standard input is a terminal and this
// process is in the terminal's foreground (a program started in the background would
// be stopped by reading it); otherwise nothing is written and the answer is "not
// asked". Texts travel as UTF-8. One conversation at a time per process.
#pragma once

#include <string>
#include <vector>

namespace platform::terminal {

// One possible answer: the key that chooses it (an ASCII letter, either case), the
// label shown, and the number answered for it.
struct Choice {
  char Key;
  std::u16string Label;
  int Id;
};

// True when questions can be asked now.
bool Available();

// Writes the caption and the text, with nothing to answer; false when not available.
bool Show(const std::u16string& caption, const std::u16string& text);

// Writes the caption and the text and asks for one of the choices by its key or its
// whole label, asking again after any other line. The chosen id; 0 when not
// available or when the input ends first.
int Choose(const std::u16string& caption, const std::u16string& text, const std::vector<Choice>& choices);

// Writes the caption and the text and reads one line after the label with echo off.
// False when not available, when the input ends first or when the line is empty (an
// empty line cancels). The terminal's settings are put back afterwards, also when the
// program is ended by a signal meanwhile.
bool ReadSecret(const std::u16string& caption, const std::u16string& text, const std::u16string& label,
                std::u16string& secret);

}  // namespace platform::terminal
