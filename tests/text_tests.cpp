// Text helpers: size and status texts, name folding, number parsing, editor validation.
#include "core/core.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t kNameMissing[] = L"请输入纸张名称。";
const wchar_t kNameTooLong[] = L"纸张名称不能超过 31 个字符。";
const wchar_t kSizeInvalid[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";

std::string Show(const std::wstring& text) { return ::testing::PrintToString(text); }

std::string HexText(double value) {
    char buffer[64];
    __mingw_snprintf(buffer, sizeof buffer, "%a", value);
    return buffer;
}

// mingw-w64's own C99 printf, linked statically: correctly rounded, ties to even.
std::wstring C99Format(int32_t thousandths) {
    wchar_t buffer[64];
    __mingw_snwprintf(buffer, 64, L"%.1f", static_cast<double>(thousandths) / 1000.0);
    return buffer;
}

// Bit-exact equality, except that any NaN equals any NaN (payloads and signs vary).
bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    uint64_t bitsA = 0;
    uint64_t bitsB = 0;
    std::memcpy(&bitsA, &a, sizeof a);
    std::memcpy(&bitsB, &b, sizeof b);
    return bitsA == bitsB;
}

double ValueOf(const wchar_t* text) {
    size_t consumed = 12345;
    return ParseLeadingNumber(text, &consumed);
}

size_t ConsumedBy(const wchar_t* text) {
    size_t consumed = 12345;
    ParseLeadingNumber(text, &consumed);
    return consumed;
}

// --- Size text -----------------------------------------------------------------

TEST(SizeText, FormatsOneDecimalPlace) {
    EXPECT_EQ(FormatMillimetres(241000), L"241.0");
    EXPECT_EQ(FormatMillimetres(101600), L"101.6");
    EXPECT_EQ(FormatMillimetres(93000), L"93.0");
    EXPECT_EQ(FormatMillimetres(0), L"0.0");
    EXPECT_EQ(FormatMillimetres(1), L"0.0");
    EXPECT_EQ(FormatMillimetres(2000000), L"2000.0");
    EXPECT_EQ(FormatMillimetres(1234567), L"1234.6");  // no digit grouping
}

TEST(SizeText, ExactTiesRoundToEvenDigit) {
    EXPECT_EQ(FormatMillimetres(10250), L"10.2");
    EXPECT_EQ(FormatMillimetres(10750), L"10.8");
    EXPECT_EQ(FormatMillimetres(250), L"0.2");
    EXPECT_EQ(FormatMillimetres(1750), L"1.8");
    EXPECT_EQ(FormatMillimetres(-10250), L"-10.2");
}

TEST(SizeText, RoundsTheStoredDoubleNotItsDecimalText) {
    // 0.35 and 1.15 are stored just below the half, 0.45 and 101.65 just above it.
    EXPECT_EQ(FormatMillimetres(350), L"0.3");
    EXPECT_EQ(FormatMillimetres(1150), L"1.1");
    EXPECT_EQ(FormatMillimetres(450), L"0.5");
    EXPECT_EQ(FormatMillimetres(101650), L"101.7");
    EXPECT_EQ(FormatMillimetres(2000050), L"2000.0");
    EXPECT_EQ(FormatMillimetres(210025), L"210.0");
}

TEST(SizeText, NegativesKeepTheirSign) {
    EXPECT_EQ(FormatMillimetres(-5), L"-0.0");
    EXPECT_EQ(FormatMillimetres(-241000), L"-241.0");
    EXPECT_EQ(FormatMillimetres(-101600), L"-101.6");
}

TEST(SizeText, Int32Extremes) {
    EXPECT_EQ(FormatMillimetres(INT32_MIN), L"-2147483.6");
    EXPECT_EQ(FormatMillimetres(INT32_MAX), L"2147483.6");
}

TEST(SizeText, AgreesWithC99PrintfOverManyValues) {
    std::vector<int32_t> values = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, -1, 0, 1};
    for (int32_t v = -3000; v <= 3000; ++v) values.push_back(v);
    for (int32_t tie = 50; tie <= 2100000; tie += 100) {  // every x.x5 up to 2100 mm
        values.push_back(tie);
        values.push_back(-tie);
    }
    std::mt19937 generator(20240611u);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 20000; ++i) values.push_back(any(generator));

    int failures = 0;
    for (int32_t v : values) {
        const std::wstring expected = C99Format(v);
        if (FormatMillimetres(v) != expected) {
            ADD_FAILURE() << v << ": " << Show(FormatMillimetres(v)) << " vs " << Show(expected);
            if (++failures == 10) break;
        }
    }
}

TEST(SizeText, DoesNotInheritTheMsvcrtTieRounding) {
    wchar_t buffer[64] = {};
    _snwprintf(buffer, 63, L"%.1f", 10.25);
    std::printf("msvcrt _snwprintf(\"%%.1f\", 10.25) gives \"%ls\"\n", buffer);
    EXPECT_EQ(FormatMillimetres(10250), L"10.2");
}

TEST(SizeText, JoinsWidthAndHeight) {
    EXPECT_EQ(FormatSizeText(241000, 101600), L"241.0 \u00D7 101.6 mm");
    EXPECT_EQ(FormatSizeText(10250, 210025), L"10.2 \u00D7 210.0 mm");
}

// --- Status summary ------------------------------------------------------------

TEST(StatusSummary, ShowsRowsAndTotal) {
    EXPECT_EQ(FormatStatusSummary(3, 41), L"显示 3 项\uFF0C共读取 41 个纸张规格\u3002");
    EXPECT_EQ(FormatStatusSummary(0, 0), L"显示 0 项，共读取 0 个纸张规格。");
}

TEST(StatusSummary, PlainDigitsWithoutGrouping) {
    EXPECT_EQ(FormatStatusSummary(1234567, 10), L"显示 1234567 项，共读取 10 个纸张规格。");
    EXPECT_EQ(FormatStatusSummary(10, SIZE_MAX),
              L"显示 10 项，共读取 18446744073709551615 个纸张规格。");
}

// --- Name folding --------------------------------------------------------------

TEST(NameFolding, FoldsAsciiLetters) {
    EXPECT_EQ(LowercaseCopy(L"A4 Letter XYZ@[`{"), L"a4 letter xyz@[`{");
    EXPECT_TRUE(NamesEqual(L"A4", L"a4"));
    EXPECT_TRUE(NamesEqual(L"a4", L"A4"));
    EXPECT_TRUE(NamesEqual(L"LETTER", L"letter"));
    EXPECT_FALSE(NamesEqual(L"A4", L"A5"));
}

TEST(NameFolding, LeavesFullWidthLettersAlone) {
    EXPECT_EQ(LowercaseCopy(L"\uFF21"), L"\uFF21");
    EXPECT_FALSE(NamesEqual(L"\uFF21", L"\uFF41"));
}

TEST(NameFolding, LeavesLatin1LettersAlone) {
    EXPECT_EQ(LowercaseCopy(L"\u00C9\u00C0\u00DE"), L"\u00C9\u00C0\u00DE");
    EXPECT_FALSE(NamesEqual(L"\u00C9", L"\u00E9"));
}

TEST(NameFolding, LeavesSurrogatesAndOtherUnitsAlone) {
    const std::wstring deseret = L"\xD801\xDC00";  // U+10400, whose lower case is U+10428
    EXPECT_EQ(LowercaseCopy(deseret), deseret);
    EXPECT_FALSE(NamesEqual(deseret, L"\xD801\xDC28"));
    std::wstring all;
    for (wchar_t c = 1; c != 0; ++c) {
        if (c < L'A' || c > L'Z') all.push_back(c);
    }
    EXPECT_EQ(LowercaseCopy(all), all);
}

TEST(NameFolding, NamesOfDifferentLengthDiffer) {
    EXPECT_FALSE(NamesEqual(L"A4", L"a4 "));
    EXPECT_FALSE(NamesEqual(L"", L"a"));
    EXPECT_TRUE(NamesEqual(L"", L""));
    EXPECT_FALSE(NamesEqual(std::wstring(L"a4\0x", 4), L"a4"));
}

// --- Number parsing ------------------------------------------------------------

TEST(BrowserTexts, PapersTurnUprightInMicrometresAndHeightsOffTheInchPitchGetADriftNote) {
    const struct {
        LONG width, height;   // the driver's, tenths of a millimetre
        int32_t upright[2];   // as browsers list it, micrometres
    } sizes[] = {{2410, 1400, {140000, 241000}}, {2410, 2794, {241000, 279400}}, {931, 2410, {93100, 241000}},
                 {2100, 2100, {210000, 210000}}};
    for (const auto& size : sizes) {
        const BrowserSize listed = BrowserPaperSize(size.width, size.height);
        EXPECT_TRUE(listed.width == size.upright[0] && listed.height == size.upright[1]) << size.width << "x" << size.height;
    }
    const BrowserSize turned = BrowserPaperSize(2410, 1400);
    EXPECT_EQ(L"{\"name\":\"custom\",\"custom_size\":{\"width\":140000,\"height\":241000}}", BrowserPolicyValue(turned));
    const struct {
        const wchar_t* value;
        bool parsed;
        int32_t width, height;
    } policies[] = {
        {L"{\"name\":\"custom\",\"custom_size\":{\"width\":140000,\"height\":241000}}", true, 140000, 241000},
        {L"{ \"custom_size\": { \"height\": 297000, \"width\": 210000 }, \"name\": \"custom\" }", true, 210000, 297000},
        {L"{\"name\":\"iso_a4_210x297mm\"}", false, 0, 0},
        {L"{\"name\":\"custom\",\"custom_size\":{\"width\":140000.5,\"height\":241000}}", false, 0, 0},
        {L"{\"name\":\"custom\",\"custom_size\":{\"width\":99999999999,\"height\":1}}", false, 0, 0},
        {L"", false, 0, 0},
    };
    for (const auto& p : policies) {
        BrowserSize read;
        EXPECT_EQ(p.parsed, ParseBrowserPolicyValue(p.value, &read)) << &p - policies;
        if (p.parsed) {
            EXPECT_TRUE(read.width == p.width && read.height == p.height) << &p - policies;
        }
    }
    PaperForm receipt;
    receipt.name = L"Receipt";
    receipt.width = 241000;
    receipt.height = 93000;
    PaperCheck check;
    check.offered = true;
    check.paper.width = 2410;
    check.paper.height = 931; // 0.1 mm off: the driver's size goes to the printer
    EXPECT_NE(std::wstring::npos, DescribePaperCheck(L"P", receipt, check)
                                      .find(L"\r\nChrome 和 Edge 中显示为 93.1 \u00D7 241.0 mm。\r\n浏览器按驱动程序的尺寸（精确到 0.1 mm）发送此纸张。"));
    const struct {
        int32_t height;
        const wchar_t* note;
    } cases[] = {
        {140000, L"连续纸按英寸打孔：高度 140 mm 与 5.5 英寸（139.7 mm）相差 0.3 mm，每页累积，打印 100 页后约偏移 30 mm。若使用这种连续纸，请把高度改为 139.7 mm。"},
        {93000, L"连续纸按英寸打孔：高度 93 mm 与 11/3 英寸（93.133 mm）相差 0.133 mm，每页累积，打印 100 页后约偏移 13 mm。若使用这种连续纸，请把高度改为 93.133 mm。"},
        {101600, L""}, {127000, L""}, {279400, L""},
        {139660, L""},  // 0.04 mm: less than is told
        {139650, L"连续纸按英寸打孔：高度 139.65 mm 与 5.5 英寸（139.7 mm）相差 0.05 mm，每页累积，打印 100 页后约偏移 5 mm。若使用这种连续纸，请把高度改为 139.7 mm。"},
        {139600, L"连续纸按英寸打孔：高度 139.6 mm 与 5.5 英寸（139.7 mm）相差 0.1 mm，每页累积，打印 100 页后约偏移 10 mm。若使用这种连续纸，请把高度改为 139.7 mm。"},
        {50000, L"连续纸按英寸打孔：高度 50 mm 与 2 英寸（50.8 mm）相差 0.8 mm，每页累积，打印 100 页后约偏移 80 mm。若使用这种连续纸，请把高度改为 50.8 mm。"},
        {2000000, L""},  // 1.6 mm off: too far to be meant for that paper
    };
    for (const auto& c : cases) {
        PaperForm form;
        form.name = L"Form";
        form.width = 241000;
        form.height = c.height;
        EXPECT_EQ(c.note, FeedDriftNote(form)) << c.height;
        form.flags = 2; // a printer driver's form
        EXPECT_EQ(L"", FeedDriftNote(form)) << "a driver's form: " << c.height;
    }
}

TEST(NumberParsing, StopsAtTheFirstCharacterThatIsNotPartOfTheNumber) {
    EXPECT_EQ(ValueOf(L" 241"), 241.0);
    EXPECT_EQ(ConsumedBy(L" 241"), 4u);
    EXPECT_EQ(ValueOf(L"241mm"), 241.0);
    EXPECT_EQ(ConsumedBy(L"241mm"), 3u);
    // The comma is never a decimal point.
    EXPECT_EQ(ValueOf(L"101,6"), 101.0);
    EXPECT_EQ(ConsumedBy(L"101,6"), 3u);
    EXPECT_EQ(ValueOf(L"101.6"), 101.6);
    EXPECT_EQ(ConsumedBy(L"101.6"), 5u);
}

TEST(NumberParsing, SkipsOnlyCLocaleWhiteSpace) {
    EXPECT_EQ(ValueOf(L" \t\n\v\f\r5"), 5.0);
    EXPECT_EQ(ConsumedBy(L" \t\n\v\f\r5"), 7u);
    EXPECT_EQ(ConsumedBy(L"\u00A05"), 0u);
    EXPECT_EQ(ConsumedBy(L"\u30005"), 0u);
    EXPECT_EQ(ConsumedBy(L"\x1C" L"5"), 0u);
    EXPECT_EQ(ConsumedBy(L"\x85" L"5"), 0u);
}

TEST(NumberParsing, Signs) {
    EXPECT_EQ(ValueOf(L"-241"), -241.0);
    EXPECT_EQ(ConsumedBy(L"-241"), 4u);
    EXPECT_EQ(ValueOf(L" +7.5x"), 7.5);
    EXPECT_EQ(ConsumedBy(L" +7.5x"), 5u);
    EXPECT_EQ(ConsumedBy(L"--5"), 0u);
    EXPECT_EQ(ConsumedBy(L"+-5"), 0u);
    EXPECT_EQ(ConsumedBy(L"- 5"), 0u);
}

TEST(NumberParsing, DecimalPointAndFraction) {
    EXPECT_EQ(ValueOf(L"1."), 1.0);
    EXPECT_EQ(ConsumedBy(L"1."), 2u);
    EXPECT_EQ(ValueOf(L".5"), 0.5);
    EXPECT_EQ(ConsumedBy(L".5"), 2u);
    EXPECT_EQ(ValueOf(L"1.5.5"), 1.5);
    EXPECT_EQ(ConsumedBy(L"1.5.5"), 3u);
}

TEST(NumberParsing, ExponentNeedsDigits) {
    EXPECT_EQ(ValueOf(L"1e3"), 1000.0);
    EXPECT_EQ(ConsumedBy(L"1e3"), 3u);
    EXPECT_EQ(ValueOf(L"1e"), 1.0);
    EXPECT_EQ(ConsumedBy(L"1e"), 1u);
    EXPECT_EQ(ValueOf(L"1e+"), 1.0);
    EXPECT_EQ(ConsumedBy(L"1e+"), 1u);
    EXPECT_EQ(ValueOf(L"2E-3mm"), 0.002);
    EXPECT_EQ(ConsumedBy(L"2E-3mm"), 4u);
    EXPECT_EQ(ValueOf(L"1.e5"), 100000.0);
    EXPECT_EQ(ConsumedBy(L"1.e5"), 4u);
    EXPECT_EQ(ConsumedBy(L".e5"), 0u);
    EXPECT_EQ(ConsumedBy(L"e5"), 0u);
}

TEST(NumberParsing, Hexadecimal) {
    EXPECT_EQ(ValueOf(L"0x64"), 100.0);
    EXPECT_EQ(ConsumedBy(L"0x64"), 4u);
    EXPECT_EQ(ValueOf(L"0X1.8p1"), 3.0);
    EXPECT_EQ(ConsumedBy(L"0X1.8p1"), 7u);
    EXPECT_EQ(ValueOf(L"-0x.8"), -0.5);
    EXPECT_EQ(ConsumedBy(L"-0x.8"), 5u);
    EXPECT_EQ(ValueOf(L"0xfFp-2z"), 63.75);
    EXPECT_EQ(ConsumedBy(L"0xfFp-2z"), 7u);
    // A binary exponent without digits is not taken.
    EXPECT_EQ(ValueOf(L"0x1p"), 1.0);
    EXPECT_EQ(ConsumedBy(L"0x1p"), 3u);
    // Here e is a hex digit.
    EXPECT_EQ(ValueOf(L"0x1e3"), 483.0);
    EXPECT_EQ(ConsumedBy(L"0x1e3"), 5u);
}

TEST(NumberParsing, HexPrefixWithoutHexDigitsConvertsTheZero) {
    for (const wchar_t* text : {L"0x", L"0xg", L"0x.", L"0x.p1", L"0Xz"}) {
        EXPECT_EQ(ValueOf(text), 0.0) << Show(text);
        EXPECT_EQ(ConsumedBy(text), 1u) << Show(text);
    }
    EXPECT_EQ(ConsumedBy(L" -0x"), 3u);
    EXPECT_TRUE(std::signbit(ValueOf(L" -0x")));
}

TEST(NumberParsing, Infinity) {
    EXPECT_EQ(ValueOf(L"inf"), HUGE_VAL);
    EXPECT_EQ(ConsumedBy(L"inf"), 3u);
    EXPECT_EQ(ValueOf(L"INFINITY"), HUGE_VAL);
    EXPECT_EQ(ConsumedBy(L"INFINITY"), 8u);
    EXPECT_EQ(ValueOf(L"infinit"), HUGE_VAL);
    EXPECT_EQ(ConsumedBy(L"infinit"), 3u);
    EXPECT_EQ(ValueOf(L"-InFiNiTyx"), -HUGE_VAL);
    EXPECT_EQ(ConsumedBy(L"-InFiNiTyx"), 9u);
    EXPECT_EQ(ConsumedBy(L"in"), 0u);
}

TEST(NumberParsing, NotANumber) {
    EXPECT_TRUE(std::isnan(ValueOf(L"nan")));
    EXPECT_EQ(ConsumedBy(L"nan"), 3u);
    EXPECT_TRUE(std::isnan(ValueOf(L"NaN(abc)")));
    EXPECT_EQ(ConsumedBy(L"NaN(abc)"), 8u);
    EXPECT_TRUE(std::isnan(ValueOf(L"nan(")));
    EXPECT_EQ(ConsumedBy(L"nan("), 3u);
    EXPECT_TRUE(std::isnan(ValueOf(L"nan()")));
    EXPECT_EQ(ConsumedBy(L"nan()"), 5u);
    EXPECT_TRUE(std::isnan(ValueOf(L"-nan(Z_9)x")));
    EXPECT_EQ(ConsumedBy(L"-nan(Z_9)x"), 9u);
    // Only letters, digits and _ may stand between the parentheses.
    for (const wchar_t* text : {L"nan(a b)", L"nan(.)", L"nan(\u5BBD)", L"nan(a(b)"}) {
        EXPECT_TRUE(std::isnan(ValueOf(text))) << Show(text);
        EXPECT_EQ(ConsumedBy(text), 3u) << Show(text);
    }
    EXPECT_EQ(ConsumedBy(L"na"), 0u);
}

TEST(NumberParsing, NothingValidConsumesNothing) {
    for (const wchar_t* text : {L"", L".", L"-", L"+.", L" ", L" -", L"mm241", L"\u5BBD241",
                                L"\uFF11\uFF12", L"x1", L",5"}) {
        EXPECT_EQ(ValueOf(text), 0.0) << Show(text);
        EXPECT_EQ(ConsumedBy(text), 0u) << Show(text);
    }
    size_t consumed = 99;
    EXPECT_EQ(ParseLeadingNumber(nullptr, &consumed), 0.0);
    EXPECT_EQ(consumed, 0u);
}

TEST(NumberParsing, OutOfRangeGivesInfinityOrZero) {
    EXPECT_EQ(ValueOf(L"1e400"), HUGE_VAL);
    EXPECT_EQ(ValueOf(L"-1e400"), -HUGE_VAL);
    EXPECT_EQ(ValueOf(L"0.0001e313"), HUGE_VAL);
    EXPECT_EQ(ValueOf(L"0.0001e312"), 1e308);
    EXPECT_EQ(ValueOf(L"0x1p2000"), HUGE_VAL);
    EXPECT_EQ(ValueOf(L"1e99999999999999999999999"), HUGE_VAL);
    EXPECT_EQ(ConsumedBy(L"1e400"), 5u);
    EXPECT_EQ(ValueOf(L"1e-400"), 0.0);
    EXPECT_EQ(ConsumedBy(L"1e-400"), 6u);
    EXPECT_EQ(ValueOf(L"10000e-330"), 0.0);
    EXPECT_EQ(ValueOf(L"1000e-326"), 1e-323);
    EXPECT_EQ(ValueOf(L"0x1p-1080"), 0.0);
    EXPECT_EQ(ValueOf(L"1e-310"), 1e-310);  // a denormal is in range
    EXPECT_EQ(ValueOf(L"0e99999999999"), 0.0);
    // Out of range through the number of digits rather than the exponent.
    const std::wstring manyDigits = L"1" + std::wstring(320, L'0') + L"e-5";
    EXPECT_EQ(ValueOf(manyDigits.c_str()), HUGE_VAL);
    const std::wstring manyHexDigits = L"0x1" + std::wstring(270, L'0') + L"p-20";
    EXPECT_EQ(ValueOf(manyHexDigits.c_str()), HUGE_VAL);
    const std::wstring manyFractionZeros = L"0x0." + std::wstring(280, L'0') + L"1p+10";
    EXPECT_EQ(ValueOf(manyFractionZeros.c_str()), 0.0);
}

TEST(NumberParsing, RoundsToEvenAtTheEdgesOfTheRange) {
    // Half the smallest denormal is a tie that goes to zero; past it, or at one and a half
    // of it, the result goes up. At the top, the tie above the largest double overflows.
    const std::vector<std::pair<const wchar_t*, double>> cases = {
        {L"0x1p-1075", 0.0},
        {L"0x1.0000000000001p-1075", 0x1p-1074},
        {L"0x3p-1075", 0x1p-1073},
        {L"2.4703282292062327e-324", 0.0},
        {L"2.4703282292062328e-324", 0x1p-1074},
        {L"2.2250738585072011e-308", 2.2250738585072011e-308},
        {L"2.2250738585072012e-308", 2.2250738585072012e-308},
        {L"0x1.fffffffffffff7ffffp1023", 0x1.fffffffffffffp1023},
        {L"0x1.fffffffffffff8p1023", HUGE_VAL},
        {L"1.7976931348623158e308", 0x1.fffffffffffffp1023},
        {L"1.7976931348623159e308", HUGE_VAL}};
    for (const auto& [text, expected] : cases)
        EXPECT_TRUE(SameDouble(ValueOf(text), expected)) << Show(text) << ": " << HexText(ValueOf(text));
}

TEST(NumberParsing, LongDigitStringsAreCorrectlyRounded) {
    // 2^53 + 1 is a tie and goes to even; any later non-zero digit breaks the tie upwards.
    EXPECT_EQ(ValueOf(L"9007199254740993"), 9007199254740992.0);
    const std::wstring justAbove = L"9007199254740993" + std::wstring(180, L'0') + L"1e-181";
    EXPECT_EQ(ValueOf(justAbove.c_str()), 9007199254740994.0);
    EXPECT_EQ(ConsumedBy(justAbove.c_str()), justAbove.size());

    const std::wstring ones = L"1" + std::wstring(199, L'0');
    EXPECT_EQ(ValueOf(ones.c_str()), 1e199);
    EXPECT_EQ(ConsumedBy(ones.c_str()), 200u);
    const std::wstring tiny = L"0." + std::wstring(197, L'0') + L"1";
    EXPECT_EQ(ValueOf(tiny.c_str()), 1e-198);
    const std::wstring longHex = L"0x" + std::wstring(198, L'f');  // rounds up to 2^792
    EXPECT_EQ(ValueOf(longHex.c_str()), std::ldexp(1.0, 792));
    EXPECT_EQ(ConsumedBy(longHex.c_str()), 200u);
    const std::wstring hugeHex = L"0x" + std::wstring(100, L'f') + L"p700";
    EXPECT_EQ(ValueOf(hugeHex.c_str()), HUGE_VAL);
}

// Found by the generated texts: mingw's wcstod goes through long double and rounds twice.
// The compiler's own reading of the same literal is correctly rounded.
TEST(NumberParsing, RoundsOnceWhereMingwWcstodRoundsTwice) {
    EXPECT_EQ(ValueOf(L"-4051924100e270"), -4051924100e270);
    EXPECT_EQ(ValueOf(L"0x20000000000001000000001"), 0x20000000000001000000001p0);
    EXPECT_EQ(ValueOf(L"0X9dB0e7Fb6D2D04003da30A4CCF5feFea0a9afaEfE0"),
              0X9dB0e7Fb6D2D04003da30A4CCF5feFea0a9afaEfE0p0);
    EXPECT_EQ(
        ValueOf(L"830050678907187008016780127736707070100.0530440510029030203018627797000"
                L"10195190681004025302700202052190175029260710081002440252114990249076302667"),
        830050678907187008016780127736707070100.053044051002903020301862779700010195190681004025302700202052190175029260710081002440252114990249076302667);
    std::printf("mingw wcstod(\"-4051924100e270\") gives %s\n",
                HexText(__mingw_wcstod(L"-4051924100e270", nullptr)).c_str());
}

TEST(NumberParsing, ConsumedMayBeNull) { EXPECT_EQ(ParseLeadingNumber(L"12", nullptr), 12.0); }

// --- Millimetres to thousandths -------------------------------------------------

TEST(Thousandths, RoundsHalfUpFromTheDoubleProduct) {
    EXPECT_EQ(MillimetresToThousandths(10.0), 10000);
    EXPECT_EQ(MillimetresToThousandths(2000.0), 2000000);
    EXPECT_EQ(MillimetresToThousandths(101.6), 101600);
    EXPECT_EQ(MillimetresToThousandths(10.0005), 10001);
    EXPECT_EQ(MillimetresToThousandths(10.0004), 10000);
    EXPECT_EQ(MillimetresToThousandths(19.9995), 20000);
    EXPECT_EQ(MillimetresToThousandths(10.0004999), 10000);
    EXPECT_EQ(MillimetresToThousandths(-0.0007), 0);  // truncated, not floored
}

// --- Editor validation ---------------------------------------------------------

const wchar_t* Validate(const std::wstring& name, const wchar_t* width, const wchar_t* height,
                        int32_t* w = nullptr, int32_t* h = nullptr) {
    int32_t localW = -1;
    int32_t localH = -1;
    return ValidateEditorTexts(name, width, height, w ? w : &localW, h ? h : &localH);
}

// A notice compared by text, so a mistyped literal in the product shows up here.
::testing::AssertionResult IsNotice(const wchar_t* actual, const wchar_t* expected) {
    if (actual == nullptr) return ::testing::AssertionFailure() << "no notice";
    if (std::wcscmp(actual, expected) != 0) {
        return ::testing::AssertionFailure() << Show(actual) << " instead of " << Show(expected);
    }
    return ::testing::AssertionSuccess();
}

TEST(EditorValidation, NameIsCheckedFirst) {
    EXPECT_TRUE(IsNotice(Validate(L"", L"", L""), kNameMissing));
    EXPECT_TRUE(IsNotice(Validate(L"", L"241", L"93"), kNameMissing));
    EXPECT_TRUE(IsNotice(Validate(std::wstring(32, L'n'), L"", L"abc"), kNameTooLong));
}

TEST(EditorValidation, NameLengthCountsUtf16CodeUnits) {
    EXPECT_EQ(Validate(std::wstring(31, L'n'), L"241", L"93"), nullptr);
    EXPECT_EQ(Validate(std::wstring(31, L'\u7EB8'), L"241", L"93"), nullptr);
    EXPECT_TRUE(IsNotice(Validate(std::wstring(32, L'n'), L"241", L"93"), kNameTooLong));
    EXPECT_TRUE(IsNotice(Validate(std::wstring(200, L'n'), L"241", L"93"), kNameTooLong));
    const std::wstring outsideBmp = L"\xD83D\xDCC4";  // one character, two code units
    EXPECT_EQ(Validate(std::wstring(29, L'n') + outsideBmp, L"241", L"93"), nullptr);
    EXPECT_TRUE(
        IsNotice(Validate(std::wstring(30, L'n') + outsideBmp, L"241", L"93"), kNameTooLong));
}

TEST(EditorValidation, NameIsNotTrimmed) {
    EXPECT_EQ(Validate(L"   ", L"241", L"93"), nullptr);
}

TEST(EditorValidation, AcceptsTheRangeLimits) {
    int32_t w = 0;
    int32_t h = 0;
    EXPECT_EQ(Validate(L"A", L"10", L"2000", &w, &h), nullptr);
    EXPECT_EQ(w, 10000);
    EXPECT_EQ(h, 2000000);
    EXPECT_EQ(Validate(L"A", L"2000", L"10", &w, &h), nullptr);
    EXPECT_EQ(w, 2000000);
    EXPECT_EQ(h, 10000);
}

TEST(EditorValidation, RefusesOutOfRangeOrNonNumbersWithOneNotice) {
    for (const wchar_t* bad : {L"9.9999", L"2000.0001", L"abc", L"", L"nan", L"inf", L"-241",
                               L"-inf", L"1e400", L"0x", L".", L"\uFF11\uFF12"}) {
        EXPECT_TRUE(IsNotice(Validate(L"A4", bad, L"100"), kSizeInvalid)) << Show(bad);
        EXPECT_TRUE(IsNotice(Validate(L"A4", L"100", bad), kSizeInvalid)) << Show(bad);
    }
}

TEST(EditorValidation, ConvertsToThousandths) {
    const std::vector<std::pair<const wchar_t*, int32_t>> cases = {
        {L"10.0005", 10001}, {L"10.0004", 10000}, {L"19.9995", 20000}, {L"101.6", 101600},
        {L"93", 93000},      {L"101,6", 101000},  {L"241mm", 241000},  {L" 241", 241000},
        {L"1e3", 1000000},   {L"0x64", 100000}};
    for (const auto& [text, thousandths] : cases) {
        int32_t w = -1;
        int32_t h = -1;
        EXPECT_EQ(Validate(L"A4", text, L"297", &w, &h), nullptr) << Show(text);
        EXPECT_EQ(w, thousandths) << Show(text);
        EXPECT_EQ(h, 297000) << Show(text);
        EXPECT_EQ(Validate(L"A4", L"210", text, &w, &h), nullptr) << Show(text);
        EXPECT_EQ(w, 210000) << Show(text);
        EXPECT_EQ(h, thousandths) << Show(text);
    }
}

// --- Independence from the C runtime's locale -------------------------------------

// msvcrt's towlower, wcstod and printf follow setlocale; these helpers must not.
TEST(CRuntimeLocale, FoldingIgnoresTheLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "English_United States.1252"), nullptr);
    std::wstring all;
    for (wchar_t c = 1; c != 0; ++c) {
        if (c < L'A' || c > L'Z') all.push_back(c);
    }
    EXPECT_EQ(LowercaseCopy(all), all);
    EXPECT_FALSE(NamesEqual(L"\u00C9", L"\u00E9"));
    EXPECT_FALSE(NamesEqual(L"\uFF21", L"\uFF41"));
    std::setlocale(LC_ALL, "C");
}

TEST(CRuntimeLocale, DecimalCommaLocaleChangesNothing) {
    ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
    const bool decimalComma = std::localeconv()->decimal_point[0] == ',';
    EXPECT_EQ(ValueOf(L"101.6"), 101.6);
    EXPECT_EQ(ConsumedBy(L"101.6"), 5u);
    EXPECT_EQ(ValueOf(L"101,6"), 101.0);
    EXPECT_EQ(ConsumedBy(L"101,6"), 3u);
    EXPECT_EQ(FormatMillimetres(101600), L"101.6");
    EXPECT_EQ(FormatSizeText(1234567, 10250), L"1234.6 \u00D7 10.2 mm");
    EXPECT_EQ(FormatStatusSummary(1234567, 41), L"显示 1234567 项，共读取 41 个纸张规格。");
    std::setlocale(LC_ALL, "C");
    EXPECT_TRUE(decimalComma) << "the locale did not switch to a decimal comma";
}

// --- Generated size texts --------------------------------------------------------

const uint32_t kPropertySeed = 0x5EED2024u;

const std::vector<std::wstring>& Fragments() {
    static const std::vector<std::wstring> fragments = {
        L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"00", L"10", L"2000",
        L"241", L"-", L"+", L".", L".", L"e", L"E", L"0x", L"0X", L"p", L"P", L"inf",
        L"infinity", L"INF", L"nan", L"NaN", L"(", L")", L" ", L"  ", L"\t", L"\n", L"a", L"f",
        L"x", L"m", L"mm", L"_", L",", L"\u5BBD", L"\uFF11", L"\u00A0", L"\u3000", L"\x1C"};
    return fragments;
}

std::wstring RandomFragments(std::mt19937& generator, size_t pieces, std::wstring text) {
    const std::vector<std::wstring>& fragments = Fragments();
    std::uniform_int_distribution<size_t> pick(0, fragments.size() - 1);
    for (size_t i = 0; i < pieces; ++i) {
        const std::wstring& fragment = fragments[pick(generator)];
        if (text.size() + fragment.size() > 200) break;
        text += fragment;
    }
    return text;
}

std::wstring RandomDigits(std::mt19937& generator, size_t count, bool hex) {
    static const wchar_t kHexDigits[] = L"0123456789abcdefABCDEF";
    std::uniform_int_distribution<int> digit(0, hex ? 21 : 9);
    std::uniform_int_distribution<int> zeroRun(0, 3);
    std::wstring digits;
    for (size_t i = 0; i < count; ++i) {
        // Runs of zeros make ties and near-ties that need every digit to round right.
        digits.push_back(zeroRun(generator) == 0 ? L'0' : kHexDigits[digit(generator)]);
    }
    return digits;
}

// Something shaped like a number: long significands, exponents, then a random tail.
std::wstring NumberShapedText(std::mt19937& generator) {
    std::uniform_int_distribution<int> coin(0, 3);
    std::uniform_int_distribution<size_t> length(0, 120);
    std::wstring text;
    if (coin(generator) == 0) text += L" ";
    if (coin(generator) == 0) text += coin(generator) < 2 ? L"-" : L"+";
    const bool hex = coin(generator) == 0;
    if (hex) text += coin(generator) < 2 ? L"0x" : L"0X";
    text += RandomDigits(generator, length(generator), hex);
    if (coin(generator) < 2) text += L"." + RandomDigits(generator, length(generator), hex);
    if (coin(generator) < 2) {
        text += hex ? (coin(generator) < 2 ? L"p" : L"P") : (coin(generator) < 2 ? L"e" : L"E");
        const int sign = coin(generator);
        if (sign == 1) text += L"-";
        if (sign == 2) text += L"+";
        const size_t exponentDigits = coin(generator) == 0 ? 25 : 3;  // huge exponents now and then
        const size_t count = std::uniform_int_distribution<size_t>(0, exponentDigits)(generator);
        text += RandomDigits(generator, count, false);
    }
    if (text.size() > 200) text.resize(200);
    return RandomFragments(generator, coin(generator), text);
}

// Near the accepted range, with fractions and tails, so that both outcomes are common.
std::wstring SizeLikeText(std::mt19937& generator) {
    std::uniform_int_distribution<int> coin(0, 3);
    std::wstring text;
    if (coin(generator) == 0) text += L" ";
    if (coin(generator) == 0) text += L"-";
    const unsigned whole = std::uniform_int_distribution<unsigned>(0, 2100)(generator);
    for (wchar_t c : std::to_string(whole)) text.push_back(c);
    if (coin(generator) < 2) {
        text += L".";
        const size_t count = std::uniform_int_distribution<size_t>(0, 6)(generator);
        text += RandomDigits(generator, count, false);
    }
    return RandomFragments(generator, coin(generator), text);
}

std::wstring GenerateSizeText(std::mt19937& generator) {
    std::uniform_int_distribution<int> shape(0, 9);
    const int kind = shape(generator);
    if (kind < 4) return RandomFragments(generator, 1 + shape(generator), L"");
    if (kind < 5) {
        const size_t pieces = std::uniform_int_distribution<size_t>(1, 120)(generator);
        return RandomFragments(generator, pieces, L"");
    }
    if (kind < 7) return SizeLikeText(generator);
    return NumberShapedText(generator);
}

bool IsNanCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           c == L'_';
}

// "nan(" followed by a ")" with something other than letters, digits and _ before it.
bool HasNonStandardNanSequence(const std::wstring& text) {
    size_t i = text.find_first_not_of(L" \t\n\v\f\r");
    if (i == std::wstring::npos) return false;
    if (text[i] == L'+' || text[i] == L'-') ++i;
    if (i + 4 > text.size() || LowercaseCopy(text.substr(i, 4)) != L"nan(") return false;
    const size_t close = text.find(L')', i + 4);
    if (close == std::wstring::npos) return false;
    for (size_t j = i + 4; j < close; ++j) {
        if (!IsNanCharacter(text[j])) return true;
    }
    return false;
}

// mingw's wcstod rounds its long double result once more. When that long double lies
// exactly between two doubles, the digits that decide the tie are gone, so mingw's
// answer is no reference there; the correct one is one of those two neighbours.
bool IsDoubleRoundingTie(long double wide, double* below, double* above) {
    if (!std::isfinite(wide)) return false;
    double low = static_cast<double>(wide);
    if (static_cast<long double>(low) > wide) low = std::nextafter(low, -HUGE_VAL);
    if (static_cast<long double>(low) == wide) return false;
    const double high = std::nextafter(low, HUGE_VAL);
    *below = low;
    *above = high;
    return wide - low == high - wide;
}

TEST(GeneratedSizeTexts, ParsingAgreesWithMingwWcstod) {
    // The tie detection needs long double arithmetic with its full 64-bit significand.
    ASSERT_NE(1.0L + std::ldexp(1.0L, -63), 1.0L);
    std::mt19937 generator(kPropertySeed);
    int failures = 0;
    int converted = 0;
    int convertedLong = 0;
    for (int i = 0; i < 20000 && failures < 10; ++i) {
        const std::wstring text = GenerateSizeText(generator);
        size_t consumed = 0;
        const double value = ParseLeadingNumber(text.c_str(), &consumed);
        wchar_t* end = nullptr;
        const double expected = __mingw_wcstod(text.c_str(), &end);
        size_t expectedConsumed = static_cast<size_t>(end - text.c_str());
        // mingw takes any characters up to ")" after "nan("; C allows only [A-Za-z0-9_].
        if (HasNonStandardNanSequence(text)) expectedConsumed = text.find_first_of(L"nN") + 3;
        if (expectedConsumed != 0) ++converted;
        if (expectedConsumed > 50) ++convertedLong;
        double below = 0.0;
        double above = 0.0;
        bool valueOk = false;
        if (consumed == 0) {
            valueOk = value == 0.0;
        } else if (IsDoubleRoundingTie(__mingw_wcstold(text.c_str(), nullptr), &below, &above)) {
            valueOk = value == below || value == above;
        } else {
            valueOk = SameDouble(value, expected);
        }
        if (consumed != expectedConsumed || !valueOk) {
            ADD_FAILURE() << "seed " << kPropertySeed << " case " << i << " " << Show(text)
                          << ": got " << HexText(value) << " consumed " << consumed
                          << ", wcstod " << HexText(expected) << " consumed " << expectedConsumed;
            ++failures;
        }
    }
    EXPECT_GT(converted, 5000) << "seed " << kPropertySeed;
    EXPECT_GT(convertedLong, 1000) << "seed " << kPropertySeed;
}

TEST(GeneratedSizeTexts, ValidationGivesSizesInRangeOrTheSizeNotice) {
    std::mt19937 generator(kPropertySeed + 1);
    int failures = 0;
    int accepted = 0;
    int refused = 0;
    for (int i = 0; i < 20000 && failures < 10; ++i) {
        const std::wstring widthText = GenerateSizeText(generator);
        const std::wstring heightText = GenerateSizeText(generator);
        int32_t w = -1;
        int32_t h = -1;
        const wchar_t* notice = Validate(L"A4", widthText.c_str(), heightText.c_str(), &w, &h);
        // Independent oracle: the C99 wcstod of the same texts.
        wchar_t* widthEnd = nullptr;
        wchar_t* heightEnd = nullptr;
        const double wv = __mingw_wcstod(widthText.c_str(), &widthEnd);
        const double hv = __mingw_wcstod(heightText.c_str(), &heightEnd);
        const bool bothConverted = widthEnd != widthText.c_str() && heightEnd != heightText.c_str();
        const bool shouldAccept = bothConverted && wv >= 10 && wv <= 2000 && hv >= 10 && hv <= 2000;
        bool ok = false;
        if (notice == nullptr) {
            ++accepted;
            ok = shouldAccept && w >= 10000 && w <= 2000000 && h >= 10000 && h <= 2000000;
        } else {
            ++refused;
            ok = !shouldAccept && IsNotice(notice, kSizeInvalid);
        }
        if (!ok) {
            ADD_FAILURE() << "seed " << kPropertySeed + 1 << " case " << i << " " << Show(widthText)
                          << " / " << Show(heightText) << ": "
                          << (notice ? Show(notice) : std::string("accepted")) << " " << w << " x "
                          << h;
            ++failures;
        }
    }
    EXPECT_GT(accepted, 200) << "seed " << kPropertySeed + 1;
    EXPECT_GT(refused, 200) << "seed " << kPropertySeed + 1;
}

}  // namespace
