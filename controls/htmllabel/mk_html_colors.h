// HTML colour values (a colour name or hexadecimal digits) as class-library colours:
// red in the low byte, then green, then blue; the high byte 0.
#pragma once

#include <string>

#include "platform/classlib/graphics.h"

// False only for an empty or blank value; an unknown name is read as hexadecimal
// digits, and a character that is no digit counts as 0.
bool ColorFromHtml(const std::u16string& value, TColor& color);
// Adds or replaces one name (compared without case).
void RegisterHtmlColor(const std::u16string& name, TColor color);
