// The form commands: printers, list, add, set, delete, export and import. Each reads the
// table first (the PC's through the print server, or --printer's), applies the GUI's rules,
// and opens the table for a change only when there is one to make, so that a run with
// nothing to do needs no administrator rights.
#include "cli/cli.h"

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\u201C" + text + L"\u201D"; }

// The forms a listing or an export covers.
std::vector<PaperForm> Selected(const std::vector<PaperForm>& forms, bool all)
{
    std::vector<PaperForm> chosen;
    for (const PaperForm& form : forms)
        if (all || !IsProtectedForm(form.flags))
            chosen.push_back(form);
    return chosen;
}

// The operands of add and set under the rules of a form file; ExitDone or ExitUsage.
int ReadFormOperands(const CommandLine& line, std::wstring* name, int32_t* width, int32_t* height)
{
    *name = line.operands[0];
    const std::wstring problem = FormValuesProblem(*name, line.operands[1], line.operands[2], width, height);
    if (!problem.empty()) {
        PrintError(problem);
        return ExitUsage;
    }
    return ExitDone;
}

// One change on a printer opened for administration, closed again before returning, then its
// line: done, or why it failed. Set and Delete find the form by the name the table holds
// (key); the record carries name.
int ChangeForm(const std::wstring& printer, FormChange change, const std::wstring& key, const std::wstring& name,
               int32_t width, int32_t height, const std::wstring& done)
{
    const std::wstring note = ConnectionNote(printer);
    if (!note.empty())
        PrintLine(note);
    HANDLE handle = nullptr;
    DWORD code = OpenFormTable(printer, true, &handle);
    if (code == ERROR_SUCCESS) {
        code = ChangeUserForm(handle, change, key, name, width, height);
        Spooler.ClosePrinter(handle);
    }
    if (code != ERROR_SUCCESS) {
        PrintError(FailureText(FormChangeAction(change), code));
        return ExitFailed;
    }
    PrintLine(done);
    return ExitDone;
}

// --- import ---

enum class Step { Add, Set, Unchanged, Conflict };

// One form of the file: what import does with it, the table's form of that name, and the
// code its change ended with.
struct ImportStep {
    FileForm form;
    Step step = Step::Add;
    PaperForm stored;
    DWORD result = ERROR_SUCCESS;
};

// What import does with each form of the file. A built-in or printer form that already has
// the file's size leaves nothing to do; with another size it cannot be changed.
std::vector<ImportStep> PlanImport(const std::vector<PaperForm>& table, const std::vector<FileForm>& wanted)
{
    std::vector<ImportStep> plan;
    for (const FileForm& form : wanted) {
        ImportStep planned;
        planned.form = form;
        const int at = FindFormByName(table, form.name);
        if (at >= 0) {
            planned.stored = table[static_cast<size_t>(at)];
            const bool sameSize = planned.stored.width == form.width && planned.stored.height == form.height;
            planned.step = sameSize ? Step::Unchanged : IsProtectedForm(planned.stored.flags) ? Step::Conflict : Step::Set;
        }
        plan.push_back(planned);
    }
    return plan;
}

FormChange ImportChange(Step step) { return step == Step::Add ? FormChange::Add : FormChange::Set; }

// The table opened for administration once, at the first change, for all of them.
struct AdminPrinter {
    HANDLE handle = nullptr;
    DWORD openCode = ERROR_SUCCESS;
    bool tried = false;
};

struct ImportTally {
    size_t added = 0, updated = 0, unchanged = 0, conflict = 0, failed = 0;
};

// What import tells: text lines as the forms go, or the entries of its one JSON object.
struct ImportReport {
    bool json = false;
    bool dryRun = false;
    std::wstring note; // ConnectionNote, once a change is made
    std::vector<std::wstring> entries;
    ImportTally tally;
    bool interrupted = false;
};

DWORD ApplyImportStep(const std::wstring& printer, const ImportStep& planned, AdminPrinter* admin, ImportReport* report)
{
    if (!admin->tried) {
        report->note = ConnectionNote(printer);
        if (!report->json && !report->note.empty())
            PrintLine(report->note);
        admin->openCode = OpenFormTable(printer, true, &admin->handle);
        admin->tried = true;
    }
    if (admin->openCode != ERROR_SUCCESS)
        return admin->openCode;
    return ChangeUserForm(admin->handle, ImportChange(planned.step), planned.stored.name, planned.form.name,
                          planned.form.width, planned.form.height);
}

// Where a form that went (or would go) as planned is counted.
size_t* Counter(ImportTally* tally, Step step)
{
    switch (step) {
    case Step::Add:
        return &tally->added;
    case Step::Set:
        return &tally->updated;
    case Step::Unchanged:
        return &tally->unchanged;
    case Step::Conflict:
        break;
    }
    return &tally->conflict;
}

const wchar_t* ImportOutcome(Step step)
{
    const wchar_t* const tokens[] = {L"added", L"updated", L"unchanged", L"conflict"};
    return tokens[static_cast<int>(step)];
}

// The one line import prints for a form; dry runs say what would happen.
std::wstring ImportLine(Step step, const FileForm& form, const PaperForm& stored, bool dryRun)
{
    const std::wstring size = ExactSizeText(form.width, form.height);
    switch (step) {
    case Step::Add:
        return (dryRun ? L"将添加：" : L"已添加：") + form.name + L"（" + size + L"）";
    case Step::Set:
        return (dryRun ? L"将更新：" : L"已更新：") + form.name + L"（" + ExactSizeText(stored.width, stored.height) +
               L" \u2192 " + size + L"）";
    case Step::Unchanged:
        if (IsProtectedForm(stored.flags))
            return L"未变化：" + form.name + L"（" + FormKindText(stored.flags) + L"纸张）";
        return L"未变化：" + form.name;
    case Step::Conflict:
        break;
    }
    return L"冲突：" + form.name + L"：已有同名的" + FormKindText(stored.flags) + L"纸张（" +
           ExactSizeText(stored.width, stored.height) + L"），它不能修改。";
}

// The line or JSON entry of one form, counted where it belongs; a failed call counts as failed.
void ReportImportStep(const ImportStep& planned, ImportReport* report)
{
    const bool failed = planned.result != ERROR_SUCCESS;
    const std::wstring line =
        failed ? L"失败：" + planned.form.name + L"：" +
                     FailureText(FormChangeAction(ImportChange(planned.step)), planned.result)
               : ImportLine(planned.step, planned.form, planned.stored, report->dryRun);
    ++*(failed ? &report->tally.failed : Counter(&report->tally, planned.step));
    if (!report->json) {
        PrintLine(line);
        return;
    }
    std::vector<std::wstring> members = {JsonMember(L"name", JsonString(planned.form.name)),
                                         JsonMember(L"width_mm", ExactMillimetres(planned.form.width)),
                                         JsonMember(L"height_mm", ExactMillimetres(planned.form.height)),
                                         JsonMember(L"outcome", JsonString(failed ? L"failed" : ImportOutcome(planned.step)))};
    if (failed || planned.step == Step::Conflict)
        AddJsonError(&members, planned.result, line);
    report->entries.push_back(JsonObject(members));
}

void ReportImportTally(const ImportTally& tally, bool dryRun)
{
    const std::wstring counts = DecimalText(tally.added) + L" 个，" + (dryRun ? L"将更新 " : L"已更新 ") +
                                DecimalText(tally.updated) + L" 个，未变化 " + DecimalText(tally.unchanged) + L" 个，" +
                                (dryRun ? L"将失败 " : L"失败 ") + DecimalText(tally.conflict + tally.failed) + L" 个。";
    PrintLine(dryRun ? L"试运行，没有做任何更改：将添加 " + counts : L"已添加 " + counts);
}

// Applies (or, for a dry run, only reports) each planned form in turn, stopping between two
// forms when asked to.
void RunImport(const std::wstring& printer, std::vector<ImportStep> plan, ImportReport* report)
{
    AdminPrinter admin;
    for (ImportStep& planned : plan) {
        if (StopRequested()) {
            report->interrupted = true;
            break;
        }
        const bool change = planned.step == Step::Add || planned.step == Step::Set;
        if (change && !report->dryRun)
            planned.result = ApplyImportStep(printer, planned, &admin, report);
        ReportImportStep(planned, report);
    }
    if (admin.handle)
        Spooler.ClosePrinter(admin.handle);
}

// The summary (or the JSON object) and the exit code: failures and interruptions first, then
// whether a dry run found something to change.
int FinishImport(const std::wstring& printer, const std::wstring& encoding, const ImportReport& report)
{
    const ImportTally& tally = report.tally;
    const bool changes = tally.added + tally.updated > 0;
    if (report.json) {
        std::vector<std::wstring> head = {JsonMember(L"changed", JsonBool(changes)),
                                          JsonMember(L"dry_run", JsonBool(report.dryRun)),
                                          JsonMember(L"printer", printer.empty() ? L"null" : JsonString(printer)),
                                          JsonMember(L"encoding", JsonString(encoding))};
        if (!report.note.empty())
            head.push_back(JsonMember(L"note", JsonString(report.note)));
        const std::wstring summary = JsonObject(
            {JsonMember(L"added", DecimalText(tally.added)), JsonMember(L"updated", DecimalText(tally.updated)),
             JsonMember(L"unchanged", DecimalText(tally.unchanged)), JsonMember(L"conflict", DecimalText(tally.conflict)),
             JsonMember(L"failed", DecimalText(tally.failed))});
        PrintLine(JsonResultText(head, L"forms", report.entries,
                                 {JsonMember(L"summary", summary), JsonMember(L"interrupted", JsonBool(report.interrupted))}));
    } else {
        ReportImportTally(tally, report.dryRun);
        if (report.interrupted)
            PrintLine(InterruptedText);
    }
    if (report.interrupted || tally.conflict + tally.failed > 0)
        return ExitFailed;
    return report.dryRun && changes ? ExitWouldChange : ExitDone;
}

} // namespace

int ResolvePrinter(const CommandLine& line, std::wstring* printer)
{
    std::vector<std::wstring> printers;
    const DWORD listed = ListPrinters(&printers);
    if (listed != ERROR_SUCCESS) {
        PrintError(L"读取打印机失败：" + ErrorLine(listed));
        return ExitFailed;
    }
    std::wstring wanted = line.printer;
    if (wanted.empty()) {
        const DWORD code = QueryDefaultPrinter(&wanted);
        if (code == ERROR_FILE_NOT_FOUND) {
            PrintError(L"没有默认打印机。请用 --printer 名称 指定打印机，或用 --all-printers 处理每台打印机。");
            return ExitUsage;
        }
        if (code != ERROR_SUCCESS) {
            PrintError(L"读取默认打印机失败：" + ErrorLine(code));
            return ExitFailed;
        }
    }
    for (const std::wstring& name : printers) {
        if (NamesEqual(name, wanted)) {
            *printer = name;
            return ExitDone;
        }
    }
    if (line.printer.empty()) {
        // A default the list does not show (a connection out of reach, say) is still tried.
        *printer = wanted;
        return ExitDone;
    }
    PrintError(L"找不到打印机" + Quoted(wanted) + L"。用 printers 命令列出已安装的打印机。");
    return ExitNotFound;
}

int ChoosePrinters(const CommandLine& line, std::vector<std::wstring>* printers)
{
    printers->clear();
    if (!line.allPrinters) {
        printers->emplace_back();
        return ResolvePrinter(line, &printers->back());
    }
    const DWORD code = ListPrinters(printers);
    if (code == ERROR_SUCCESS)
        return ExitDone;
    PrintError(L"读取打印机失败：" + ErrorLine(code));
    return ExitFailed;
}

std::wstring TableSubject(const std::wstring& printer)
{
    return printer.empty() ? std::wstring(L"本机纸张表") : L"打印机" + Quoted(printer);
}

std::wstring NoSuchFormText(const std::wstring& printer, const std::wstring& name)
{
    return TableSubject(printer) + L"没有名为" + Quoted(name) + L"的纸张。";
}

std::wstring TableTitle(const std::wstring& printer)
{
    return printer.empty() ? std::wstring(L"纸张表：本机") : L"打印机：" + printer;
}

std::wstring ConnectionNote(const std::wstring& printer)
{
    if (printer.compare(0, 2, L"\\\\") != 0)
        return std::wstring();
    const std::wstring server = printer.substr(2, printer.find(L'\\', 2) - 2);
    return L"注意：这是网络打印机连接，纸张将保存到打印服务器 " + server + L" 上，需要该服务器的管理员权限。";
}

int ReadPrinterTable(const std::wstring& printer, std::vector<PaperForm>* forms)
{
    bool opened = false;
    const DWORD code = ReadPrinterForms(printer, forms, &opened);
    if (code == ERROR_SUCCESS)
        return ExitDone;
    if (!opened)
        PrintError((printer.empty() ? std::wstring(L"无法打开本机的打印服务器") : L"无法打开打印机" + Quoted(printer)) + L"：" +
                   ErrorLine(code));
    else
        PrintError(L"读取纸张失败：" + ErrorLine(code));
    return ExitFailed;
}

int ReadChosenPrinterForms(const CommandLine& line, std::wstring* printer, std::vector<PaperForm>* forms)
{
    printer->clear();
    const int code = line.printer.empty() ? ExitDone : ResolvePrinter(line, printer);
    return code == ExitDone ? ReadPrinterTable(*printer, forms) : code;
}

bool ListEveryPrinter(std::vector<std::wstring>* printers, int* exit)
{
    const DWORD code = ListPrinters(printers);
    if (code != ERROR_SUCCESS) {
        PrintError(L"读取打印机失败：" + ErrorLine(code));
        *exit = ExitFailed;
        return false;
    }
    if (printers->empty()) {
        PrintLine(L"没有检测到已安装的打印机。");
        *exit = ExitDone;
        return false;
    }
    return true;
}

int FindNamedForm(const CommandLine& line, std::wstring* printer, std::vector<PaperForm>* forms, int* index)
{
    const int code = ReadChosenPrinterForms(line, printer, forms);
    if (code != ExitDone)
        return code;
    *index = FindFormByName(*forms, line.operands[0]);
    if (*index >= 0)
        return ExitDone;
    PrintError(NoSuchFormText(*printer, line.operands[0]));
    return ExitNotFound;
}

int PrintersCommand(const CommandLine&)
{
    std::vector<std::wstring> printers;
    int exit = ExitDone;
    if (!ListEveryPrinter(&printers, &exit))
        return exit;
    std::wstring defaultPrinter;
    QueryDefaultPrinter(&defaultPrinter);
    for (const std::wstring& name : printers)
        PrintLine((!defaultPrinter.empty() && NamesEqual(name, defaultPrinter) ? L"* " : L"  ") + name);
    return ExitDone;
}

int ListCommand(const CommandLine& line)
{
    std::wstring printer;
    std::vector<PaperForm> forms;
    int code = ReadChosenPrinterForms(line, &printer, &forms);
    if (code != ExitDone)
        return code;
    const std::vector<PaperForm> shown = Selected(forms, line.all);

    if (line.format == L"csv") {
        PrintLine(L"name,width_mm,height_mm,kind");
        for (const PaperForm& form : shown)
            PrintLine(CsvField(form.name) + L"," + ExactMillimetres(form.width) + L"," + ExactMillimetres(form.height) +
                      L"," + FormKindToken(form.flags));
    } else if (line.format == L"json") {
        std::vector<std::wstring> entries;
        for (const PaperForm& form : shown)
            entries.push_back(JsonObject({JsonMember(L"name", JsonString(form.name)),
                                          JsonMember(L"width_mm", ExactMillimetres(form.width)),
                                          JsonMember(L"height_mm", ExactMillimetres(form.height)),
                                          JsonMember(L"kind", JsonString(FormKindToken(form.flags)))}));
        PrintLine(JsonResultText({JsonMember(L"printer", printer.empty() ? L"null" : JsonString(printer))}, L"forms",
                                 entries, {}));
    } else {
        PrintLine(TableTitle(printer));
        for (const PaperForm& form : shown)
            PrintLine(form.name + L"（" + ExactSizeText(form.width, form.height) + L"，" + FormKindText(form.flags) + L"）");
        PrintLine(L"共 " + DecimalText(shown.size()) + (line.all ? L" 个纸张规格。" : L" 个用户自定义纸张。"));
    }
    return ExitDone;
}

int AddCommand(const CommandLine& line)
{
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
    std::wstring printer;
    std::vector<PaperForm> forms;
    int code = ReadFormOperands(line, &name, &width, &height);
    if (code == ExitDone)
        code = ReadChosenPrinterForms(line, &printer, &forms);
    if (code != ExitDone)
        return code;
    const int existing = FindFormByName(forms, name);
    if (existing >= 0) {
        PrintError(L"已经存在同名纸张" + Quoted(forms[static_cast<size_t>(existing)].name) +
                   L"。要修改它的尺寸请用 set 命令。");
        return ExitUsage;
    }
    return ChangeForm(printer, FormChange::Add, name, name, width, height,
                      L"纸张已添加：" + name + L"（" + ExactSizeText(width, height) + L"）。");
}

int SetCommand(const CommandLine& line)
{
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
    std::wstring printer;
    std::vector<PaperForm> forms;
    int index = -1;
    int code = ReadFormOperands(line, &name, &width, &height);
    if (code == ExitDone)
        code = FindNamedForm(line, &printer, &forms, &index);
    if (code != ExitDone)
        return code;
    const PaperForm stored = forms[static_cast<size_t>(index)];
    if (const wchar_t* notice = ProtectedFormNotice(stored, FormChange::Set)) {
        PrintError(notice);
        return ExitUsage;
    }
    if (stored.width == width && stored.height == height) {
        PrintLine(L"纸张尺寸没有变化：" + stored.name + L"（" + ExactSizeText(width, height) + L"）。");
        return ExitDone;
    }
    // The record carries the name as typed: a change of case at most, as in the GUI.
    return ChangeForm(printer, FormChange::Set, stored.name, name, width, height,
                      L"纸张尺寸已修改：" + name + L"（" + ExactSizeText(stored.width, stored.height) + L" \u2192 " +
                          ExactSizeText(width, height) + L"）。");
}

int DeleteCommand(const CommandLine& line)
{
    std::wstring printer;
    std::vector<PaperForm> forms;
    int index = -1;
    const int code = FindNamedForm(line, &printer, &forms, &index);
    if (code != ExitDone)
        return code;
    const PaperForm stored = forms[static_cast<size_t>(index)];
    if (const wchar_t* notice = ProtectedFormNotice(stored, FormChange::Delete)) {
        PrintError(notice);
        return ExitUsage;
    }
    return ChangeForm(printer, FormChange::Delete, stored.name, stored.name, 0, 0, L"纸张已删除：" + stored.name + L"。");
}

int ExportCommand(const CommandLine& line)
{
    std::wstring printer;
    std::vector<PaperForm> forms;
    int code = ReadChosenPrinterForms(line, &printer, &forms);
    if (code != ExitDone)
        return code;
    std::vector<PaperForm> written;
    size_t skipped = 0;
    for (const PaperForm& form : Selected(forms, line.all)) {
        // Nothing is written when asked to stop: a rerun writes the whole file.
        if (StopRequested()) {
            PrintLine(InterruptedText);
            return ExitFailed;
        }
        const std::wstring problem = ExportProblem(form);
        if (problem.empty()) {
            written.push_back(form);
        } else {
            ++skipped;
            PrintError(L"跳过：" + form.name + L"：" + problem + L"，导入时无法还原。");
        }
    }
    const std::wstring& path = line.operands[0];
    if (path == L"-") {
        // Standard output carries the file alone, so that a redirection or a pipe gets it whole.
        const std::wstring text = FormFileText(written);
        PrintLine(text.substr(0, text.size() - 2));
        return ExitDone;
    }
    DWORD result = ERROR_SUCCESS;
    if (!WriteTextFile(path, FormFileText(written), &result)) {
        PrintError(L"无法写入文件" + Quoted(path) + L"：" + ErrorLine(result));
        return ExitUsage;
    }
    PrintLine(L"已把" + TableSubject(printer) + L"的 " + DecimalText(written.size()) + L" 个纸张写入" + Quoted(path) +
              (skipped ? L"，跳过 " + DecimalText(skipped) + L" 个。" : std::wstring(L"。")));
    return ExitDone;
}

int ImportCommand(const CommandLine& line)
{
    std::vector<FileForm> wanted;
    std::vector<std::wstring> errors;
    std::wstring encoding;
    if (!ReadFormFile(line.operands[0], line.encoding, &wanted, &encoding, &errors)) {
        for (const std::wstring& error : errors)
            PrintError(error);
        PrintError(L"没有做任何更改。");
        return ExitUsage;
    }
    const bool json = line.format == L"json";
    // JSON carries the encoding as a member: its output is the one object.
    if (!json)
        PrintLine(L"文件编码：" + encoding);
    std::wstring printer;
    std::vector<PaperForm> table;
    const int code = ReadChosenPrinterForms(line, &printer, &table);
    if (code != ExitDone)
        return code;
    ImportReport report;
    report.json = json;
    report.dryRun = line.dryRun;
    if (!report.json)
        PrintLine(TableTitle(printer));
    RunImport(printer, PlanImport(table, wanted), &report);
    return FinishImport(printer, encoding, report);
}
