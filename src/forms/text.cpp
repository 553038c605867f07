// Pure text helpers: name folding, size and status texts, number parsing and the
// editor's validation. None of them consults the C runtime, whose printf rounding and
// wcstod grammar differ between msvcrt versions and locales.
#include "forms/forms.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

const wchar_t kNameMissing[] = L"请输入纸张名称。";
const wchar_t kNameTooLong[] = L"纸张名称不能超过 31 个字符。";
const wchar_t kSizeInvalid[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";

const size_t kMaxNameLength = 31;  // longest accepted form name, in UTF-16 code units
const double kMinMillimetres = 10.0;
const double kMaxMillimetres = 2000.0;

wchar_t FoldAsciiUpper(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Only the six white-space characters of the "C" locale.
bool IsCSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsHexDigit(wchar_t c) {
    return IsDecimalDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int HexDigitValue(wchar_t c) {
    if (IsDecimalDigit(c)) return c - L'0';
    return FoldAsciiUpper(c) - L'a' + 10;
}

bool IsNanCharacter(wchar_t c) {
    return IsDecimalDigit(c) || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}

// Case-insensitive match of a lower-case ASCII word at the start of text.
bool StartsWithWord(const wchar_t* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (FoldAsciiUpper(*text) != static_cast<wchar_t>(*word)) return false;
    }
    return true;
}

// Adds a digit to a decimal exponent, saturating far beyond any double's range so
// absurdly long exponents cannot overflow.
long long AccumulateExponent(long long value, wchar_t digit) {
    const long long kCap = 1000000000LL;
    if (value >= kCap) return kCap;
    return value * 10 + (digit - L'0');
}

// Length of a decimal exponent part ("e", optional sign, digits) at text, or 0.
size_t ExponentLength(const wchar_t* text, wchar_t lower, wchar_t upper, long long* exponent) {
    if (*text != lower && *text != upper) return 0;
    size_t i = 1;
    bool negative = false;
    if (text[i] == L'+' || text[i] == L'-') {
        negative = text[i] == L'-';
        ++i;
    }
    if (!IsDecimalDigit(text[i])) return 0;
    long long value = 0;
    while (IsDecimalDigit(text[i])) value = AccumulateExponent(value, text[i++]);
    *exponent = negative ? -value : value;
    return i;
}

// Converts matched ASCII text with from_chars. When it is out of range, from_chars
// leaves the value alone; a positive order of magnitude means overflow (infinity),
// otherwise the value underflowed towards zero.
double ConvertMatched(const wchar_t* begin, size_t length, std::chars_format format,
                      long long magnitude) {
    std::string narrow(length, '\0');
    for (size_t i = 0; i < length; ++i) narrow[i] = static_cast<char>(begin[i]);
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(narrow.data(), narrow.data() + narrow.size(), value, format);
    if (result.ec == std::errc::result_out_of_range) {
        return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (result.ec != std::errc()) return 0.0;
    return value;
}

// Decimal significand and optional exponent at text; returns the length (0: none).
size_t ParseDecimal(const wchar_t* text, double* value) {
    size_t i = 0;
    size_t digits = 0;
    long long magnitude = 0;  // power of ten of the first non-zero digit, plus one
    bool seenNonZero = false;
    while (IsDecimalDigit(text[i])) {
        if (text[i] != L'0') seenNonZero = true;
        if (seenNonZero) ++magnitude;
        ++i;
        ++digits;
    }
    if (text[i] == L'.') {
        size_t j = i + 1;
        while (IsDecimalDigit(text[j])) {
            if (!seenNonZero) {
                if (text[j] != L'0') {
                    seenNonZero = true;
                } else {
                    --magnitude;
                }
            }
            ++j;
            ++digits;
        }
        if (digits == 0) return 0;
        i = j;
    }
    if (digits == 0) return 0;
    long long exponent = 0;
    i += ExponentLength(text + i, L'e', L'E', &exponent);
    *value = ConvertMatched(text, i, std::chars_format::general, magnitude + exponent);
    return i;
}

// Hexadecimal significand and optional binary exponent after "0x"; returns the length
// after the prefix (0: no hex digit, so only the "0" before the "x" is a number).
size_t ParseHex(const wchar_t* text, double* value) {
    size_t i = 0;
    size_t digits = 0;
    long long magnitude = 0;  // power of two just above the first non-zero digit
    bool seenNonZero = false;
    while (IsHexDigit(text[i])) {
        if (!seenNonZero && HexDigitValue(text[i]) != 0) seenNonZero = true;
        if (seenNonZero) magnitude += 4;
        ++i;
        ++digits;
    }
    if (text[i] == L'.') {
        size_t j = i + 1;
        while (IsHexDigit(text[j])) {
            if (!seenNonZero) {
                if (HexDigitValue(text[j]) != 0) {
                    seenNonZero = true;
                } else {
                    magnitude -= 4;
                }
            }
            ++j;
            ++digits;
        }
        if (digits == 0) return 0;
        i = j;
    }
    if (digits == 0) return 0;
    long long exponent = 0;
    i += ExponentLength(text + i, L'p', L'P', &exponent);
    *value = ConvertMatched(text, i, std::chars_format::hex, magnitude + exponent);
    return i;
}

// Plain decimal digits; std::to_wstring would go through the C runtime's printf.
std::wstring DecimalText(size_t value) {
    wchar_t buffer[32];
    wchar_t* end = buffer + 32;
    wchar_t* p = end;
    do {
        *--p = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(p, end);
}

}  // namespace

std::wstring LowercaseCopy(const std::wstring& text) {
    std::wstring copy(text);
    for (wchar_t& c : copy) c = FoldAsciiUpper(c);
    return copy;
}

bool NamesEqual(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiUpper(a[i]) != FoldAsciiUpper(b[i])) return false;
    }
    return true;
}

std::wstring FormatMillimetres(int32_t thousandths) {
    char buffer[48];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(thousandths) / 1000.0,
                      std::chars_format::fixed, 1);
    if (result.ec != std::errc()) return std::wstring();
    return std::wstring(buffer, result.ptr);
}

std::wstring FormatSizeText(int32_t width, int32_t height) {
    return FormatMillimetres(width) + L" \u00D7 " + FormatMillimetres(height) + L" mm";
}

std::wstring FormatStatusSummary(size_t rows, size_t total) {
    return L"显示 " + DecimalText(rows) + L" 项，共读取 " + DecimalText(total) + L" 个纸张规格。";
}

double ParseLeadingNumber(const wchar_t* text, size_t* consumed) {
    size_t ignored = 0;
    if (consumed == nullptr) consumed = &ignored;
    *consumed = 0;
    if (text == nullptr) return 0.0;

    const wchar_t* p = text;
    while (IsCSpace(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }

    double value = 0.0;
    size_t length = 0;
    if (StartsWithWord(p, "inf")) {
        length = StartsWithWord(p, "infinity") ? 8 : 3;
        value = std::numeric_limits<double>::infinity();
    } else if (StartsWithWord(p, "nan")) {
        length = 3;
        if (p[3] == L'(') {
            size_t i = 4;
            while (IsNanCharacter(p[i])) ++i;
            if (p[i] == L')') length = i + 1;
        }
        value = std::numeric_limits<double>::quiet_NaN();
    } else if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
        const size_t hexLength = ParseHex(p + 2, &value);
        // "0x" without a hex digit: the "0" alone is the number.
        length = hexLength != 0 ? hexLength + 2 : 1;
    } else {
        length = ParseDecimal(p, &value);
    }
    if (length == 0) return 0.0;

    *consumed = static_cast<size_t>(p + length - text);
    return negative ? -value : value;
}

int32_t MillimetresToThousandths(double millimetres) {
    return static_cast<int32_t>(millimetres * 1000.0 + 0.5);
}

const wchar_t* ValidateEditorTexts(const std::wstring& name, const wchar_t* widthText,
                                   const wchar_t* heightText, int32_t* width, int32_t* height) {
    if (name.empty()) return kNameMissing;
    if (name.size() > kMaxNameLength) return kNameTooLong;

    size_t widthConsumed = 0;
    size_t heightConsumed = 0;
    const double widthValue = ParseLeadingNumber(widthText, &widthConsumed);
    const double heightValue = ParseLeadingNumber(heightText, &heightConsumed);
    if (widthConsumed == 0 || heightConsumed == 0) return kSizeInvalid;
    // Written so that NaN fails every comparison and is refused too.
    const bool widthInRange = widthValue >= kMinMillimetres && widthValue <= kMaxMillimetres;
    const bool heightInRange = heightValue >= kMinMillimetres && heightValue <= kMaxMillimetres;
    if (!widthInRange || !heightInRange) return kSizeInvalid;

    *width = MillimetresToThousandths(widthValue);
    *height = MillimetresToThousandths(heightValue);
    return nullptr;
}
