// The width of an entry point's answer, found from its variable: the command
// path hands the library buffers as wide as the entry list says
// (vendor/elgin_entries.def) without each call site repeating the figure.
#pragma once
#include <cstddef>

namespace Qor01100 {

// How many characters the entry point held in `entryVariable` (the address
// of one of the entry-point variables of vendor/elgin.h) writes into its
// text parameter `param` (0-based). Throws std::logic_error when the entry
// list gives that parameter no fixed width: a mistake in the caller.
std::size_t ListedAnswerWidth(const void* entryVariable, int param);

}  // namespace Qor01100
