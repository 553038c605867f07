// The command line's rules for a form's values, stricter than the editor's: in a script nobody
// sees that "24.1cm" was stored as 24.1 mm, or that " 发货单" became a second row beside
// "发货单", so anything that is not plainly a number or a name is refused.
#include "cli/cli.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Unicode's White_Space characters.
bool IsWhiteSpace(wchar_t c)
{
    return c == L' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsLineBreak(wchar_t c) { return c == L'\n' || c == L'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }

bool IsControl(wchar_t c) { return c <= 0x1F || c == 0x7F || IsLineBreak(c); }

std::wstring SizeProblem(const wchar_t* which, const std::wstring& text)
{
    if (IsStrictSizeText(text))
        return std::wstring();
    return std::wstring(which) + L"\u201C" + text + L"\u201D不是以毫米为单位的数字（例如 241 或 101.6，最多三位小数）。";
}

// Why a name is refused: white space alone, a line break or another control character, white
// space at either end; empty when it is taken.
std::wstring FormNameProblem(const std::wstring& name)
{
    bool blank = !name.empty();
    for (wchar_t c : name)
        blank = blank && IsWhiteSpace(c);
    if (blank)
        return L"纸张名称不能只有空白字符。";
    for (wchar_t c : name) {
        if (IsLineBreak(c))
            return L"纸张名称不能含有换行。";
        if (IsControl(c))
            return L"纸张名称不能含有控制字符（U+" + HexDigits(c, 4, true) + L"）。";
    }
    if (!name.empty() && (IsWhiteSpace(name.front()) || IsWhiteSpace(name.back())))
        return L"纸张名称的开头和结尾不能有空格。";
    return std::wstring();
}

} // namespace

bool IsStrictSizeText(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == L' ')
        ++i;
    const size_t digits = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    if (i == digits)
        return false;
    if (i < text.size() && text[i] == L'.') {
        const size_t decimals = ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i - decimals > 3)
            return false;
    }
    while (i < text.size() && text[i] == L' ')
        ++i;
    return i == text.size();
}

std::wstring FormValuesProblem(const std::wstring& name, const std::wstring& widthText, const std::wstring& heightText,
                               int32_t* width, int32_t* height)
{
    std::wstring problem = FormNameProblem(name);
    if (problem.empty())
        problem = SizeProblem(L"宽度", widthText);
    if (problem.empty())
        problem = SizeProblem(L"高度", heightText);
    if (problem.empty()) {
        // The editor's own limits: a name of 1 to 31 units, sizes of 10 to 2000 mm.
        if (const wchar_t* notice = ValidateEditorTexts(name, widthText.c_str(), heightText.c_str(), width, height))
            problem = notice;
    }
    return problem;
}
