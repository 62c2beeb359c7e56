#pragma once
// Character classes the readers, the rules and the pinyin share: one answer for each question.

namespace rowcaster::text {

// ASCII letters and the letters of Latin-1 Supplement and Latin Extended-A/B; × and ÷ stand in
// that range but are signs.
inline bool IsLatinLetter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

// The blanks a cell carries around and between words: space, ideographic space, no-break space, tab.
inline bool IsWideBlank(char32_t c) { return c == U' ' || c == 0x3000 || c == 0xA0 || c == U'\t'; }

}  // namespace rowcaster::text
