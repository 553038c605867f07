// Decimal numbers without the C runtime: a correctly rounded reader of the wcstod grammar and
// the writers of whole numbers and millimetres. The runtime's printf rounding and wcstod
// grammar differ between msvcrt versions and locales, and the floating-point to_chars and
// from_chars bring tables that would triple the size of the executable.
#include "core/core.h"

#include <cstring>
#include <limits>

namespace {

// A midpoint between two doubles has at most 767 significant decimal digits, so digits
// beyond these can only tell whether the value lies above the digits kept.
const size_t MaxSignificantDigits = 800;

const uint64_t InfinityBits = 0x7FF0000000000000ULL;

// Only the six white-space characters of the "C" locale.
bool IsCSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDecimalDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// The value of a digit in base 10 or 16, or -1.
int DigitValue(wchar_t c, int base)
{
    if (IsDecimalDigit(c))
        return c - L'0';
    const wchar_t lower = FoldAsciiUpper(c);
    if (base == 16 && lower >= L'a' && lower <= L'f')
        return lower - L'a' + 10;
    return -1;
}

bool IsNanCharacter(wchar_t c)
{
    return IsDecimalDigit(c) || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}

// Case-insensitive match of a lower-case ASCII word at the start of text.
bool StartsWithWord(const wchar_t* text, const char* word)
{
    for (; *word != '\0'; ++text, ++word) {
        if (FoldAsciiUpper(*text) != static_cast<wchar_t>(*word))
            return false;
    }
    return true;
}

double DoubleFromBits(uint64_t bits)
{
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The double nearest to mantissa × 2^exponent, ties to even; sticky says that non-zero
// bits below the mantissa were left off. Too large gives infinity, too small zero.
double RoundToDouble(uint64_t mantissa, long long exponent, bool sticky)
{
    if (mantissa == 0)
        return 0.0;
    while ((mantissa >> 63) == 0) {
        mantissa <<= 1;
        --exponent;
    }
    const long long top = exponent + 63; // power of two of the leading bit
    if (top > 1023)
        return DoubleFromBits(InfinityBits);
    // A normal double keeps 53 bits; a subnormal fewer, the lower its leading bit.
    const long long drop = top >= -1022 ? 11 : 11 + (-1022 - top);
    if (drop > 64)
        return 0.0;
    const uint64_t biasedExponent = top >= -1022 ? static_cast<uint64_t>(top + 1022) : 0;
    uint64_t kept = drop == 64 ? 0 : mantissa >> drop;
    const uint64_t half = 1ULL << (drop - 1);
    const bool below = (mantissa & (half - 1)) != 0 || sticky;
    if ((mantissa & half) != 0 && (below || (kept & 1) != 0))
        ++kept;
    // The leading bit lands in the exponent field, so a carry out of the mantissa moves
    // the exponent up as it should, from the largest double to infinity too.
    return DoubleFromBits((biasedExponent << 52) + kept);
}

// --- Unsigned big numbers: 32-bit limbs, least significant first, no leading zeros ---

// Every number below stays under 16^MaxSignificantDigits: decimal digits need fewer bits
// than hex ones, 5^1130 (the largest divisor, see SignificandValue) has 2,624 bits, and
// the divisions scale to at most the larger of their two operands.
const size_t MaxLimbs = MaxSignificantDigits * 4 / 32 + 1;

struct BigNumber {
    uint32_t limbs[MaxLimbs];
    size_t size;
};

void SetSmall(BigNumber* number, uint32_t value)
{
    number->limbs[0] = value;
    number->size = value != 0 ? 1 : 0;
}

void MultiplyAdd(BigNumber* number, uint32_t factor, uint32_t addend)
{
    uint64_t carry = addend;
    for (size_t i = 0; i < number->size; ++i) {
        carry += static_cast<uint64_t>(number->limbs[i]) * factor;
        number->limbs[i] = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    if (carry != 0)
        number->limbs[number->size++] = static_cast<uint32_t>(carry);
}

// number × 5^count
void MultiplyByPowerOfFive(BigNumber* number, long long count)
{
    const uint32_t FiveToThe13 = 1220703125;
    for (; count >= 13; count -= 13)
        MultiplyAdd(number, FiveToThe13, 0);
    uint32_t rest = 1;
    for (; count > 0; --count)
        rest *= 5;
    MultiplyAdd(number, rest, 0);
}

long long BitLength(const BigNumber& number)
{
    if (number.size == 0)
        return 0;
    long long length = 32 * static_cast<long long>(number.size - 1);
    for (uint32_t top = number.limbs[number.size - 1]; top != 0; top >>= 1)
        ++length;
    return length;
}

void ShiftLeft(BigNumber* number, long long bits)
{
    if (number->size == 0 || bits == 0)
        return;
    const size_t whole = static_cast<size_t>(bits / 32);
    const int rest = static_cast<int>(bits % 32);
    for (size_t i = number->size; i-- > 0;)
        number->limbs[i + whole] = number->limbs[i];
    for (size_t i = 0; i < whole; ++i)
        number->limbs[i] = 0;
    number->size += whole;
    if (rest == 0)
        return;
    uint32_t carry = 0;
    for (size_t i = whole; i < number->size; ++i) {
        const uint32_t limb = number->limbs[i];
        number->limbs[i] = (limb << rest) | carry;
        carry = limb >> (32 - rest);
    }
    if (carry != 0)
        number->limbs[number->size++] = carry;
}

void ShiftRightOne(BigNumber* number)
{
    for (size_t i = 0; i < number->size; ++i) {
        const uint32_t next = i + 1 < number->size ? number->limbs[i + 1] : 0;
        number->limbs[i] = (number->limbs[i] >> 1) | (next << 31);
    }
    if (number->size != 0 && number->limbs[number->size - 1] == 0)
        --number->size;
}

bool NotLess(const BigNumber& a, const BigNumber& b)
{
    if (a.size != b.size)
        return a.size > b.size;
    for (size_t i = a.size; i-- > 0;) {
        if (a.limbs[i] != b.limbs[i])
            return a.limbs[i] > b.limbs[i];
    }
    return true;
}

// *a -= b, where *a is not less than b.
void Subtract(BigNumber* a, const BigNumber& b)
{
    uint64_t borrow = 0;
    for (size_t i = 0; i < a->size; ++i) {
        const uint64_t subtrahend = (i < b.size ? b.limbs[i] : 0) + borrow;
        borrow = a->limbs[i] < subtrahend ? 1 : 0;
        a->limbs[i] = static_cast<uint32_t>(a->limbs[i] - subtrahend);
    }
    while (a->size != 0 && a->limbs[a->size - 1] == 0)
        --a->size;
}

// The double nearest to numerator / denominator × 2^exponent, ties to even; sticky as
// in RoundToDouble. Both are scaled so that the quotient has 63 or 64 bits and the
// remainder tells whether anything is left below them. Both numbers are used up.
double DivideToDouble(BigNumber* numerator, BigNumber* denominator, long long exponent, bool sticky)
{
    if (numerator->size == 0)
        return 0.0;
    const long long shift = BitLength(*denominator) + 63 - BitLength(*numerator);
    if (shift > 0)
        ShiftLeft(numerator, shift);
    else
        ShiftLeft(denominator, -shift);
    ShiftLeft(denominator, 63);
    uint64_t quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
        if (NotLess(*numerator, *denominator)) {
            Subtract(numerator, *denominator);
            quotient |= 1ULL << bit;
        }
        ShiftRightOne(denominator);
    }
    return RoundToDouble(quotient, exponent - shift, sticky || numerator->size != 0);
}

// --- Matching the number grammar of wcstod ---

// Adds a digit to a decimal exponent, saturating far beyond any double's range so
// absurdly long exponents cannot overflow.
long long AccumulateExponent(long long value, wchar_t digit)
{
    const long long Cap = 1000000000LL;
    if (value >= Cap)
        return Cap;
    return value * 10 + (digit - L'0');
}

// Length of an exponent part ("e" or "p", optional sign, decimal digits) at text, or 0.
size_t ExponentLength(const wchar_t* text, wchar_t letter, long long* exponent)
{
    if (FoldAsciiUpper(*text) != letter)
        return 0;
    size_t i = 1;
    bool negative = false;
    if (text[i] == L'+' || text[i] == L'-') {
        negative = text[i] == L'-';
        ++i;
    }
    if (!IsDecimalDigit(text[i]))
        return 0;
    long long value = 0;
    while (IsDecimalDigit(text[i]))
        value = AccumulateExponent(value, text[i++]);
    *exponent = negative ? -value : value;
    return i;
}

// A number read in base 10 or 16: digits × base^scale × 2^binaryExponent, where digits
// holds at most MaxSignificantDigits of them and sticky tells whether non-zero ones
// were left off.
struct Significand {
    BigNumber digits = {{}, 0};
    size_t count = 0; // significant digits in digits
    long long scale = 0;
    long long binaryExponent = 0;
    bool sticky = false;
};

void AddDigit(Significand* number, int base, int digit, bool afterPoint)
{
    if (number->count == 0 && digit == 0) {
        if (afterPoint)
            --number->scale;
        return;
    }
    if (number->count < MaxSignificantDigits) {
        MultiplyAdd(&number->digits, static_cast<uint32_t>(base), static_cast<uint32_t>(digit));
        ++number->count;
        if (afterPoint)
            --number->scale;
    } else {
        number->sticky = number->sticky || digit != 0;
        if (!afterPoint)
            ++number->scale;
    }
}

// Digits in base 10 or 16 with an optional point, then the exponent part ("e" or "p",
// whose digits are decimal). Returns the length matched (0: no digit).
size_t ScanSignificand(const wchar_t* text, int base, Significand* number)
{
    size_t i = 0;
    size_t digits = 0;
    for (; DigitValue(text[i], base) >= 0; ++i, ++digits)
        AddDigit(number, base, DigitValue(text[i], base), false);
    if (text[i] == L'.') {
        size_t j = i + 1;
        for (; DigitValue(text[j], base) >= 0; ++j, ++digits)
            AddDigit(number, base, DigitValue(text[j], base), true);
        if (digits != 0)
            i = j;
    }
    if (digits == 0)
        return 0;
    long long exponent = 0;
    i += ExponentLength(text + i, base == 16 ? L'p' : L'e', &exponent);
    if (base == 16)
        number->binaryExponent = exponent;
    else
        number->scale += exponent;
    return i;
}

double SignificandValue(Significand* number, int base)
{
    BigNumber denominator;
    SetSmall(&denominator, 1);
    if (base == 16)
        return DivideToDouble(&number->digits, &denominator, 4 * number->scale + number->binaryExponent,
                              number->sticky);
    // Decimal powers beyond the range of doubles are settled before any arithmetic:
    // the value lies in [10^(magnitude - 1), 10^magnitude).
    const long long magnitude = static_cast<long long>(number->count) + number->scale;
    if (number->count == 0 || magnitude < -330)
        return 0.0;
    if (magnitude > 310)
        return DoubleFromBits(InfinityBits);
    // 10^scale = 5^scale × 2^scale, which keeps the numbers small.
    if (number->scale >= 0)
        MultiplyByPowerOfFive(&number->digits, number->scale);
    else
        MultiplyByPowerOfFive(&denominator, -number->scale);
    return DivideToDouble(&number->digits, &denominator, number->scale, number->sticky);
}

} // namespace

std::wstring DecimalText(uint64_t value)
{
    wchar_t buffer[32];
    wchar_t* end = buffer + 32;
    wchar_t* p = end;
    do {
        *--p = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(p, end);
}

// The tenths are rounded from the exact binary value of the quotient: mantissa × 10,
// shifted right by the exponent, with the bits shifted out deciding the rounding.
std::wstring FormatMillimetres(int32_t thousandths)
{
    const double value = static_cast<double>(thousandths) / 1000.0;
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const unsigned biasedExponent = static_cast<unsigned>(bits >> 52) & 0x7FF;
    uint64_t tenths = 0;
    if (biasedExponent != 0) { // only 0 is not a normal double here
        const uint64_t scaled = ((bits & ((1ULL << 52) - 1)) | (1ULL << 52)) * 10;
        // 0.001 <= |value| < 2^22, so the shift lies between 31 and 62.
        const unsigned shift = 1075 - biasedExponent;
        const uint64_t half = 1ULL << (shift - 1);
        const uint64_t rest = scaled & ((half << 1) - 1);
        tenths = scaled >> shift;
        if (rest > half || (rest == half && (tenths & 1) != 0))
            ++tenths;
    }
    std::wstring text = (bits >> 63) != 0 ? L"-" : L"";
    text += DecimalText(tenths / 10);
    text += L'.';
    text += static_cast<wchar_t>(L'0' + tenths % 10);
    return text;
}

double ParseLeadingNumber(const wchar_t* text, size_t* consumed)
{
    size_t ignored = 0;
    if (consumed == nullptr)
        consumed = &ignored;
    *consumed = 0;
    if (text == nullptr)
        return 0.0;

    const wchar_t* p = text;
    while (IsCSpace(*p))
        ++p;
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
            while (IsNanCharacter(p[i]))
                ++i;
            if (p[i] == L')')
                length = i + 1;
        }
        value = std::numeric_limits<double>::quiet_NaN();
    } else {
        const bool hex = p[0] == L'0' && (p[1] == L'x' || p[1] == L'X');
        const int base = hex ? 16 : 10;
        Significand number;
        length = ScanSignificand(hex ? p + 2 : p, base, &number);
        if (hex) // "0x" without a hex digit: the "0" alone is the number.
            length = length != 0 ? length + 2 : 1;
        value = SignificandValue(&number, base);
    }
    if (length == 0)
        return 0.0;

    *consumed = static_cast<size_t>(p + length - text);
    return negative ? -value : value;
}

int32_t MillimetresToThousandths(double millimetres)
{
    return static_cast<int32_t>(millimetres * 1000.0 + 0.5);
}

std::wstring ExactMillimetres(int32_t thousandths)
{
    const long long value = thousandths;
    const uint64_t magnitude = static_cast<uint64_t>(value < 0 ? -value : value);
    std::wstring text = (value < 0 ? L"-" : L"") + DecimalText(magnitude / 1000);
    const unsigned fraction = static_cast<unsigned>(magnitude % 1000);
    if (fraction == 0)
        return text;
    std::wstring decimals = DecimalText(fraction + 1000).substr(1);
    while (decimals.back() == L'0')
        decimals.pop_back();
    return text + L"." + decimals;
}
