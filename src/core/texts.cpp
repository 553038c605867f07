// The texts both tools show: sizes, the status summary, and what became of a default paper.
#include "core/core.h"

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

std::wstring DefaultPaperName(const std::wstring& name, WORD id)
{
    return name.empty() ? L"驱动程序列表中没有的纸张（编号 " + DecimalText(id) + L"）" : name;
}

std::wstring DescribePaperCheck(const std::wstring& printer, const PaperForm& form, const PaperCheck& check)
{
    const std::wstring subject = L"打印机\u201C" + printer + L"\u201D的驱动程序";
    if (check.offered) {
        return subject + L"提供纸张\u201C" + form.name + L"\u201D。\r\n\r\n纸张编号：" + DecimalText(check.paper.id) + L"\r\n驱动程序中的名称：" + check.paper.name + L"\r\n驱动程序中的尺寸：" +
               FormatSizeText(TenthsToThousandths(check.paper.width), TenthsToThousandths(check.paper.height));
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
