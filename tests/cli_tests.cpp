// zeltra-forms.exe run as a script runs it: a separate process with its output in pipes, on
// the stand-in spooler's state file, checked by exit code, output and the persisted table.
#include <windows.h>

#include <sddl.h>

#include <fstream>

#include "harness/harness.h"

namespace {

const DWORD RunTimeoutMs = 60000;

struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out; // UTF-8, as a pipe receives it
    std::string err;
};

DWORD WINAPI DrainPipe(void* context)
{
    auto* pipe = static_cast<std::pair<HANDLE, std::string*>*>(context);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe->first, buffer, sizeof buffer, &got, nullptr) && got > 0)
        pipe->second->append(buffer, got);
    return 0;
}

// Runs the built exe with these arguments (each quoted) on the state UseSpoolerState set.
ToolRun RunForms(const std::vector<std::wstring>& arguments)
{
    ToolRun run;
    const std::wstring exe = WindowsPath(ZELTRA_FORMS_EXE_PATH);
    std::wstring commandLine = L"\"" + exe + L"\"";
    for (const std::wstring& argument : arguments)
        commandLine += L" \"" + argument + L"\"";

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0));
    EXPECT_TRUE(CreatePipe(&errRead, &errWrite, &inherit, 0));
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info = {};
    // No console of its own: its output goes only where a script's redirection sends it.
    const BOOL started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(input);
    if (!started) {
        ADD_FAILURE() << "CreateProcessW(" << Narrow(exe) << ") failed with error " << GetLastError();
        CloseHandle(outRead);
        CloseHandle(errRead);
        return run;
    }
    std::pair<HANDLE, std::string*> outPipe(outRead, &run.out), errPipe(errRead, &run.err);
    HANDLE readers[2] = {CreateThread(nullptr, 0, DrainPipe, &outPipe, 0, nullptr),
                         CreateThread(nullptr, 0, DrainPipe, &errPipe, 0, nullptr)};
    if (WaitForSingleObject(info.hProcess, RunTimeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << Narrow(commandLine) << " did not finish within " << RunTimeoutMs << " ms";
        TerminateProcess(info.hProcess, 0xFFFFFFFF);
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForMultipleObjects(2, readers, TRUE, RunTimeoutMs))
        << "the output pipes stayed open after " << Narrow(commandLine);
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    for (HANDLE handle : {readers[0], readers[1], info.hProcess, info.hThread, outRead, errRead})
        CloseHandle(handle);
    return run;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// One printer of the stand-in, with these form lines and no standard forms.
std::string PrinterState(const std::string& forms, const char* admin = "yes")
{
    return std::string("admin ") + admin + "\nstandard-forms no\nprinter \"CLI 打印机\" extent 254 254 2410 5588\n"
           "printer \"Second\"\ndefault \"CLI 打印机\"\n" + forms;
}

// The system's text for a code up to its line break, as one line of output carries it.
std::string FirstLine(const std::wstring& text)
{
    const std::string narrow = Narrow(text);
    return narrow.substr(0, narrow.find('\r'));
}

const std::string Printer = "form printer 241000 305000 0 0 241000 305000 \"DP-750 Fanfold\"\n";
const std::string Receipts = "form user 241000 101600 0 0 241000 101600 \"收据 241x101.6\"\n";

} // namespace

// --- import and export ---

TEST(CliImport, ExportThenImportOnAFreshTableGivesTheSameTable)
{
    const std::string userForms = "form user 100001 2000000 0 0 100001 2000000 \"收据, 二联\"\n"
                                  "form user 10000 123456 0 0 10000 123456 \"引号\\\"名\\\"\"\n";
    UseSpoolerState(PrinterState(Printer + userForms));
    const std::vector<std::string> before = PersistedFormLines();
    UseSpoolerState(PrinterState(Printer + userForms + "form user 241000 101600 0 0 241000 101600 \" 前后空格 \"\n"));
    const ToolRun exported = RunForms({L"export", L"roundtrip.csv"});
    EXPECT_EQ(0u, exported.exitCode) << exported.err;
    EXPECT_EQ("跳过： 前后空格 ：纸张名称的开头和结尾不能有空格，导入时无法还原。\r\n", exported.err);
    const std::string records = "name,width_mm,height_mm\r\n\"收据, 二联\",100.001,2000\r\n\"引号\"\"名\"\"\",10,123.456\r\n";
    EXPECT_EQ("\xEF\xBB\xBF" + records, ReadBytes("roundtrip.csv"));
    // To a pipe: the records alone, without a BOM.
    EXPECT_EQ(records, RunForms({L"export", L"-"}).out);

    UseSpoolerState(PrinterState(Printer));
    const ToolRun imported = RunForms({L"import", L"roundtrip.csv"});
    EXPECT_EQ(0u, imported.exitCode) << imported.err;
    EXPECT_EQ(before, PersistedFormLines());
    EXPECT_NE(std::string::npos, imported.out.find("\r\n已添加 2 个，已更新 0 个，未变化 0 个，失败 0 个。\r\n")) << imported.out;
}

TEST(CliImport, ASecondRunChangesNothingAndADryRunOnlySays)
{
    UseSpoolerState(PrinterState(Printer + Receipts + "form user 241000 93000 0 0 241000 93000 \"发货单\"\n"));
    WriteBytes("twice.csv", "name,width_mm,height_mm\n收据 241X101.6,241,101.6\n发货单,241,94\n新纸,210,140.5\n"
                            "dp-750 fanfold,241,305\n");
    const std::vector<std::string> before = PersistedFormLines();
    const ToolRun dry = RunForms({L"import", L"twice.csv", L"--dry-run"});
    EXPECT_EQ(4u, dry.exitCode) << dry.err;
    EXPECT_EQ((std::vector<std::string>{"文件编码：UTF-8\r", "纸张表：本机\r", "未变化：收据 241X101.6\r",
                                        "将更新：发货单（241 × 93 mm → 241 × 94 mm）\r", "将添加：新纸（210 × 140.5 mm）\r",
                                        "未变化：dp-750 fanfold（打印机纸张）\r",
                                        "试运行，没有做任何更改：将添加 1 个，将更新 1 个，未变化 2 个，将失败 0 个。\r"}),
              SplitLines(dry.out));
    EXPECT_EQ(before, PersistedFormLines());

    const ToolRun first = RunForms({L"import", L"twice.csv"});
    EXPECT_EQ(0u, first.exitCode) << first.err;
    EXPECT_EQ((std::vector<std::string>{"form printer 241000 305000 0 0 241000 305000 \"DP-750 Fanfold\"",
                                        "form user 241000 101600 0 0 241000 101600 \"收据 241x101.6\"",
                                        "form user 241000 94000 0 0 241000 94000 \"发货单\"",
                                        "form user 210000 140500 0 0 210000 140500 \"新纸\""}),
              PersistedFormLines());

    // Nothing left to change needs no rights either.
    const std::vector<std::string> after = PersistedFormLines();
    UseSpoolerState(PrinterState(Printer + Receipts + "form user 241000 94000 0 0 241000 94000 \"发货单\"\n"
                                 "form user 210000 140500 0 0 210000 140500 \"新纸\"\n", "no"));
    const ToolRun second = RunForms({L"import", L"twice.csv"});
    EXPECT_EQ(0u, second.exitCode) << second.err;
    EXPECT_EQ((std::vector<std::string>{"文件编码：UTF-8\r", "纸张表：本机\r", "未变化：收据 241X101.6\r", "未变化：发货单\r", "未变化：新纸\r",
                                        "未变化：dp-750 fanfold（打印机纸张）\r",
                                        "已添加 0 个，已更新 0 个，未变化 4 个，失败 0 个。\r"}),
              SplitLines(second.out));
    EXPECT_EQ(after, PersistedFormLines());
    EXPECT_EQ(0u, RunForms({L"import", L"twice.csv", L"--dry-run"}).exitCode) << "nothing would change";
}

TEST(CliImport, AnInvalidFileIsReportedByLineAndNothingIsApplied)
{
    UseSpoolerState(PrinterState(Receipts));
    const std::vector<std::string> before = PersistedFormLines();
    WriteBytes("invalid.csv", "name,width_mm,height_mm\r\nGood,100,100\r\nTiny,5,100\r\n\"Multi\nline\",100,100\r\n"
                              "good,120,120\r\nShort,100\r\n");
    const ToolRun run = RunForms({L"import", L"invalid.csv"});
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("第 3 行：宽度和高度请输入 10～2000 mm 之间的数字。\r\n第 4 行：纸张名称不能含有换行。\r\n"
              "第 6 行：纸张“good”与第 2 行重名。\r\n"
              "第 7 行：应有 3 个字段（名称,宽度,高度），这一行有 2 个。\r\n没有做任何更改。\r\n",
              run.err);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(before, PersistedFormLines());

    WriteBytes("gbk.csv", "name,width_mm,height_mm\r\nOK,100,100\r\n\xB7\xA2\xBB\xF5,100,100\r\n");
    const ToolRun gbk = RunForms({L"import", L"gbk.csv", L"--encoding", L"utf-8"});
    EXPECT_EQ(2u, gbk.exitCode);
    EXPECT_EQ(0u, gbk.err.find("第 3 行：不是有效的 UTF-8 文本。")) << gbk.err;
    EXPECT_EQ(before, PersistedFormLines());
}

TEST(CliImport, AFailedCallInTheMiddleIsReportedAndTheOthersAreApplied)
{
    UseSpoolerState(PrinterState(Receipts + "fault AddFormW 1722 once\n"));
    WriteBytes("fault.csv", "name,width_mm,height_mm\n收据 241x101.6,241,100\nLost,100,100\nKept,110,110\n");
    const ToolRun run = RunForms({L"import", L"fault.csv"});
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ((std::vector<std::string>{"文件编码：UTF-8\r", "纸张表：本机\r", "已更新：收据 241x101.6（241 × 101.6 mm → 241 × 100 mm）\r",
                                        "失败：Lost：添加失败：" + FirstLine(SystemText(1722)) + "\r",
                                        "已添加：Kept（110 × 110 mm）\r", "已添加 1 个，已更新 1 个，未变化 0 个，失败 1 个。\r"}),
              SplitLines(run.out));
    EXPECT_EQ((std::vector<std::string>{"form user 241000 100000 0 0 241000 100000 \"收据 241x101.6\"",
                                        "form user 110000 110000 0 0 110000 110000 \"Kept\""}),
              PersistedFormLines());
}

TEST(CliImport, ChineseNamesArriveIntactThroughArgumentsAndEveryFileEncoding)
{
    const std::wstring name = L"三等分多联纸 241×93 📄";
    UseSpoolerState(PrinterState(""));
    const ToolRun added = RunForms({L"add", name, L"241", L"93"});
    EXPECT_EQ(0u, added.exitCode) << added.err;
    EXPECT_EQ("纸张已添加：" + Narrow(name) + "（241 × 93 mm）。\r\n", added.out);
    const std::vector<std::string> expected = {"form user 241000 93000 0 0 241000 93000 \"" + Narrow(name) + "\""};
    EXPECT_EQ(expected, PersistedFormLines());

    const std::wstring text = L"name,width_mm,height_mm\r\n" + name + L",241,93\r\n";
    const struct {
        const char* encoding;
        std::string bytes;
    } files[] = {{"UTF-8", Narrow(text)}, {"UTF-8 with BOM", "\xEF\xBB\xBF" + Narrow(text)}, {"UTF-16 LE", Utf16File(text)}};
    for (const auto& file : files) {
        UseSpoolerState(PrinterState(""));
        WriteBytes("encoded.csv", file.bytes);
        const ToolRun run = RunForms({L"import", L"encoded.csv"});
        EXPECT_EQ(0u, run.exitCode) << file.encoding << ": " << run.err;
        EXPECT_EQ(expected, PersistedFormLines()) << file.encoding;
    }
}

// The tests run under the zh_CN locale (scripts/zeltra.sh), which gives Wine's processes the
// ANSI code page 936 of Chinese Windows; "代码页 936" in the output shows the exe had it.
TEST(CliImport, ExcelsGbkFilesAreToldFromUtf8OnAChineseSystem)
{
    // 支票 241x93, 凭证 241x140, 税票 in GBK: valid UTF-8 too, as "֧Ʊ 241x93", "ƾ֤ 241x140", "˰Ʊ".
    const std::string gbk = "name,width_mm,height_mm\r\n\xD6\xA7\xC6\xB1 241x93,241,93\r\n\xC6\xBE\xD6\xA4 241x140,241,140\r\n"
                            "\xCB\xB0\xC6\xB1,241,100\r\n";
    const struct {
        std::string bytes;
        std::vector<std::wstring> options;
        const char* encoding; // the first line of the output
        const char* names;    // the names stored, in the stand-in's order
    } files[] = {
        {gbk, {}, "文件编码：GBK（代码页 936）", "支票 241x93|凭证 241x140|税票|"},
        {gbk, {L"--encoding", L"UTF-8"}, "文件编码：UTF-8", "֧Ʊ 241x93|ƾ֤ 241x140|˰Ʊ|"},
        // Not UTF-8 at all (发货单).
        {"name,width_mm,height_mm\r\n\xB7\xA2\xBB\xF5\xB5\xA5,241,93\r\n", {}, "文件编码：GBK（代码页 936）", "发货单|"},
        {"name,width_mm,height_mm\r\nGröße A4,210,297\r\n", {}, "文件编码：UTF-8", "Größe A4|"},
        {"name,width_mm,height_mm\r\nФормат А4,210,297\r\n", {}, "文件编码：UTF-8", "Формат А4|"},
    };
    for (const auto& file : files) {
        UseSpoolerState(PrinterState(""));
        WriteBytes("excel.csv", file.bytes);
        std::vector<std::wstring> arguments = {L"import", L"excel.csv"};
        arguments.insert(arguments.end(), file.options.begin(), file.options.end());
        const ToolRun run = RunForms(arguments);
        EXPECT_EQ(0u, run.exitCode) << file.names << ": " << run.err;
        EXPECT_EQ(0u, run.out.find(file.encoding + std::string("\r\n"))) << run.out;
        std::string names;
        for (const std::string& form : PersistedFormLines())
            names += form.substr(form.find('"') + 1, form.size() - form.find('"') - 2) + "|";
        EXPECT_EQ(file.names, names);
    }
}

TEST(CliImport, HeaderVariantsAreTakenAndValuesAreStrict)
{
    const std::string notNumber = "不是以毫米为单位的数字（例如 241 或 101.6，最多三位小数）。\r\n";
    const struct {
        const char* file;
        const char* err; // all of standard error; empty when the one form 票据 (241 × 93.5 mm) is imported
    } cases[] = {
        {"NAME , Width_MM,HEIGHT_mm\r\n票据, 241 ,93.5\r\n", ""},
        {"名称,宽度,高度\n票据,241,93.5\n", ""},
        {"name,width_mm,height_mm,kind\r\n票据,241,93.5,user\r\n", ""},
        {"name,width_mm,height_mm,\r\n票据,241,93.5,\r\n,,\r\n", ""},
        {"name,width_mm,height_mm\r票据,241,93.5\r", ""},
        {"name;width_mm;height_mm\r\n票据;241;93,5\r\n", "文件用分号分隔各列。请改用逗号（在 Excel 中另存为“CSV UTF-8（逗号分隔）”）。\r\n"},
        {"name\twidth_mm\theight_mm\r\n票据\t241\t93.5\r\n", "文件用制表符分隔各列。请改用逗号（在 Excel 中另存为“CSV UTF-8（逗号分隔）”）。\r\n"},
        {"票据,241,93.5\r\n", "第 1 行：缺少表头。第一行应为 name,width_mm,height_mm。\r\n"},
        {"name,width_mm,height_mm\r\nA,\"101,6\",100\r\nB,24.1cm,100\r\nC,10in,100\r\nD,0xF1,100\r\nE,241,2.41e2\r\nF,241,1.2345\r\n"
         " G,100,100\r\nH ,100,100\r\n\"  \",100,100\r\n\"I\r\nJ\",100,100\r\nK\x01,100,100\r\n",
         nullptr},
    };
    const std::string strict = "第 2 行：宽度“101,6”" + notNumber + "第 3 行：宽度“24.1cm”" + notNumber + "第 4 行：宽度“10in”" +
                               notNumber + "第 5 行：宽度“0xF1”" + notNumber + "第 6 行：高度“2.41e2”" + notNumber +
                               "第 7 行：高度“1.2345”" + notNumber + "第 8 行：纸张名称的开头和结尾不能有空格。\r\n"
                               "第 9 行：纸张名称的开头和结尾不能有空格。\r\n第 10 行：纸张名称不能只有空白字符。\r\n"
                               "第 11 行：纸张名称不能含有换行。\r\n第 13 行：纸张名称不能含有控制字符（U+0001）。\r\n";
    for (const auto& c : cases) {
        UseSpoolerState(PrinterState(""));
        WriteBytes("variant.csv", c.file);
        const ToolRun run = RunForms({L"import", L"variant.csv"});
        const std::string err = c.err ? c.err : strict;
        EXPECT_EQ(err.empty() ? 0u : 2u, run.exitCode) << c.file;
        EXPECT_EQ(err.empty() ? err : err + "没有做任何更改。\r\n", run.err) << c.file;
        EXPECT_EQ(err.empty() ? std::vector<std::string>{"form user 241000 93500 0 0 241000 93500 \"票据\""}
                              : std::vector<std::string>{},
                  PersistedFormLines())
            << c.file;
    }
}

// --- the other commands ---

TEST(CliCommands, ExitCodesAndMessagesOfEachCommand)
{
    const struct {
        std::vector<std::wstring> arguments;
        const char* admin;
        DWORD exitCode;
        const char* out; // the start of standard output
        const char* err; // the start of standard error
    } cases[] = {
        {{L"printers"}, "yes", 0, "* CLI 打印机\r\n  Second\r\n", ""},
        // The spooler stopped: its sizing call fails with 0 bytes.
        {{L"printers"}, "yes\nfault EnumPrintersW.size 1722", 1, "", "读取打印机失败："},
        {{L"list", L"--printer", L"cli 打印机"}, "yes", 0, "打印机：CLI 打印机\r\n收据 241x101.6（241 × 101.6 mm，用户）\r\n共 1 个用户自定义纸张。\r\n", ""},
        {{L"list", L"--all", L"--format", L"csv"}, "yes", 0, "name,width_mm,height_mm,kind\r\nDP-750 Fanfold,241,305,printer\r\n收据 241x101.6,241,101.6,user\r\n", ""},
        {{L"add", L"New", L"100", L"100"}, "no", 1, "", "添加失败：需要管理员权限。"},
        {{L"add", L"收据 241X101.6", L"100", L"100"}, "yes", 2, "", "已经存在同名纸张“收据 241x101.6”。"},
        {{L"add", L"Big", L"2000.1", L"100"}, "yes", 2, "", "宽度和高度请输入 10～2000 mm 之间的数字。"},
        {{L"add", L"12345678901234567890123456789012", L"100", L"100"}, "yes", 2, "", "纸张名称不能超过 31 个字符。"},
        {{L"add", L"New", L"101,6", L"100"}, "yes", 2, "", "宽度“101,6”不是以毫米为单位的数字（例如 241 或 101.6，最多三位小数）。\r\n"},
        {{L"set", L"收据 241x101.6", L"241", L"10in"}, "yes", 2, "", "高度“10in”不是以毫米为单位的数字（例如 241 或 101.6，最多三位小数）。\r\n"},
        {{L"add", L" 发货单", L"100", L"100"}, "yes", 2, "", "纸张名称的开头和结尾不能有空格。\r\n"},
        {{L"add", L"   ", L"100", L"100"}, "yes", 2, "", "纸张名称不能只有空白字符。\r\n"},
        {{L"list", L"--encoding", L"utf-8"}, "yes", 2, "", "list 命令不接受选项 --encoding。"},
        {{L"set", L"DP-750 Fanfold", L"100", L"100"}, "yes", 2, "", "系统内置或打印机纸型受保护，不能修改。"},
        {{L"set", L"Missing", L"100", L"100"}, "yes", 3, "", "本机纸张表没有名为“Missing”的纸张。"},
        {{L"add", L"Label", L"100", L"100", L"--printer", L"\\\\fs01\\labels"}, "yes\nconnection \"\\\\\\\\fs01\\\\Labels\"", 0,
         "注意：这是网络打印机连接，纸张将保存到打印服务器 fs01 上，需要该服务器的管理员权限。\r\n纸张已添加：Label（100 × 100 mm）。\r\n", ""},
        {{L"delete", L"DP-750 Fanfold"}, "yes", 2, "", "系统内置或打印机纸型受保护，不能删除。"},
        {{L"delete", L"收据 241x101.6"}, "no", 1, "", "删除失败：需要管理员权限。"},
        {{L"list", L"--printer", L"Nowhere"}, "yes", 3, "", "找不到打印机“Nowhere”。"},
        {{L"list", L"--format", L"xml"}, "yes", 2, "", "--format 只能是 text、csv 或 json。"},
        {{L"list", L"--format", L"CSV"}, "yes", 0, "name,width_mm,height_mm,kind\r\n收据 241x101.6,241,101.6,user\r\n", ""},
        {{L"import", L"x.csv", L"--format=csv"}, "yes", 2, "", "--format 只能是 text 或 json。"},
        {{L"default", L"收据 241x101.6", L"--printer", L"Second", L"--all-printers"}, "yes", 2, "", "--printer 和 --all-printers 不能同时使用。"},
        {{L"/?"}, "yes", 0, "zeltra-forms.exe：在命令行中", ""},
        {{L"-?"}, "yes", 0, "zeltra-forms.exe：在命令行中", ""},
        {{L"HELP"}, "yes", 0, "zeltra-forms.exe：在命令行中", ""},
        {{L"--version"}, "yes", 0, "zeltra-forms.exe 1.0.0.0\r\n", ""},
        {{L"import", L"missing-file.csv"}, "yes", 2, "", "无法打开文件“missing-file.csv”："},
        {{L"frob"}, "yes", 2, "", "未知的命令：frob"},
        {{}, "yes", 2, "", "缺少命令。"},
        {{L"default", L"收据 241x101.6", L"--all-users"}, "no", 1, "", "设置默认纸张失败：需要管理员权限。"},
        {{L"default", L"Missing"}, "yes", 3, "", "打印机“CLI 打印机”没有名为“Missing”的纸张。"},
        {{L"default", L"Missing", L"--all-printers"}, "yes", 3, "", "本机纸张表没有名为“Missing”的纸张。"},
        {{L"check", L"收据 241x101.6", L"--printer", L"second"}, "yes", 0, "打印机“Second”的驱动程序提供纸张“收据 241x101.6”。", ""},
    };
    for (const auto& c : cases) {
        UseSpoolerState(PrinterState(Printer + Receipts, c.admin));
        const std::vector<std::string> before = PersistedFormLines();
        const ToolRun run = RunForms(c.arguments);
        const std::string what = c.arguments.empty() ? "(no arguments)" : Narrow(c.arguments[0]) + " ...";
        EXPECT_EQ(c.exitCode, run.exitCode) << what << "\n" << run.out << run.err;
        EXPECT_EQ(0u, run.out.find(c.out)) << what << ": " << run.out;
        EXPECT_EQ(0u, run.err.find(c.err)) << what << ": " << run.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(before, PersistedFormLines()) << what;
        }
    }
}

TEST(CliCommands, DefaultAndCheckUseTheDriversPaperList)
{
    // Square comes first, so the driver starts on it.
    UseSpoolerState(PrinterState("form user 100000 150000 0 0 100000 150000 \"Square\"\n" + Receipts +
                                 "form user 2000000 2000000 0 0 2000000 2000000 \"Huge\"\n"));
    const ToolRun dry = RunForms({L"default", L"收据 241X101.6", L"--dry-run"});
    EXPECT_EQ(4u, dry.exitCode) << dry.err;
    EXPECT_EQ("将设为默认纸张：收据 241x101.6（CLI 打印机）\r\n", dry.out);
    EXPECT_EQ(std::string::npos, SpoolerState().find("default-paper")) << SpoolerState();
    const ToolRun set = RunForms({L"default", L"收据 241X101.6"});
    EXPECT_EQ(0u, set.exitCode) << set.err;
    EXPECT_EQ(0u, set.out.find("已将纸张“收据 241x101.6”设为打印机“CLI 打印机”的默认纸张（当前用户 ")) << set.out;
    const std::string state = SpoolerState();
    EXPECT_NE(std::string::npos, state.find("default-paper user \"CLI 打印机\" 257 \"收据 241x101.6\"")) << state;

    // Read first: a second run writes nothing, and a dry run finds nothing to change.
    DeleteFileW(L"default-again.log");
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", L"default-again.log");
    const ToolRun again = RunForms({L"default", L"收据 241x101.6"});
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", nullptr);
    EXPECT_EQ(0u, again.exitCode) << again.err;
    EXPECT_EQ("已是默认纸张：收据 241x101.6（CLI 打印机）\r\n", again.out);
    const std::string calls = ReadBytes("default-again.log");
    EXPECT_NE(std::string::npos, calls.find("DocumentPropertiesW")) << calls;
    EXPECT_EQ(std::string::npos, calls.find("SetPrinterW")) << calls;
    EXPECT_EQ(0u, RunForms({L"default", L"收据 241x101.6", L"--dry-run"}).exitCode);
    EXPECT_EQ(state, SpoolerState());

    const ToolRun overview = RunForms({L"check", L"--printer", L"CLI 打印机"});
    EXPECT_EQ(0u, overview.exitCode) << overview.err;
    EXPECT_EQ("打印机：CLI 打印机（默认打印机）\r\n  浏览器起始纸张：收据 241x101.6\r\n  提供：Square（编号 256）\r\n"
              "  提供：收据 241x101.6（编号 257）\r\n  不提供：Huge（2000 × 2000 mm）\r\n浏览器策略：未设置\r\n",
              overview.out);

    const ToolRun missing = RunForms({L"default", L"Huge"});
    EXPECT_EQ(1u, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.err.find("没有提供纸张“Huge”")) << missing.err;
    EXPECT_NE(std::string::npos, missing.err.find("未做任何更改。")) << missing.err;
    EXPECT_EQ(1u, RunForms({L"check", L"Huge"}).exitCode);
}

TEST(CliCommands, JsonListingEscapesWhatJsonRequires)
{
    UseSpoolerState(PrinterState("form user 100500 200000 0 0 100500 200000 \"q\\\"b\\\\c\\u0001\\td\\uD800😀\"\n" + Printer));
    const ToolRun run = RunForms({L"list", L"--all", L"--format", L"json", L"--printer", L"CLI 打印机"});
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("{\r\n  \"printer\": \"CLI 打印机\",\r\n  \"forms\": [\r\n"
              "    {\"name\": \"q\\\"b\\\\c\\u0001\\td\\ud800😀\", \"width_mm\": 100.5, \"height_mm\": 200, \"kind\": \"user\"},\r\n"
              "    {\"name\": \"DP-750 Fanfold\", \"width_mm\": 241, \"height_mm\": 305, \"kind\": \"printer\"}\r\n  ]\r\n}\r\n",
              run.out);

    UseSpoolerState(PrinterState(""));
    EXPECT_EQ("{\r\n  \"printer\": null,\r\n  \"forms\": []\r\n}\r\n", RunForms({L"list", L"--format=json"}).out);
}

TEST(CliCommands, WithoutAnyPrinterTheFormCommandsWorkOnThePCsTable)
{
    UseSpoolerState("admin yes\nstandard-forms no\n" + Receipts);
    const ToolRun listed = RunForms({L"list"});
    EXPECT_EQ(0u, listed.exitCode) << listed.err;
    EXPECT_EQ("纸张表：本机\r\n收据 241x101.6（241 × 101.6 mm，用户）\r\n共 1 个用户自定义纸张。\r\n", listed.out);
    const ToolRun added = RunForms({L"add", L"新纸", L"210", L"140.5"});
    EXPECT_EQ(0u, added.exitCode) << added.err;
    EXPECT_EQ(2u, PersistedFormLines().size());

    // default needs a printer's driver: none named and none the default is a usage error.
    const ToolRun noDefault = RunForms({L"default", L"新纸"});
    EXPECT_EQ(2u, noDefault.exitCode);
    EXPECT_EQ("没有默认打印机。请用 --printer 名称 指定打印机，或用 --all-printers 处理每台打印机。\r\n", noDefault.err);
    EXPECT_EQ(1u, RunForms({L"default", L"新纸", L"--all-printers"}).exitCode) << "no printer offers it";
}

TEST(CliCommands, DefaultOnEveryPrinterSetsWhereTheDriverOffersTheForm)
{
    // A standard user: their own default needs no administrator rights (SetPrinterW level 9).
    UseSpoolerState(PrinterState(Receipts + "form user 2000000 2000000 0 0 2000000 2000000 \"Huge\"\n", "no"));
    const ToolRun set = RunForms({L"default", L"Huge", L"--all-printers"});
    EXPECT_EQ(0u, set.exitCode) << set.err;
    EXPECT_EQ(0u, set.out.find("不提供此纸张，未更改：CLI 打印机\r\n已将纸张“Huge”设为打印机“Second”的默认纸张（当前用户 ")) << set.out;
    EXPECT_NE(std::string::npos, set.out.find("\r\n已设置 1 台，已是默认 0 台，不提供此纸张 1 台，失败 0 台。\r\n")) << set.out;

    const ToolRun again = RunForms({L"default", L"huge", L"--all-printers", L"--format", L"json"});
    EXPECT_EQ(0u, again.exitCode) << again.err;
    EXPECT_EQ("{\r\n  \"changed\": false,\r\n  \"dry_run\": false,\r\n  \"form\": \"huge\",\r\n  \"all_users\": false,\r\n"
              "  \"printers\": [\r\n    {\"printer\": \"CLI 打印机\", \"outcome\": \"not_offered\"},\r\n"
              "    {\"printer\": \"Second\", \"outcome\": \"already\"}\r\n  ],\r\n"
              "  \"summary\": {\"set\": 0, \"already\": 1, \"not_offered\": 1, \"failed\": 0},\r\n  \"interrupted\": false\r\n}\r\n",
              again.out);

    const ToolRun everyone = RunForms({L"default", L"Huge", L"--all-printers", L"--all-users"});
    EXPECT_EQ(1u, everyone.exitCode);
    EXPECT_EQ("打印机“Second”：设置默认纸张失败：需要管理员权限。请在以管理员身份运行的命令提示符或脚本中执行。\r\n", everyone.err);

    SetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", L"1");
    const ToolRun stopped = RunForms({L"default", L"收据 241x101.6", L"--all-printers"});
    SetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", nullptr);
    EXPECT_EQ(1u, stopped.exitCode);
    // Stopped before the second printer.
    EXPECT_EQ("已是默认纸张：收据 241x101.6（CLI 打印机）\r\n已设置 0 台，已是默认 1 台，不提供此纸张 0 台，失败 0 台。\r\n"
              "已中断：以上为中断前完成的更改。\r\n",
              stopped.out);
}

TEST(CliImport, JsonResultHasEachFormsOutcomeAndTheCounts)
{
    UseSpoolerState(PrinterState(Printer + Receipts + "fault AddFormW 1722 once\n"));
    WriteBytes("json.csv", "name,width_mm,height_mm\n收据 241x101.6,241,101.6\nLost,100,100\n新纸,210,140.5\n"
                           "dp-750 fanfold,241,300\n");
    const ToolRun run = RunForms({L"import", L"json.csv", L"--format", L"Json"});
    EXPECT_EQ(1u, run.exitCode) << run.err;
    EXPECT_EQ("{\r\n  \"changed\": true,\r\n  \"dry_run\": false,\r\n  \"printer\": null,\r\n  \"encoding\": \"UTF-8\",\r\n"
              "  \"forms\": [\r\n"
              "    {\"name\": \"收据 241x101.6\", \"width_mm\": 241, \"height_mm\": 101.6, \"outcome\": \"unchanged\"},\r\n"
              "    {\"name\": \"Lost\", \"width_mm\": 100, \"height_mm\": 100, \"outcome\": \"failed\", \"error_code\": 1722, "
              "\"error\": \"失败：Lost：添加失败：" + FirstLine(SystemText(1722)) + "\"},\r\n"
              "    {\"name\": \"新纸\", \"width_mm\": 210, \"height_mm\": 140.5, \"outcome\": \"added\"},\r\n"
              "    {\"name\": \"dp-750 fanfold\", \"width_mm\": 241, \"height_mm\": 300, \"outcome\": \"conflict\", "
              "\"error\": \"冲突：dp-750 fanfold：已有同名的打印机纸张（241 × 305 mm），它不能修改。\"}\r\n  ],\r\n"
              "  \"summary\": {\"added\": 1, \"updated\": 0, \"unchanged\": 1, \"conflict\": 1, \"failed\": 1},\r\n"
              "  \"interrupted\": false\r\n}\r\n",
              run.out);
}

TEST(CliImport, CtrlCStopsBetweenTwoFormsAndARerunFinishes)
{
    UseSpoolerState(PrinterState(""));
    WriteBytes("stop.csv", "name,width_mm,height_mm\nA,100,100\nB,110,110\nC,120,120\n");
    DeleteFileW(L"stop-export.csv");
    // The exe's test seam raises the interrupt through its console handler after this many forms.
    SetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", L"1");
    const ToolRun stopped = RunForms({L"import", L"stop.csv"});
    SetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", L"0");
    const ToolRun exported = RunForms({L"export", L"stop-export.csv"});
    SetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", nullptr);
    EXPECT_EQ(1u, stopped.exitCode) << stopped.err;
    EXPECT_EQ((std::vector<std::string>{"文件编码：UTF-8\r", "纸张表：本机\r", "已添加：A（100 × 100 mm）\r",
                                        "已添加 1 个，已更新 0 个，未变化 0 个，失败 0 个。\r",
                                        "已中断：以上为中断前完成的更改。\r"}),
              SplitLines(stopped.out));
    EXPECT_EQ((std::vector<std::string>{"form user 100000 100000 0 0 100000 100000 \"A\""}), PersistedFormLines());
    EXPECT_EQ(1u, exported.exitCode);
    EXPECT_EQ("", ReadBytes("stop-export.csv")) << "an interrupted export writes no file";

    const ToolRun rerun = RunForms({L"import", L"stop.csv"});
    EXPECT_EQ(0u, rerun.exitCode) << rerun.err;
    EXPECT_NE(std::string::npos, rerun.out.find("\r\n已添加 2 个，已更新 0 个，未变化 1 个，失败 0 个。\r\n")) << rerun.out;
}

TEST(CliExecutable, IsAConsoleProgramThatNeverAsksForElevationAndDocumentsItsExitCodes)
{
    const std::string image = ReadBytes(ZELTRA_FORMS_EXE_PATH);
    ASSERT_GT(image.size(), 0x200u);
    const LONG header = *reinterpret_cast<const LONG*>(image.data() + 0x3C);
    const IMAGE_NT_HEADERS64* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + header);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_CUI, nt->OptionalHeader.Subsystem);
    EXPECT_NE(std::string::npos, image.find("level=\"asInvoker\""));
    EXPECT_EQ(std::string::npos, image.find("Common-Controls"));

    const std::wstring path = WindowsPath(ZELTRA_FORMS_EXE_PATH);
    HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    EXPECT_NE(nullptr, FindResourceW(exe, MAKEINTRESOURCEW(101), RT_GROUP_ICON));
    FreeLibrary(exe);
    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(L"zeltra-forms.exe"), value);

    const ToolRun help = RunForms({L"-h"});
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("退出代码：\r\n  0  完成。\r\n  1  打印后台处理程序或驱动程序的调用失败，或缺少管理员权限"))
        << help.out;
    EXPECT_NE(std::string::npos, help.out.find("  2  用法错误、无效的值或无效的文件。\r\n  3  找不到打印机或纸张。\r\n"
                                               "  4  --dry-run：有更改要做"));
}

namespace {

const wchar_t ChromePolicy[] = L"SOFTWARE\\Policies\\Google\\Chrome";
const wchar_t EdgePolicy[] = L"SOFTWARE\\Policies\\Microsoft\\Edge";

// The browser's PrintingPaperSizeDefault as it reads it, "" when there is none.
std::string PolicyValue(const wchar_t* key)
{
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"PrintingPaperSizeDefault", RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return "";
    return Narrow(value);
}

// The key as the process may use it: read only (SDDL "KR"), or everything ("KA"). Wine checks a
// key's DACL as Windows does, which stands in for a user without administrator rights.
void SetPolicyAccess(const wchar_t* key, const wchar_t* rights)
{
    HKEY handle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, WRITE_DAC | KEY_WOW64_64KEY,
                                             nullptr, &handle, nullptr));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = std::wstring(L"D:P(A;;") + rights + L";;;WD)";
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor));
    LocalFree(descriptor);
    RegCloseKey(handle);
}

} // namespace

TEST(CliBrowserPaper, ThePolicyHoldsTheDriversSizeUprightAndIsWrittenOnlyWhenItWouldChange)
{
    for (const wchar_t* key : {ChromePolicy, EdgePolicy})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, L"PrintingPaperSizeDefault");
    UseSpoolerState(PrinterState("form user 241000 140000 0 0 241000 140000 \"二等分\"\n"
                                 "form user 241000 93000 0 0 241000 93000 \"三等分\"\n"
                                 "form user 2000000 2000000 0 0 2000000 2000000 \"Huge\"\n"));
    const std::string upright = "{\"name\":\"custom\",\"custom_size\":{\"width\":140000,\"height\":241000}}";
    EXPECT_EQ(4u, RunForms({L"browser-paper", L"二等分", L"--dry-run"}).exitCode);
    EXPECT_EQ("", PolicyValue(ChromePolicy)) << "a dry run wrote";
    const ToolRun set = RunForms({L"browser-paper", L"二等分"});
    EXPECT_EQ(0u, set.exitCode) << set.err;
    EXPECT_EQ(upright, PolicyValue(ChromePolicy));
    EXPECT_EQ(upright, PolicyValue(EdgePolicy));
    const ToolRun again = RunForms({L"browser-paper", L"二等分"});
    EXPECT_EQ(0u, again.exitCode);
    EXPECT_EQ("已是浏览器默认纸张：二等分（140 × 241 mm）\r\n", again.out);
    EXPECT_EQ(0u, RunForms({L"browser-paper", L"二等分", L"--dry-run"}).exitCode);
    // The browser line and the drift note come from the lists the check reads anyway.
    DeleteFileW(L"check-calls.log");
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", L"check-calls.log");
    EXPECT_EQ(0u, RunForms({L"check", L"二等分"}).exitCode);
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", nullptr);
    size_t driverCalls = 0;
    for (const std::string& call : SplitLines(ReadBytes("check-calls.log"))) {
        driverCalls += call.rfind("DeviceCapabilitiesW", 0) == 0;
        EXPECT_EQ(std::string::npos, call.find("DocumentPropertiesW")) << call;
    }
    EXPECT_EQ(8u, driverCalls) << "three paper lists of two calls each, and the two extents";
    EXPECT_NE(std::string::npos, RunForms({L"check", L"二等分", L"--format", L"json"})
                                     .out.find("\"browser_size_mm\": {\"width\": 140, \"height\": 241}, \"feed_drift\": "
                                               "{\"pitch_sixths_inch\": 33, \"pitch_mm\": 139.7, \"drift_mm\": 0.3}"));
    EXPECT_NE(std::string::npos, RunForms({L"check"}).out.find("浏览器策略：Chrome 默认纸张 140 × 241 mm\r\n"
                                                               "浏览器策略：Edge 默认纸张 140 × 241 mm\r\n"));

    const ToolRun huge = RunForms({L"browser-paper", L"Huge"});
    EXPECT_EQ(1u, huge.exitCode);
    EXPECT_NE(std::string::npos, huge.err.find("没有提供纸张“Huge”")) << huge.err;
    SetPolicyAccess(ChromePolicy, L"KR");
    const ToolRun refused = RunForms({L"browser-paper", L"三等分"});
    SetPolicyAccess(ChromePolicy, L"KA");
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("需要管理员权限")) << refused.err;
    EXPECT_EQ(upright, PolicyValue(ChromePolicy));

    EXPECT_EQ(0u, RunForms({L"browser-paper", L"--clear"}).exitCode);
    EXPECT_EQ("", PolicyValue(ChromePolicy));
    EXPECT_EQ("", PolicyValue(EdgePolicy));
    const ToolRun none = RunForms({L"browser-paper", L"--clear"});
    EXPECT_EQ(0u, none.exitCode);
    EXPECT_EQ("浏览器策略中没有默认纸张，无需清除。\r\n", none.out);
}
