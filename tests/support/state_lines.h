// Lines of the stand-in spooler's state file, written as the stand-in reads and writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A quoted text of a state line: quotes and backslashes escaped, control characters and
// lone surrogates as \uXXXX.
std::string Quote(const std::wstring& text);

// A form whose imageable area is the whole sheet, as the stand-in writes it back (no line
// break). kind: "user", "builtin", "printer", or the flags as the number the spooler reports;
// a null name is a form the spooler reports without one.
std::string FormLine(const std::string& kind, int64_t width, int64_t height, const std::wstring* name);
std::string FormLine(const std::string& kind, int64_t width, int64_t height, const std::wstring& name);

// The "form ..." lines of a state text, in order, without line breaks.
std::vector<std::string> FormLinesOf(const std::string& stateText);
