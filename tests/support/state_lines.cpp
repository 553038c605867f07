#include "support/state_lines.h"

#include <cstdio>
#include <sstream>

#include "support/text.h"

std::string Quote(const std::wstring& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += Narrow(std::wstring(1, c));
        }
    }
    return out + "\"";
}

std::string FormLine(const std::string& kind, int64_t width, int64_t height, const std::wstring* name)
{
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    return "form " + kind + " " + w + " " + h + " 0 0 " + w + " " + h + " " + (name ? Quote(*name) : "null");
}

std::string FormLine(const std::string& kind, int64_t width, int64_t height, const std::wstring& name)
{
    return FormLine(kind, width, height, &name);
}

std::vector<std::string> FormLinesOf(const std::string& stateText)
{
    std::vector<std::string> lines;
    std::istringstream in(stateText);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("form ", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}
