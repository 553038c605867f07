// browser-paper: the machine policy with which Chrome and Edge start on a form's paper, for
// every user of the PC and on every printer that lists a paper of that size. It is written
// as the browsers match it: the driver's size for the form, turned upright, in micrometres.
#include "cli/cli.h"

namespace {

// What became of one browser's value.
struct PolicyStep {
    const BrowserPolicyKey* browser = nullptr;
    bool present = false;  // a value was there before
    bool same = false;     // it already named the size asked (or, for --clear, there was none)
    DWORD code = ERROR_SUCCESS;
};

std::wstring SizeText(const BrowserSize& size) { return ExactSizeText(size.width, size.height); }

// Each browser's value as it is now; same when it already holds wanted (null: when it is absent).
bool ReadPolicies(const BrowserSize* wanted, std::vector<PolicyStep>* steps)
{
    for (size_t i = 0; i < BrowserPolicyCount; ++i) {
        PolicyStep step;
        step.browser = &BrowserPolicyKeys[i];
        std::wstring value;
        step.code = ReadBrowserPaperPolicy(*step.browser, &value, &step.present);
        BrowserSize held;
        const bool parsed = step.present && ParseBrowserPolicyValue(value, &held);
        step.same = wanted ? parsed && held.width == wanted->width && held.height == wanted->height : !step.present;
        if (step.code != ERROR_SUCCESS) {
            PrintError(FailureText(L"读取浏览器策略", step.code));
            return false;
        }
        steps->push_back(step);
    }
    return true;
}

// Writes (or clears) every value that is not yet as asked; false when one could not be.
bool ApplyPolicies(const std::wstring* value, std::vector<PolicyStep>* steps)
{
    bool complete = true;
    for (PolicyStep& step : *steps) {
        if (step.same)
            continue;
        bool existed = false;
        step.code = value ? WriteBrowserPaperPolicy(*step.browser, *value) : ClearBrowserPaperPolicy(*step.browser, &existed);
        complete = complete && step.code == ERROR_SUCCESS;
    }
    return complete;
}

// The JSON object, or nothing in text mode.
void ReportPolicies(const CommandLine& line, const std::vector<PolicyStep>& steps, bool changed,
                    const std::wstring& value)
{
    if (line.format != L"json")
        return;
    std::vector<std::wstring> entries;
    for (const PolicyStep& step : steps) {
        const wchar_t* outcome = step.code != ERROR_SUCCESS ? L"failed"
                                 : step.same                ? L"already"
                                 : line.clear               ? L"cleared"
                                                            : L"set";
        std::vector<std::wstring> members = {JsonMember(L"browser", JsonString(step.browser->browser)),
                                             JsonMember(L"outcome", JsonString(outcome))};
        if (step.code != ERROR_SUCCESS)
            AddJsonError(&members, step.code, ErrorLine(step.code));
        entries.push_back(JsonObject(members));
    }
    PrintLine(JsonResultText({JsonMember(L"changed", JsonBool(changed)), JsonMember(L"dry_run", JsonBool(line.dryRun)),
                              JsonMember(L"value", line.clear ? L"null" : JsonString(value))},
                             L"browsers", entries, {}));
}

// The driver's size of the form named in the first operand, on --printer's or the default
// printer; ExitDone, or the exit code after telling the user.
int DriverSizeOfForm(const CommandLine& line, std::wstring* formName, BrowserSize* size)
{
    std::wstring printer;
    std::vector<PaperForm> forms;
    int code = ResolvePrinter(line, &printer);
    if (code == ExitDone)
        code = ReadPrinterTable(printer, &forms);
    if (code != ExitDone)
        return code;
    const int at = FindFormByName(forms, line.operands[0]);
    if (at < 0) {
        PrintError(NoSuchFormText(printer, line.operands[0]));
        return ExitNotFound;
    }
    const PaperForm& form = forms[static_cast<size_t>(at)];
    PaperCheck check;
    const DWORD read = CheckDriverPaper(printer, form, &check);
    if (read != ERROR_SUCCESS) {
        PrintError(L"检查失败：" + ErrorLine(read));
        return ExitFailed;
    }
    if (!check.offered) {
        PrintError(DefaultPaperNotOfferedText(printer, form, check));
        return ExitFailed;
    }
    *formName = form.name;
    *size = BrowserPaperSize(check.paper.width, check.paper.height);
    return ExitDone;
}

} // namespace

int BrowserPaperCommand(const CommandLine& line)
{
    if (line.clear == !line.operands.empty()) {
        PrintError(L"browser-paper 需要纸张名称，或用 --clear 清除浏览器的默认纸张。");
        return ExitUsage;
    }
    std::wstring form;
    BrowserSize size;
    if (!line.clear) {
        const int found = DriverSizeOfForm(line, &form, &size);
        if (found != ExitDone)
            return found;
    }
    const std::wstring value = line.clear ? std::wstring() : BrowserPolicyValue(size);
    std::vector<PolicyStep> steps;
    if (!ReadPolicies(line.clear ? nullptr : &size, &steps))
        return ExitFailed;
    bool pending = false;
    for (const PolicyStep& step : steps)
        pending = pending || !step.same;
    const bool json = line.format == L"json";
    if (!pending || line.dryRun) {
        ReportPolicies(line, steps, pending, value);
        if (!json && !pending)
            PrintLine(line.clear ? L"浏览器策略中没有默认纸张，无需清除。"
                                 : L"已是浏览器默认纸张：" + form + L"（" + SizeText(size) + L"）");
        else if (!json)
            PrintLine(line.clear ? L"将清除浏览器的默认纸张策略。"
                                 : L"将写入浏览器默认纸张：" + form + L"（" + SizeText(size) + L"）");
        return pending ? ExitWouldChange : ExitDone;
    }
    const bool complete = ApplyPolicies(line.clear ? nullptr : &value, &steps);
    ReportPolicies(line, steps, true, value);
    for (const PolicyStep& step : steps)
        if (step.code != ERROR_SUCCESS && !json)
            PrintError(std::wstring(step.browser->browser) + L"：" +
                       FailureText(line.clear ? L"清除浏览器策略" : L"写入浏览器策略", step.code));
    if (complete && !json)
        PrintLine(line.clear ? L"已清除 Chrome 和 Edge 的默认纸张策略。"
                             : L"已将 Chrome 和 Edge 的默认纸张设为 " + form + L"（" + SizeText(size) +
                                   L"）。下次打开打印窗口时生效；若未生效，请重新启动浏览器。");
    return complete ? ExitDone : ExitFailed;
}

std::vector<std::wstring> BrowserPolicyLines(std::vector<std::wstring>* json)
{
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < BrowserPolicyCount; ++i) {
        std::wstring value;
        bool present = false;
        BrowserSize size;
        if (ReadBrowserPaperPolicy(BrowserPolicyKeys[i], &value, &present) != ERROR_SUCCESS || !present)
            continue;
        const bool parsed = ParseBrowserPolicyValue(value, &size);
        lines.push_back(std::wstring(L"浏览器策略：") + BrowserPolicyKeys[i].browser + L" 默认纸张 " +
                        (parsed ? SizeText(size) : L"（无法识别：" + value + L"）"));
        json->push_back(JsonObject({JsonMember(L"browser", JsonString(BrowserPolicyKeys[i].browser)),
                                    JsonMember(L"value", JsonString(value))}));
    }
    if (lines.empty())
        lines.push_back(L"浏览器策略：未设置");
    return lines;
}
