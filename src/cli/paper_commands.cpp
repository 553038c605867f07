// default and check: the printer's default paper and the driver's paper list, through the
// same window-free layer as the GUI's form-list menu, with its texts.
#include "cli/cli.h"

namespace {

// The printer and the form named in the first operand, copied out of its table.
int NamedForm(const CommandLine& line, std::wstring* printer, PaperForm* form)
{
    std::vector<PaperForm> forms;
    int index = -1;
    const int code = FindNamedForm(line, printer, &forms, &index);
    if (code == ExitDone)
        *form = forms[static_cast<size_t>(index)];
    return code;
}

// One printer of the overview: the paper a browser starts on, then each user form with
// whether the driver lists it. false when something could not be read.
bool PrintPrinterOverview(const std::wstring& printer, bool isDefault)
{
    PrintLine(L"打印机：" + printer + (isDefault ? L"（默认打印机）" : L""));
    std::wstring paper;
    WORD id = 0;
    const DWORD read = ReadDefaultPaper(printer, &paper, &id);
    if (read != ERROR_SUCCESS)
        PrintLine(L"  浏览器起始纸张：无法读取（" + ErrorLine(read) + L"）");
    else
        PrintLine(L"  浏览器起始纸张：" + DefaultPaperName(paper, id));

    std::vector<PaperForm> forms;
    bool opened = false;
    DWORD code = ReadPrinterForms(printer, &forms, &opened);
    std::vector<DriverPaper> papers;
    if (code == ERROR_SUCCESS)
        code = ReadDriverPapers(printer, &papers);
    if (code != ERROR_SUCCESS) {
        PrintLine(L"  无法读取纸张：" + ErrorLine(code));
        return false;
    }
    size_t users = 0;
    for (const PaperForm& form : forms) {
        if (IsProtectedForm(form.flags))
            continue;
        ++users;
        const int at = FindDriverPaper(papers, form);
        if (at >= 0)
            PrintLine(L"  提供：" + form.name + L"（编号 " + DecimalText(papers[static_cast<size_t>(at)].id) + L"）");
        else
            PrintLine(L"  不提供：" + form.name + L"（" + ExactSizeText(form.width, form.height) + L"）");
    }
    if (users == 0)
        PrintLine(L"  没有用户自定义纸张。");
    return read == ERROR_SUCCESS;
}

} // namespace

int DefaultCommand(const CommandLine& line)
{
    std::wstring printer;
    PaperForm form;
    const int found = NamedForm(line, &printer, &form);
    if (found != ExitDone)
        return found;
    DWORD code = ERROR_SUCCESS;
    std::wstring text;
    const PaperOutcome outcome = SetDefaultPaper(printer, form, line.allUsers, &code, &text);
    if (outcome == PaperOutcome::Failed) {
        PrintError(FailureText(L"设置默认纸张", code));
        return ExitFailed;
    }
    if (outcome != PaperOutcome::Done) {
        PrintError(text);
        return ExitFailed;
    }
    PrintLine(text);
    return ExitDone;
}

int CheckCommand(const CommandLine& line)
{
    if (!line.operands.empty()) {
        std::wstring printer;
        PaperForm form;
        const int found = NamedForm(line, &printer, &form);
        if (found != ExitDone)
            return found;
        PaperCheck check;
        const DWORD code = CheckDriverPaper(printer, form, &check);
        if (code != ERROR_SUCCESS) {
            PrintError(L"检查失败：" + ErrorLine(code));
            return ExitFailed;
        }
        PrintLine(CheckResultText(printer, form, check));
        return check.offered ? ExitDone : ExitFailed;
    }

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
    bool complete = true;
    for (const std::wstring& printer : printers)
        complete = PrintPrinterOverview(printer, !defaultPrinter.empty() && NamesEqual(printer, defaultPrinter)) && complete;
    return complete ? ExitDone : ExitFailed;
}
