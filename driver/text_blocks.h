// Printed texts sent in pieces. A text is a sequence of lines, each ended by
// a single line feed that stays part of the line; a last line may lack it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "driver/export.h"

namespace Qor01100 {

// Removes the first line from the front of `text` and returns it: up to and
// including its line feed, or the whole rest when no line feed is left.
QOR_API std::string TakeLine(std::string& text);

// Whole lines gathered into blocks: a block is closed as soon as it holds at
// least `minSize` characters; the last block holds what is left. An empty
// text gives no block.
QOR_API std::vector<std::string> LineBlocks(const std::string& text, std::size_t minSize);

// Groups of at most `lines` lines, in order. A last line without its line
// feed is a line too, so every character of the text is in one group.
QOR_API std::vector<std::string> LineGroups(const std::string& text, std::size_t lines);

// `text` in pieces of at most `limit` characters (the most a printer call
// takes), each ending with a line feed unless a line is longer than `limit`
// or the text ends without one: nothing is cut off, what does not fit goes
// on in the next piece. One piece (the text itself) when it fits; none for
// an empty text; `limit` 0 means no limit.
QOR_API std::vector<std::string> LimitedBlocks(const std::string& text, std::size_t limit);

}  // namespace Qor01100
