// The form commands: printers, list, add, set, delete, export and import. Each reads the
// table first, applies the GUI's rules, and opens the printer for a change only when there
// is one to make, so that a run with nothing to do needs no administrator rights.
#include "cli/cli.h"

namespace {

// The changes the GUI refuses, in the GUI's words.
const wchar_t ProtectedFromSet[] = L"系统内置或打印机纸型受保护，不能修改。";
const wchar_t ProtectedFromDelete[] = L"系统内置或打印机纸型受保护，不能删除。";

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

// The operands of add and set under the editor's rules; ExitDone or ExitUsage.
int ReadFormOperands(const CommandLine& line, std::wstring* name, int32_t* width, int32_t* height)
{
    *name = line.operands[0];
    if (name->find(L'\0') != std::wstring::npos) {
        PrintError(L"纸张名称不能含有空字符。");
        return ExitUsage;
    }
    const wchar_t* notice = ValidateEditorTexts(*name, line.operands[1].c_str(), line.operands[2].c_str(), width, height);
    if (notice) {
        PrintError(notice);
        return ExitUsage;
    }
    return ExitDone;
}

enum class Change { Add, Set, Delete };

// One change on a printer opened for administration, closed again before returning. Set and
// Delete find the form by the name the table holds (key); the record carries name.
DWORD ChangeForm(const std::wstring& printer, Change change, const std::wstring& key, const std::wstring& name,
                 int32_t width, int32_t height)
{
    HANDLE handle = nullptr;
    DWORD code = OpenPrinterFor(printer, PRINTER_ALL_ACCESS, &handle);
    if (code != ERROR_SUCCESS)
        return code;
    if (change == Change::Add)
        code = AddUserForm(handle, name, width, height);
    else if (change == Change::Set)
        code = SetUserForm(handle, key, name, width, height);
    else
        code = DeleteUserForm(handle, key);
    Spooler.ClosePrinter(handle);
    return code;
}

// --- import ---

enum class Step { Add, Set, Unchanged, Conflict };

// What import does with one form of the file. A built-in or printer form that already has
// the file's size leaves nothing to do; with another size it cannot be changed.
Step PlanImport(const std::vector<PaperForm>& table, const FileForm& form, PaperForm* stored)
{
    const int at = FindFormByName(table, form.name);
    if (at < 0)
        return Step::Add;
    *stored = table[static_cast<size_t>(at)];
    if (stored->width == form.width && stored->height == form.height)
        return Step::Unchanged;
    return IsProtectedForm(stored->flags) ? Step::Conflict : Step::Set;
}

struct ImportTally {
    size_t added = 0, updated = 0, unchanged = 0, failed = 0;
};

// Where a form that went (or would go) as planned is counted; a conflict counts as failed.
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
    return &tally->failed;
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
            PrintError(L"没有默认打印机。请用 --printer 名称 指定打印机。");
            return ExitNotFound;
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

int ReadPrinterForms(const std::wstring& printer, std::vector<PaperForm>* forms)
{
    HANDLE handle = nullptr;
    DWORD code = OpenPrinterFor(printer, PRINTER_ACCESS_USE, &handle);
    if (code != ERROR_SUCCESS) {
        PrintError(L"无法打开打印机" + Quoted(printer) + L"：" + ErrorLine(code));
        return ExitFailed;
    }
    code = ReadForms(handle, forms);
    Spooler.ClosePrinter(handle);
    if (code != ERROR_SUCCESS) {
        PrintError(L"读取纸张失败：" + ErrorLine(code));
        return ExitFailed;
    }
    return ExitDone;
}

int ReadChosenPrinterForms(const CommandLine& line, std::wstring* printer, std::vector<PaperForm>* forms)
{
    const int code = ResolvePrinter(line, printer);
    return code == ExitDone ? ReadPrinterForms(*printer, forms) : code;
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
    PrintError(L"打印机" + Quoted(*printer) + L"没有名为" + Quoted(line.operands[0]) + L"的纸张。");
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
        std::wstring text = L"{\r\n  \"printer\": " + JsonString(printer) + L",\r\n  \"forms\": [";
        for (size_t i = 0; i < shown.size(); ++i) {
            const PaperForm& form = shown[i];
            text += (i == 0 ? L"\r\n" : L",\r\n");
            text += L"    {\"name\": " + JsonString(form.name) + L", \"width_mm\": " + ExactMillimetres(form.width) +
                    L", \"height_mm\": " + ExactMillimetres(form.height) + L", \"kind\": \"" +
                    FormKindToken(form.flags) + L"\"}";
        }
        text += shown.empty() ? L"]\r\n}" : L"\r\n  ]\r\n}";
        PrintLine(text);
    } else {
        PrintLine(L"打印机：" + printer);
        for (const PaperForm& form : shown)
            PrintLine(form.name + L"（" + ExactSizeText(form.width, form.height) + L"，" + FormKindText(form.flags) + L"）");
        PrintLine(L"共 " + Decimal(shown.size()) + (line.all ? L" 个纸张规格。" : L" 个用户自定义纸张。"));
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
    const DWORD result = ChangeForm(printer, Change::Add, name, name, width, height);
    if (result != ERROR_SUCCESS) {
        PrintError(FailureText(L"添加", result));
        return ExitFailed;
    }
    PrintLine(L"纸张已添加：" + name + L"（" + ExactSizeText(width, height) + L"）。");
    return ExitDone;
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
    if (IsProtectedForm(stored.flags)) {
        PrintError(ProtectedFromSet);
        return ExitUsage;
    }
    if (stored.width == width && stored.height == height) {
        PrintLine(L"纸张尺寸没有变化：" + stored.name + L"（" + ExactSizeText(width, height) + L"）。");
        return ExitDone;
    }
    // The record carries the name as typed: a change of case at most, as in the GUI.
    const DWORD result = ChangeForm(printer, Change::Set, stored.name, name, width, height);
    if (result != ERROR_SUCCESS) {
        PrintError(FailureText(L"修改", result));
        return ExitFailed;
    }
    PrintLine(L"纸张尺寸已修改：" + name + L"（" + ExactSizeText(stored.width, stored.height) + L" \u2192 " +
              ExactSizeText(width, height) + L"）。");
    return ExitDone;
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
    if (IsProtectedForm(stored.flags)) {
        PrintError(ProtectedFromDelete);
        return ExitUsage;
    }
    const DWORD result = ChangeForm(printer, Change::Delete, stored.name, stored.name, 0, 0);
    if (result != ERROR_SUCCESS) {
        PrintError(FailureText(L"删除", result));
        return ExitFailed;
    }
    PrintLine(L"纸张已删除：" + stored.name + L"。");
    return ExitDone;
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
        const std::wstring problem = ExportProblem(form);
        if (problem.empty()) {
            written.push_back(form);
        } else {
            ++skipped;
            PrintError(L"跳过：" + form.name + L"：" + problem + L"，导入时无法还原。");
        }
    }
    const std::wstring& path = line.operands[0];
    DWORD result = ERROR_SUCCESS;
    if (!WriteTextFile(path, FormFileText(written), &result)) {
        PrintError(L"无法写入文件" + Quoted(path) + L"：" + ErrorLine(result));
        return ExitUsage;
    }
    PrintLine(L"已把打印机" + Quoted(printer) + L"的 " + Decimal(written.size()) + L" 个纸张写入" + Quoted(path) +
              (skipped ? L"，跳过 " + Decimal(skipped) + L" 个。" : std::wstring(L"。")));
    return ExitDone;
}

int ImportCommand(const CommandLine& line)
{
    std::vector<FileForm> wanted;
    std::vector<std::wstring> errors;
    if (!ReadFormFile(line.operands[0], &wanted, &errors)) {
        for (const std::wstring& error : errors)
            PrintError(error);
        PrintError(L"没有做任何更改。");
        return ExitUsage;
    }
    std::wstring printer;
    std::vector<PaperForm> table;
    int code = ReadChosenPrinterForms(line, &printer, &table);
    if (code != ExitDone)
        return code;

    PrintLine(L"打印机：" + printer);
    ImportTally tally;
    HANDLE handle = nullptr;
    DWORD openCode = ERROR_SUCCESS;
    bool opened = false;
    for (const FileForm& form : wanted) {
        PaperForm stored;
        const Step step = PlanImport(table, form, &stored);
        if (step == Step::Unchanged || step == Step::Conflict || line.dryRun) {
            PrintLine(ImportLine(step, form, stored, line.dryRun));
            ++*Counter(&tally, step);
            continue;
        }
        // One administrative open for all the changes, made at the first of them.
        if (!opened) {
            openCode = OpenPrinterFor(printer, PRINTER_ALL_ACCESS, &handle);
            opened = true;
        }
        DWORD result = openCode;
        if (result == ERROR_SUCCESS)
            result = step == Step::Add ? AddUserForm(handle, form.name, form.width, form.height)
                                       : SetUserForm(handle, stored.name, form.name, form.width, form.height);
        if (result == ERROR_SUCCESS) {
            PrintLine(ImportLine(step, form, stored, false));
            ++*Counter(&tally, step);
        } else {
            PrintLine(L"失败：" + form.name + L"：" + FailureText(step == Step::Add ? L"添加" : L"修改", result));
            ++tally.failed;
        }
    }
    if (handle)
        Spooler.ClosePrinter(handle);

    const std::wstring counts = Decimal(tally.added) + L" 个，" + (line.dryRun ? L"将更新 " : L"已更新 ") +
                                Decimal(tally.updated) + L" 个，未变化 " + Decimal(tally.unchanged) + L" 个，" +
                                (line.dryRun ? L"将失败 " : L"失败 ") + Decimal(tally.failed) + L" 个。";
    PrintLine(line.dryRun ? L"试运行，没有做任何更改：将添加 " + counts : L"已添加 " + counts);
    return tally.failed == 0 ? ExitDone : ExitFailed;
}
