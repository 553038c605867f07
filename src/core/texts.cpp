// The texts both tools show: sizes, the status summary, and what became of a default paper.
#include "core/core.h"

#include <cwchar>

std::wstring FormatSizeText(int32_t width, int32_t height)
{
    return FormatMillimetres(width) + L" \u00D7 " + FormatMillimetres(height) + L" mm";
}

std::wstring ExactSizeText(int32_t width, int32_t height)
{
    return ExactMillimetres(width) + L" \u00D7 " + ExactMillimetres(height) + L" mm";
}

std::wstring FormatStatusSummary(size_t rows, size_t total)
{
    return L"显示 " + DecimalText(rows) + L" 项，共读取 " + DecimalText(total) + L" 个纸张规格。";
}

std::wstring SpoolerMissingText(const std::wstring& missing)
{
    return L"无法加载系统打印组件（" + missing + L"）。\r\n请确认打印后台处理程序（Print Spooler）服务可用。";
}

namespace {

const int32_t SixthOfAnInchTimesThree = 12700; // 25.4 mm / 6, in thousandths of a millimetre, times 3
const int32_t BrowserTolerance = 50;            // 0.05 mm: a browser sends the driver's size
const int32_t DriftShownFrom = 50, DriftShownTo = 1000;

int32_t Distance(int32_t a, int32_t b) { return a > b ? a - b : b - a; }

// What browsers will list for the paper, and whether they then send another size than the form's.
std::wstring BrowserLine(const PaperForm& form, const DriverPaper& paper)
{
    const BrowserSize size = BrowserPaperSize(paper.width, paper.height);
    std::wstring line = L"\r\nChrome 和 Edge 中显示为 " + FormatSizeText(size.width, size.height) + L"。";
    if (Distance(form.width, TenthsToThousandths(paper.width)) > BrowserTolerance ||
        Distance(form.height, TenthsToThousandths(paper.height)) > BrowserTolerance)
        line += L"\r\n浏览器按驱动程序的尺寸（精确到 0.1 mm）发送此纸张。";
    return line;
}

// n/6 inch as people write it: a whole or half number, else the fraction in lowest terms.
std::wstring InchText(int sixths)
{
    if (sixths % 6 == 0)
        return DecimalText(static_cast<uint64_t>(sixths / 6));
    if (sixths % 3 == 0)
        return DecimalText(static_cast<uint64_t>(sixths / 6)) + L".5";
    const int common = sixths % 2 == 0 ? 2 : 1;
    return DecimalText(static_cast<uint64_t>(sixths / common)) + L"/" + DecimalText(static_cast<uint64_t>(6 / common));
}

} // namespace

BrowserSize BrowserPaperSize(LONG widthTenths, LONG heightTenths)
{
    BrowserSize size;
    size.width = TenthsToThousandths(widthTenths < heightTenths ? widthTenths : heightTenths);
    size.height = TenthsToThousandths(widthTenths < heightTenths ? heightTenths : widthTenths);
    return size;
}

std::wstring BrowserPolicyValue(const BrowserSize& size)
{
    return L"{\"name\":\"custom\",\"custom_size\":{\"width\":" + DecimalText(static_cast<uint64_t>(size.width)) +
           L",\"height\":" + DecimalText(static_cast<uint64_t>(size.height)) + L"}}";
}

bool ParseBrowserPolicyValue(const std::wstring& value, BrowserSize* size)
{
    // Written by hand as often as by a tool: spaces may stand between the tokens, and the
    // members in any order, but the name must be custom and both sizes whole numbers.
    std::wstring compact;
    for (wchar_t c : value)
        if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n')
            compact += c;
    const size_t inner = compact.find(L"\"custom_size\":{");
    if (compact.find(L"\"name\":\"custom\"") == std::wstring::npos || inner == std::wstring::npos)
        return false;
    const std::wstring members = compact.substr(inner, compact.find(L'}', inner) - inner);
    const struct {
        const wchar_t* key;
        int32_t* field;
    } numbers[] = {{L"\"width\":", &size->width}, {L"\"height\":", &size->height}};
    for (const auto& number : numbers) {
        const size_t at = members.find(number.key);
        if (at == std::wstring::npos)
            return false;
        const wchar_t* digits = members.c_str() + at + std::wcslen(number.key);
        long long read = 0;
        size_t count = 0;
        for (; digits[count] >= L'0' && digits[count] <= L'9' && read <= 0x7FFFFFFF; ++count)
            read = read * 10 + (digits[count] - L'0');
        if (count == 0 || read > 0x7FFFFFFF || (digits[count] != L',' && digits[count] != L'}' && digits[count] != L'\0'))
            return false;
        *number.field = static_cast<int32_t>(read);
    }
    return true;
}

FeedPitch NearestFeedPitch(int32_t height)
{
    // In thirds of a thousandth, every pitch is a whole number: n × 12700.
    const long long thirds = 3LL * height;
    FeedPitch pitch;
    pitch.sixths = static_cast<int>((thirds + SixthOfAnInchTimesThree / 2) / SixthOfAnInchTimesThree);
    const long long exact = static_cast<long long>(pitch.sixths) * SixthOfAnInchTimesThree;
    pitch.thousandths = static_cast<int32_t>((exact + 1) / 3);
    const long long off = thirds > exact ? thirds - exact : exact - thirds;
    pitch.drift = static_cast<int32_t>((off + 1) / 3);
    return pitch;
}

bool DriftsOnContinuousPaper(const PaperForm& form, FeedPitch* pitch)
{
    if (IsProtectedForm(form.flags) || form.height <= 0)
        return false;
    *pitch = NearestFeedPitch(form.height);
    return pitch->drift >= DriftShownFrom && pitch->drift <= DriftShownTo;
}

std::wstring FeedDriftNote(const PaperForm& form)
{
    FeedPitch pitch;
    if (!DriftsOnContinuousPaper(form, &pitch))
        return std::wstring();
    // Over 100 pages, in whole millimetres: drift × 100 / 1000, rounded.
    const long long thirds = 3LL * form.height - static_cast<long long>(pitch.sixths) * SixthOfAnInchTimesThree;
    const uint64_t hundredPages = static_cast<uint64_t>((thirds < 0 ? -thirds : thirds) + 15) / 30;
    return L"连续纸按英寸打孔：高度 " + ExactMillimetres(form.height) + L" mm 与 " + InchText(pitch.sixths) + L" 英寸（" +
           ExactMillimetres(pitch.thousandths) + L" mm）相差 " + ExactMillimetres(pitch.drift) +
           L" mm，每页累积，打印 100 页后约偏移 " + DecimalText(hundredPages) + L" mm。若使用这种连续纸，请把高度改为 " +
           ExactMillimetres(pitch.thousandths) + L" mm。";
}

std::wstring CheckResultText(const std::wstring& printer, const PaperForm& form, const PaperCheck& check)
{
    const std::wstring note = FeedDriftNote(form);
    return DescribePaperCheck(printer, form, check) + (note.empty() ? std::wstring() : L"\r\n\r\n" + note);
}

std::wstring DefaultPaperName(const std::wstring& name, WORD id)
{
    return name.empty() ? L"驱动程序列表中没有的纸张（编号 " + DecimalText(id) + L"）" : name;
}

std::wstring DescribePaperCheck(const std::wstring& printer, const PaperForm& form, const PaperCheck& check)
{
    const std::wstring subject = L"打印机\u201C" + printer + L"\u201D的驱动程序";
    if (check.offered) {
        return subject + L"提供纸张\u201C" + form.name + L"\u201D。\r\n\r\n纸张编号：" + DecimalText(check.paper.id) +
               L"\r\n驱动程序中的名称：" + check.paper.name + L"\r\n驱动程序中的尺寸：" +
               FormatSizeText(TenthsToThousandths(check.paper.width), TenthsToThousandths(check.paper.height)) +
               BrowserLine(form, check.paper);
    }
    std::wstring text = subject + L"没有提供纸张\u201C" + form.name + L"\u201D（" +
                        FormatSizeText(form.width, form.height) + L"），浏览器的纸张列表里不会出现它。\r\n\r\n";
    if (!check.rangeKnown)
        return text + L"驱动程序没有说明它支持的纸张尺寸范围。";
    const struct {
        bool applies;
        const wchar_t* what;
        LONG limit;
    } reasons[] = {
        {form.width > TenthsToThousandths(check.maxWidth), L"宽度大于打印机的最大宽度 ", check.maxWidth},
        {form.height > TenthsToThousandths(check.maxHeight), L"高度大于打印机的最大长度 ", check.maxHeight},
        {form.width < TenthsToThousandths(check.minWidth), L"宽度小于打印机的最小宽度 ", check.minWidth},
        {form.height < TenthsToThousandths(check.minHeight), L"高度小于打印机的最小长度 ", check.minHeight},
    };
    std::wstring found;
    for (const auto& reason : reasons)
        if (reason.applies)
            found += L"\r\n" + std::wstring(reason.what) + FormatMillimetres(TenthsToThousandths(reason.limit)) + L" mm。";
    if (found.empty())
        return text + L"尺寸在打印机支持的范围（" + FormatSizeText(TenthsToThousandths(check.minWidth), TenthsToThousandths(check.minHeight)) +
               L" 至 " + FormatSizeText(TenthsToThousandths(check.maxWidth), TenthsToThousandths(check.maxHeight)) +
               L"）之内；驱动程序可能只列出它自己定义的纸张。";
    return text + L"可能的原因：" + found;
}

std::wstring DefaultPaperSetText(const std::wstring& printer, const std::wstring& form, bool allUsers,
                                 const std::wstring& account, bool otherAccount)
{
    std::wstring text = L"已将纸张\u201C" + form + L"\u201D设为打印机\u201C" + printer + L"\u201D的默认纸张（" +
                        (allUsers ? L"所有用户，以及当前用户 " + account : L"当前用户 " + account) + L"）。";
    // The printer's own default reaches only accounts that have not chosen their own.
    if (allUsers)
        text += L"已有个人打印首选项的用户仍使用各自的设置。";
    if (otherAccount)
        text += L"\r\n\r\n注意：本程序以账户 " + account +
                L" 运行，与登录桌面的用户不同；\u201C当前用户\u201D的默认纸张只对账户 " + account + L" 生效。";
    text += L"\r\n\r\n浏览器若记住了上次打印所用的纸张，会继续使用那一种，直到在它的打印窗口中选择一次新纸张。";
    return text;
}

std::wstring DefaultPaperNotOfferedText(const std::wstring& printer, const PaperForm& form, const PaperCheck& check)
{
    return DescribePaperCheck(printer, form, check) + L"\r\n\r\n未做任何更改。";
}

std::wstring DefaultPaperRefusedText(const std::wstring& current)
{
    return L"打印机驱动程序没有接受新的默认纸张。\r\n当前默认纸张仍是：" +
           (current.empty() ? std::wstring(L"驱动程序列表中没有的纸张") : current);
}

std::wstring DefaultPaperAlreadyText(const std::wstring& form, const std::wstring& printer)
{
    return L"已是默认纸张：" + form + L"（" + printer + L"）";
}

std::wstring DefaultPaperSkippedText(const std::wstring& printer)
{
    return L"不提供此纸张，未更改：" + printer;
}
