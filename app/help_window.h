// Context help: a window of its own process ("pellix help <topic>") that shows the
// product's help page for a numeric topic in a window of the browser model, and the
// small question-mark pictures of the dialogs that ask the main window for a topic.
//
// The main window finds an open help window by its class "PellixHelpForm" and hands it
// a further topic with the registered message "PellixHelpTopic" (lParam the topic), so
// a second request changes the page instead of starting another process.
#pragma once

#include <memory>
#include <string>

#include "platform/base/types.h"

class TImage;

// The address of a topic: every "%s" of the template (letter case ignored) becomes the
// topic; an empty template is the built-in help address.
std::u16string HelpAddress(const std::u16string& addressTemplate, const std::u16string& topic);

// Runs the help window on Topic (decimal digits) until it is closed; the exit code.
int RunHelpWindow(const std::string& topic);

// A help picture: it shows the question mark, and a click asks the main window for
// the topic in the picture's Tag.
// Lives as long as the dialog that made it.
class TImageHelp {
 public:
  explicit TImageHelp(TImage& picture);
  long Topic() const { return topic_; }

 private:
  TImage& picture_;
  long topic_;
};
