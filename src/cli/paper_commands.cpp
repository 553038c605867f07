// default and check: the printer's default paper and the driver's paper list, through the
// same window-free layer as the GUI's form-list menu, with its texts. Both work on the
// default printer, --printer's, or every printer (--all-printers): a computer startup script
// runs as SYSTEM, which has no default printer.
#include "cli/cli.h"

namespace {

// What became of one printer, as its line (or entry) tells it.
struct PrinterOutcome {
    size_t result = 0;     // an index into the command's outcome tokens
    std::wstring text;     // what the user is told
    bool problem = false;  // told on standard error
    DWORD code = ERROR_SUCCESS; // of the failed call, for JSON
};

// The printers' lines as they come, or their JSON entries, and the count of each outcome.
struct PrinterReport {
    bool json = false;
    bool allPrinters = false;
    std::vector<std::wstring> entries;
    size_t counts[4] = {};
    bool interrupted = false;
};

const wchar_t* const DefaultTokens[] = {L"set", L"already", L"not_offered", L"failed"};
enum DefaultResult : size_t { DefaultSet, DefaultAlready, DefaultNotOffered, DefaultFailed };
const wchar_t* const CheckTokens[] = {L"offered", L"not_offered", L"failed"};
enum CheckResult : size_t { CheckOffered, CheckNotOffered, CheckFailed };

void ReportPrinter(const std::wstring& printer, const PrinterOutcome& outcome, const wchar_t* const tokens[],
                   PrinterReport* report, const std::vector<std::wstring>& extra = {})
{
    ++report->counts[outcome.result];
    const std::wstring token = tokens[outcome.result];
    if (report->json) {
        std::vector<std::wstring> members = {JsonMember(L"printer", JsonString(printer)),
                                             JsonMember(L"outcome", JsonString(token))};
        members.insert(members.end(), extra.begin(), extra.end());
        if (token == L"failed")
            AddJsonError(&members, outcome.code, outcome.text);
        report->entries.push_back(JsonObject(members));
    } else if (outcome.problem) {
        PrintError((report->allPrinters ? TableSubject(printer) + L"：" : std::wstring()) + outcome.text);
    } else {
        PrintLine(outcome.text);
        // Texts of several lines, one for each of several printers, are kept apart.
        if (report->allPrinters && outcome.text.find(L'\n') != std::wstring::npos)
            PrintLine(std::wstring());
    }
}

// The form named in the first operand as this printer's table has it: ERROR_SUCCESS, the code
// of a table that could not be read, or ERROR_INVALID_FORM_NAME when it has no such form.
DWORD FormOnPrinter(const std::wstring& printer, const std::wstring& name, PaperForm* form)
{
    std::vector<PaperForm> forms;
    bool opened = false;
    const DWORD code = ReadPrinterForms(printer, &forms, &opened);
    if (code != ERROR_SUCCESS)
        return code;
    const int at = FindFormByName(forms, name);
    if (at < 0)
        return ERROR_INVALID_FORM_NAME;
    *form = forms[static_cast<size_t>(at)];
    return ERROR_SUCCESS;
}

// One printer whose driver does not offer the form: one line among several printers, the
// reason on its own.
PrinterOutcome NotOffered(const std::wstring& printer, const PaperForm& form, bool allPrinters, size_t result)
{
    PrinterOutcome outcome;
    outcome.result = result;
    if (allPrinters) {
        outcome.text = DefaultPaperSkippedText(printer);
        return outcome;
    }
    PaperCheck check;
    CheckDriverPaper(printer, form, &check);
    outcome.text = DefaultPaperNotOfferedText(printer, form, check);
    outcome.problem = true;
    return outcome;
}

PrinterOutcome Failure(size_t result, DWORD code, const std::wstring& text)
{
    PrinterOutcome outcome;
    outcome.result = result;
    outcome.code = code;
    outcome.text = text;
    outcome.problem = true;
    return outcome;
}

// The default read first: nothing is written when it already is the form, or on a dry run.
// code is FormOnPrinter's.
PrinterOutcome DefaultOn(const CommandLine& line, const std::wstring& printer, const PaperForm& form, DWORD code,
                         std::vector<std::wstring>*)
{
    if (code == ERROR_INVALID_FORM_NAME)
        return NotOffered(printer, form, true, DefaultNotOffered);
    if (code != ERROR_SUCCESS)
        return Failure(DefaultFailed, code, FailureText(L"读取纸张", code));
    const DefaultPaperState state = QueryDefaultPaper(printer, form, line.allUsers, &code);
    PrinterOutcome outcome;
    if (state == DefaultPaperState::NotOffered)
        return NotOffered(printer, form, line.allPrinters, DefaultNotOffered);
    if (state == DefaultPaperState::Failed)
        return Failure(DefaultFailed, code, FailureText(L"设置默认纸张", code));
    if (state == DefaultPaperState::Already) {
        outcome.result = DefaultAlready;
        outcome.text = DefaultPaperAlreadyText(form.name, printer);
        return outcome;
    }
    outcome.result = DefaultSet;
    if (line.dryRun) {
        outcome.text = L"将设为默认纸张：" + form.name + L"（" + printer + L"）";
        return outcome;
    }
    const PaperOutcome set = SetDefaultPaper(printer, form, line.allUsers, &code, &outcome.text);
    if (set == PaperOutcome::NotOffered)
        return NotOffered(printer, form, line.allPrinters, DefaultNotOffered);
    if (set == PaperOutcome::Failed)
        return Failure(DefaultFailed, code, FailureText(L"设置默认纸张", code));
    if (set == PaperOutcome::NotAccepted)
        return Failure(DefaultFailed, ERROR_SUCCESS, outcome.text);
    return outcome;
}

// The summary of several printers ("已设置 1 台，…"), or the JSON object.
void FinishDefault(const CommandLine& line, const PrinterReport& report)
{
    const size_t* n = report.counts;
    if (report.json) {
        const std::wstring summary = JsonObject({JsonMember(L"set", DecimalText(n[DefaultSet])),
                                                 JsonMember(L"already", DecimalText(n[DefaultAlready])),
                                                 JsonMember(L"not_offered", DecimalText(n[DefaultNotOffered])),
                                                 JsonMember(L"failed", DecimalText(n[DefaultFailed]))});
        PrintLine(JsonResultText({JsonMember(L"changed", JsonBool(n[DefaultSet] > 0)),
                                  JsonMember(L"dry_run", JsonBool(line.dryRun)),
                                  JsonMember(L"form", JsonString(line.operands[0])),
                                  JsonMember(L"all_users", JsonBool(line.allUsers))},
                                 L"printers", report.entries,
                                 {JsonMember(L"summary", summary), JsonMember(L"interrupted", JsonBool(report.interrupted))}));
        return;
    }
    if (line.allPrinters)
        PrintLine((line.dryRun ? L"试运行，没有做任何更改：将设置 " : L"已设置 ") + DecimalText(n[DefaultSet]) +
                  L" 台，已是默认 " + DecimalText(n[DefaultAlready]) + L" 台，不提供此纸张 " +
                  DecimalText(n[DefaultNotOffered]) + L" 台，失败 " + DecimalText(n[DefaultFailed]) + L" 台。");
    if (report.interrupted)
        PrintLine(InterruptedText);
}

// One printer of the overview: the paper a browser starts on, then each user form with
// whether the driver lists it; as lines, or as one JSON entry. false when something could
// not be read.
bool PrintPrinterOverview(const std::wstring& printer, bool isDefault, std::vector<std::wstring>* json)
{
    std::vector<std::wstring> lines = {L"打印机：" + printer + (isDefault ? L"（默认打印机）" : L"")};
    std::vector<std::wstring> members = {JsonMember(L"printer", JsonString(printer)),
                                         JsonMember(L"default_printer", JsonBool(isDefault))};
    std::wstring paper;
    WORD id = 0;
    const DWORD read = ReadDefaultPaper(printer, &paper, &id);
    lines.push_back(read != ERROR_SUCCESS ? L"  浏览器起始纸张：无法读取（" + ErrorLine(read) + L"）"
                                          : L"  浏览器起始纸张：" + DefaultPaperName(paper, id));
    members.push_back(JsonMember(L"browser_paper", read != ERROR_SUCCESS ? L"null" : JsonString(DefaultPaperName(paper, id))));

    std::vector<PaperForm> forms;
    bool opened = false;
    DWORD code = ReadPrinterForms(printer, &forms, &opened);
    std::vector<DriverPaper> papers;
    if (code == ERROR_SUCCESS)
        code = ReadDriverPapers(printer, &papers);
    std::vector<std::wstring> offered, missing;
    for (const PaperForm& form : forms) {
        const int at = IsProtectedForm(form.flags) || code != ERROR_SUCCESS ? -2 : FindDriverPaper(papers, form);
        if (at >= 0)
            lines.push_back(L"  提供：" + form.name + L"（编号 " + DecimalText(papers[static_cast<size_t>(at)].id) + L"）");
        else if (at == -1)
            lines.push_back(L"  不提供：" + form.name + L"（" + ExactSizeText(form.width, form.height) + L"）");
        if (at != -2)
            (at >= 0 ? offered : missing).push_back(JsonString(form.name));
    }
    if (code != ERROR_SUCCESS) {
        lines.push_back(L"  无法读取纸张：" + ErrorLine(code));
        AddJsonError(&members, code, ErrorLine(code));
    } else if (offered.empty() && missing.empty()) {
        lines.push_back(L"  没有用户自定义纸张。");
    }
    members.push_back(JsonMember(L"offered", JsonArray(offered)));
    members.push_back(JsonMember(L"not_offered", JsonArray(missing)));
    if (json)
        json->push_back(JsonObject(members));
    else
        for (const std::wstring& text : lines)
            PrintLine(text);
    return read == ERROR_SUCCESS && code == ERROR_SUCCESS;
}

// Whether this printer's driver lists the form; code is FormOnPrinter's.
PrinterOutcome CheckOn(const CommandLine& line, const std::wstring& printer, const PaperForm& form, DWORD code,
                       std::vector<std::wstring>* json)
{
    PaperCheck check;
    if (code == ERROR_SUCCESS)
        code = CheckDriverPaper(printer, form, &check);
    PrinterOutcome outcome;
    if (code == ERROR_INVALID_FORM_NAME) {
        outcome.result = CheckNotOffered;
        outcome.text = NoSuchFormText(printer, line.operands[0]);
    } else if (code != ERROR_SUCCESS) {
        outcome = Failure(CheckFailed, code, L"检查失败：" + ErrorLine(code));
    } else {
        outcome.result = check.offered ? CheckOffered : CheckNotOffered;
        outcome.text = CheckResultText(printer, form, check);
    }
    if (check.offered) {
        const BrowserSize size = BrowserPaperSize(check.paper.width, check.paper.height);
        json->push_back(JsonMember(L"paper_id", DecimalText(check.paper.id)));
        json->push_back(JsonMember(L"browser_size_mm", JsonObject({JsonMember(L"width", ExactMillimetres(size.width)),
                                                                   JsonMember(L"height", ExactMillimetres(size.height))})));
    }
    FeedPitch pitch;
    if (code == ERROR_SUCCESS && DriftsOnContinuousPaper(form, &pitch))
        json->push_back(JsonMember(L"feed_drift", JsonObject({JsonMember(L"pitch_sixths_inch", DecimalText(static_cast<uint64_t>(pitch.sixths))),
                                                              JsonMember(L"pitch_mm", ExactMillimetres(pitch.thousandths)),
                                                              JsonMember(L"drift_mm", ExactMillimetres(pitch.drift))})));
    return outcome;
}

typedef PrinterOutcome (*PrinterStep)(const CommandLine&, const std::wstring&, const PaperForm&, DWORD,
                                      std::vector<std::wstring>*);

// Each chosen printer in turn, with the form named in the first operand as that printer's table
// has it (FormOnPrinter). A form the PC's table does not have, or a single printer's, ends the
// command with ExitNotFound. A stoppable command stops between two printers when asked to.
int ForEachPrinter(const CommandLine& line, PrinterStep step, const wchar_t* const tokens[], bool stoppable,
                   PrinterReport* report)
{
    std::vector<std::wstring> printers;
    PaperForm form;
    const int chosen = ChoosePrinters(line, &printers);
    if (chosen != ExitDone)
        return chosen;
    if (line.allPrinters && FormOnPrinter(std::wstring(), line.operands[0], &form) == ERROR_INVALID_FORM_NAME) {
        PrintError(NoSuchFormText(std::wstring(), line.operands[0]));
        return ExitNotFound;
    }
    report->json = line.format == L"json";
    report->allPrinters = line.allPrinters;
    for (const std::wstring& printer : printers) {
        if (stoppable && StopRequested()) {
            report->interrupted = true;
            break;
        }
        const DWORD code = FormOnPrinter(printer, line.operands[0], &form);
        if (code == ERROR_INVALID_FORM_NAME && !line.allPrinters) {
            PrintError(NoSuchFormText(printer, line.operands[0]));
            return ExitNotFound;
        }
        std::vector<std::wstring> json;
        const PrinterOutcome outcome = step(line, printer, form, code, &json);
        ReportPrinter(printer, outcome, tokens, report, json);
    }
    return ExitDone;
}

// check NAME on each chosen printer.
int CheckNamed(const CommandLine& line)
{
    PrinterReport report;
    const int code = ForEachPrinter(line, CheckOn, CheckTokens, false, &report);
    if (code != ExitDone)
        return code;
    const size_t* n = report.counts;
    if (report.json)
        PrintLine(JsonResultText({JsonMember(L"changed", L"false"), JsonMember(L"form", JsonString(line.operands[0]))},
                                 L"printers", report.entries,
                                 {JsonMember(L"summary", JsonObject({JsonMember(L"offered", DecimalText(n[CheckOffered])),
                                                                     JsonMember(L"not_offered", DecimalText(n[CheckNotOffered])),
                                                                     JsonMember(L"failed", DecimalText(n[CheckFailed]))}))}));
    return n[CheckNotOffered] + n[CheckFailed] == 0 ? ExitDone : ExitFailed;
}

} // namespace

int DefaultCommand(const CommandLine& line)
{
    PrinterReport report;
    const int code = ForEachPrinter(line, DefaultOn, DefaultTokens, true, &report);
    if (code != ExitDone)
        return code;
    FinishDefault(line, report);
    const size_t* n = report.counts;
    // No printer that offers the form is a failure too: the default is nowhere what was asked.
    if (report.interrupted || n[DefaultFailed] > 0 || n[DefaultSet] + n[DefaultAlready] == 0)
        return ExitFailed;
    return line.dryRun && n[DefaultSet] > 0 ? ExitWouldChange : ExitDone;
}

int CheckCommand(const CommandLine& line)
{
    if (!line.operands.empty())
        return CheckNamed(line);

    std::vector<std::wstring> printers;
    std::wstring defaultPrinter;
    if (!line.printer.empty()) {
        std::wstring printer;
        const int code = ResolvePrinter(line, &printer);
        if (code != ExitDone)
            return code;
        printers.push_back(printer);
    } else {
        int exit = ExitDone;
        if (!ListEveryPrinter(&printers, &exit))
            return exit;
    }
    QueryDefaultPrinter(&defaultPrinter);
    const bool json = line.format == L"json";
    std::vector<std::wstring> entries;
    bool complete = true;
    for (const std::wstring& printer : printers)
        complete = PrintPrinterOverview(printer, !defaultPrinter.empty() && NamesEqual(printer, defaultPrinter),
                                        json ? &entries : nullptr) &&
                   complete;
    std::vector<std::wstring> policies;
    const std::vector<std::wstring> policyLines = BrowserPolicyLines(&policies);
    if (json)
        PrintLine(JsonResultText({JsonMember(L"changed", L"false")}, L"printers", entries,
                                 {JsonMember(L"browser_policy", JsonArray(policies))}));
    else
        for (const std::wstring& text : policyLines)
            PrintLine(text);
    return complete ? ExitDone : ExitFailed;
}
