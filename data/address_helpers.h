// Wide-string searches, the list splitter and the two address operations with which
// stored forms are matched to pages. Comparisons are exact, code unit by code unit;
// positions are 1-based and 0 means "not found".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "controls/unicode/uni_classes.h"

// True when Sub is non-empty and the text at P (zero-terminated) starts with it.
bool WideStartsAt(std::u16string_view sub, const char16_t* p);
// First index i >= Start with S[i] = Ch; 0 when none or Start is outside 1..Length(S).
int WidePosCharFrom(char16_t ch, std::u16string_view s, int start);
// First index from Start up to Length(S) where Sub starts; 0 when none, Sub is
// empty or Start is outside 1..Length(S).
int WidePosFrom(std::u16string_view sub, std::u16string_view s, int start);
// The same, searching from Start down to 1.
int WidePosBackFrom(std::u16string_view sub, std::u16string_view s, int start);

// Fills List with the non-empty pieces of Text between separators (pieces are not
// trimmed); a rest made only of blanks (code units up to the space) ends the list.
void SplitToList(std::u16string_view text, char16_t sep, TWideStrings& list);
// The same; a missing list is created and handed to the caller.
void SplitToList(std::u16string_view text, char16_t sep, std::unique_ptr<TUniStringList>& list);

// The key under which page addresses are compared: lower-cased, without the query,
// and without a last segment named "index" or "default" (any extension) that follows
// a "/" after the host. A bare host is never dropped, whatever its first label.
std::u16string NormalizeUrl(std::u16string_view url);
// The host part of an address, lower-cased; a port or user part stays in it.
std::u16string ExtractUrlDomain(std::u16string_view url);
