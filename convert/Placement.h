// What each page's text layer is made from: the recognized words, or the stored text's words
// placed on them.
#pragma once

#include <string>
#include <vector>

#include "convert/Options.h"
#include "convert/Words.h"
#include "document/Document.h"

namespace convert {

// Each page's text from its recognized lines, as the mode says: `always` takes the recognized
// words; `auto` keeps a page's stored text, its words placed by placeStoredWords.
std::vector<PageText> placePages(const mdi::Document& document,
                                 std::vector<std::vector<Line>> recognized, Ocr mode);

// The stored text's words, every one in its order, on the recognized words' boxes: the two word
// lists aligned (Needleman-Wunsch, words scored by their edit distance), each stored word taking
// the box of the recognized word it aligns with, and the runs that align with none spread over
// the room between their aligned neighbours on the same line. Nothing when too few words match
// for the recognition to describe this text, or when the page's word lists are too long to align.
std::vector<Line> placeStoredWords(const std::u32string& stored,
                                   const std::vector<Line>& recognized);

// How alike two words are, from 0 to 1: one less their edit distance over the longer's length,
// letters compared without case, punctuation ignored.
double wordLikeness(const std::u32string& a, const std::u32string& b);

}  // namespace convert
