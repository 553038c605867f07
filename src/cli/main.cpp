// Process entry of zeltra-forms.exe: the spooler loaded safely, Ctrl+C caught, the command
// line parsed, one command run, its code returned to the script.
#include "cli/cli.h"


const wchar_t InterruptedText[] = L"已中断：以上为中断前完成的更改。";

namespace {

volatile LONG StopAsked = 0;
// Test seam: ZELTRA_FORMS_INTERRUPT_AFTER=N raises the interrupt through the console handler
// once N forms or printers have gone, as a Ctrl+C at that moment would. -1: never.
long InterruptAfter = -1;

// Ctrl+C and Ctrl+Break only ask the command to stop between two forms or printers; a second
// press ends the process as the console would.
BOOL WINAPI OnConsoleBreak(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    return InterlockedExchange(&StopAsked, 1) == 0;
}

void ReadInterruptSeam()
{
    wchar_t text[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZELTRA_FORMS_INTERRUPT_AFTER", text, 16);
    if (length == 0 || length >= 16)
        return;
    long count = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9')
            return;
        count = count * 10 + (*c - L'0');
    }
    InterruptAfter = count;
}

} // namespace

bool StopRequested()
{
    if (InterruptAfter >= 0 && InterruptAfter-- == 0)
        OnConsoleBreak(CTRL_C_EVENT);
    return StopAsked != 0;
}

namespace {

enum OptionBit : unsigned {
    PrinterOption = 1,
    AllOption = 2,
    FormatOption = 4,
    DryRunOption = 8,
    AllUsersOption = 16,
    AllPrintersOption = 32,
    CsvFormat = 64, // --format csv is one of the command's formats (not an option itself)
    EncodingOption = 128,
    ClearOption = 256,
};

struct Command {
    const wchar_t* name;
    int (*run)(const CommandLine&);
    size_t minOperands;
    size_t maxOperands;
    unsigned options;
    const wchar_t* usage;
};

const Command Commands[] = {
    {L"printers", PrintersCommand, 0, 0, 0, L"printers"},
    {L"list", ListCommand, 0, 0, PrinterOption | AllOption | FormatOption | CsvFormat,
     L"list [--all] [--format text|csv|json]"},
    {L"add", AddCommand, 3, 3, PrinterOption, L"add 名称 宽度 高度"},
    {L"set", SetCommand, 3, 3, PrinterOption, L"set 名称 宽度 高度"},
    {L"delete", DeleteCommand, 1, 1, PrinterOption, L"delete 名称"},
    {L"export", ExportCommand, 1, 1, PrinterOption | AllOption, L"export 文件 [--all]"},
    {L"import", ImportCommand, 1, 1, PrinterOption | DryRunOption | FormatOption | EncodingOption,
     L"import 文件 [--dry-run] [--encoding utf-8|ansi|代码页] [--format text|json]"},
    {L"default", DefaultCommand, 1, 1, PrinterOption | AllUsersOption | AllPrintersOption | DryRunOption | FormatOption,
     L"default 名称 [--all-users] [--all-printers] [--dry-run] [--format text|json]"},
    {L"check", CheckCommand, 0, 1, PrinterOption | AllPrintersOption | FormatOption,
     L"check [名称] [--all-printers] [--format text|json]"},
    {L"browser-paper", BrowserPaperCommand, 0, 1, PrinterOption | ClearOption | DryRunOption | FormatOption,
     L"browser-paper 名称 | browser-paper --clear [--dry-run] [--format text|json]"},
};

const struct {
    const wchar_t* name;
    OptionBit bit;
} Flags[] = {{L"--all", AllOption},
             {L"--dry-run", DryRunOption},
             {L"--all-users", AllUsersOption},
             {L"--all-printers", AllPrintersOption},
             {L"--clear", ClearOption}};

// The name of the first option in bits, for telling the user which one does not belong.
std::wstring FirstOptionName(unsigned bits)
{
    if (bits & PrinterOption)
        return L"--printer";
    if (bits & FormatOption)
        return L"--format";
    if (bits & EncodingOption)
        return L"--encoding";
    for (const auto& flag : Flags)
        if (bits & flag.bit)
            return flag.name;
    return std::wstring();
}

const wchar_t HelpText[] =
    L"zeltra-forms.exe：在命令行中管理本机的自定义纸张，供部署脚本使用。\r\n"
    L"\r\n"
    L"用法：zeltra-forms.exe 命令 [参数] [选项]\r\n"
    L"\r\n"
    L"命令：\r\n"
    L"  printers\r\n"
    L"      列出打印机，* 标出默认打印机。\r\n"
    L"  list [--all] [--format text|csv|json]\r\n"
    L"      列出用户自定义纸张（--all：也列出系统内置和打印机纸张），含名称、宽度、高度（mm）和类型。\r\n"
    L"  add 名称 宽度 高度\r\n"
    L"      添加用户自定义纸张。名称 1～31 个字符，宽度和高度 10～2000 mm。\r\n"
    L"  set 名称 宽度 高度\r\n"
    L"      修改用户自定义纸张的尺寸（不能改名）。\r\n"
    L"  delete 名称\r\n"
    L"      删除用户自定义纸张，不再询问确认。\r\n"
    L"  export 文件 [--all]\r\n"
    L"      把用户自定义纸张（--all：全部纸张）写入带 BOM 的 UTF-8 CSV 文件，首行为 name,width_mm,height_mm；\r\n"
    L"      文件为 - 时写到标准输出。导入时会被拒绝的纸张跳过。\r\n"
    L"  import 文件 [--dry-run] [--encoding utf-8|ansi|代码页] [--format text|json]\r\n"
    L"      让纸张表拥有文件中的每个纸张：没有的添加，尺寸不同的修改，相同的不动。\r\n"
    L"      先检查整个文件，有错误时不做任何更改；--dry-run 只显示将要做的更改。\r\n"
    L"      文件可以是 UTF-8、UTF-16 LE 或本机 ANSI 代码页（Excel 的“CSV（逗号分隔）”），输出的第一行说明所用编码。\r\n"
    L"      文件首行为 name,width_mm,height_mm 或 名称,宽度,高度；尺寸只能是数字，最多三位小数。\r\n"
    L"  default 名称 [--all-users] [--all-printers] [--dry-run] [--format text|json]\r\n"
    L"      把纸张设为打印机的默认纸张（当前用户，不需要管理员权限；--all-users：所有用户，\r\n"
    L"      需要管理员权限）。先读取当前的默认纸张，已是该纸张时不做任何更改。\r\n"
    L"      --all-printers：每台驱动程序提供该纸张的打印机；不提供的打印机不算失败。\r\n"
    L"  check [名称] [--all-printers] [--format text|json]\r\n"
    L"      检查打印机驱动程序是否提供该纸张；不带名称时列出每台打印机的浏览器起始纸张，\r\n"
    L"      以及驱动程序提供哪些用户自定义纸张，和本机的浏览器纸张策略。\r\n"
    L"  browser-paper 名称 [--dry-run] [--format text|json]\r\n"
    L"  browser-paper --clear\r\n"
    L"      把 Chrome 和 Edge 的默认纸张策略（PrintingPaperSizeDefault）设为该纸张在驱动程序中的尺寸，\r\n"
    L"      或清除它；需要管理员权限。策略对本机每个用户生效，只用于列出这种尺寸纸张的打印机，\r\n"
    L"      其他打印机忽略它；浏览器菜单中会显示“由你的组织管理”。下次打开打印窗口时生效，\r\n"
    L"      若未生效请重新启动浏览器。Firefox 没有这种策略，它按打印机记住上次用的纸张。\r\n"
    L"  help\r\n"
    L"      显示本说明。\r\n"
    L"\r\n"
    L"纸张表属于本机，不属于某台打印机：list、add、set、delete、export 和 import 通过本机的\r\n"
    L"打印服务器工作，没有打印机或没有默认打印机时也可以使用。default 和 check 名称 需要打印机的\r\n"
    L"驱动程序：默认打印机、--printer 指定的打印机，或 --all-printers 的每台打印机。\r\n"
    L"\r\n"
    L"选项：\r\n"
    L"  --printer 名称   要操作的打印机（英文字母不区分大小写）；纸张命令改用这台打印机的纸张表，\r\n"
    L"                   网络打印机连接（\\\\服务器\\打印机）的纸张表在它的打印服务器上。\r\n"
    L"  --all-printers   default 和 check 名称：依次处理每台打印机。\r\n"
    L"  --dry-run        import 和 default：只显示将要做的更改，有更改要做时退出代码为 4。\r\n"
    L"  --format json    import、default 和 check：只输出一个 JSON 对象（格式见 README）。\r\n"
    L"  --encoding 编码  import 按此编码读取文件：utf-8、ansi（本机 ANSI 代码页）或代码页编号，如 936。\r\n"
    L"  --version        显示版本。\r\n"
    L"  --help, -h, -?, /?\r\n"
    L"                   显示本说明。\r\n"
    L"  --               其后的参数都不是选项（名称以 - 开头时使用）。\r\n"
    L"选项的值不区分大小写（--format JSON）。\r\n"
    L"\r\n"
    L"按 Ctrl+C 或 Ctrl+Break 时，import、export 和 default --all-printers 在两个纸张（或两台打印机）\r\n"
    L"之间停下，列出中断前完成的更改，退出代码为 1；再运行一次即可完成其余部分。\r\n"
    L"\r\n"
    L"退出代码：\r\n"
    L"  0  完成。\r\n"
    L"  1  打印后台处理程序或驱动程序的调用失败，或缺少管理员权限；import 有纸张未能导入；\r\n"
    L"     default：没有打印机提供该纸张；check 名称：驱动程序不提供该纸张；运行被中断。\r\n"
    L"  2  用法错误、无效的值或无效的文件。\r\n"
    L"  3  找不到打印机或纸张。\r\n"
    L"  4  --dry-run：有更改要做（没有冲突或失败时）。\r\n"
    L"\r\n"
    L"修改纸张和所有用户的默认纸张需要管理员权限：请在以管理员身份运行的命令提示符或 PowerShell\r\n"
    L"中执行，或放在以 SYSTEM 账户运行的计算机启动脚本中。本程序不会弹出 UAC 提示。";

int UsageError(const std::wstring& text)
{
    PrintError(text);
    PrintError(L"用 zeltra-forms.exe --help 查看用法。");
    return ExitUsage;
}

// "--name value" or "--name=value"; *taken is how many arguments it used (0: not this option).
bool OptionValue(const std::vector<std::wstring>& arguments, size_t i, const wchar_t* name, std::wstring* value,
                 size_t* taken, std::wstring* error)
{
    const std::wstring& argument = arguments[i];
    const std::wstring prefix = std::wstring(name) + L"=";
    *taken = 0;
    if (argument.compare(0, prefix.size(), prefix) == 0) {
        *value = argument.substr(prefix.size());
        *taken = 1;
    } else if (argument == name) {
        if (i + 1 >= arguments.size()) {
            *error = std::wstring(name) + L" 后面缺少值。";
            return false;
        }
        *value = arguments[i + 1];
        *taken = 2;
    }
    return true;
}

// The option at arguments[*i], with its value; *i moves past it. ExitDone, or ExitUsage after
// telling the user.
int ParseOption(const std::vector<std::wstring>& arguments, size_t* i, CommandLine* line, unsigned* seen)
{
    const struct {
        const wchar_t* name;
        OptionBit bit;
        std::wstring* value;
    } valued[] = {{L"--printer", PrinterOption, &line->printer}, {L"--format", FormatOption, &line->format},
                   {L"--encoding", EncodingOption, &line->encoding}};
    for (const auto& option : valued) {
        std::wstring error;
        size_t taken = 0;
        if (!OptionValue(arguments, *i, option.name, option.value, &taken, &error))
            return UsageError(error);
        if (taken == 0)
            continue;
        if (*seen & option.bit)
            return UsageError(std::wstring(option.name) + L" 只能给一次。");
        *seen |= option.bit;
        *i += taken;
        return ExitDone;
    }
    for (const auto& flag : Flags) {
        if (arguments[*i] == flag.name) {
            *seen |= flag.bit;
            ++*i;
            return ExitDone;
        }
    }
    return UsageError(L"未知的选项：" + arguments[*i]);
}

const int ShowHelp = -1;
const int ShowVersion = -2;

// Fills *line and the options seen; ExitDone, ExitUsage after telling the user, or ShowHelp
// or ShowVersion.
int ParseArguments(const std::vector<std::wstring>& arguments, CommandLine* line, unsigned* seen)
{
    *seen = 0;
    bool optionsEnded = false;
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < arguments.size();) {
        const std::wstring& argument = arguments[i];
        // "/?" is how Windows programs are asked for help.
        if (!optionsEnded && (argument == L"--help" || argument == L"-h" || argument == L"-?" || argument == L"/?"))
            return ShowHelp;
        if (!optionsEnded && argument == L"--version")
            return ShowVersion;
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            positional.push_back(argument);
            ++i;
        } else if (argument == L"--") {
            optionsEnded = true;
            ++i;
        } else if (const int parsed = ParseOption(arguments, &i, line, seen)) {
            return parsed;
        }
    }
    if (positional.empty())
        return UsageError(L"缺少命令。");
    if (NamesEqual(positional[0], L"help"))
        return ShowHelp;
    line->command = positional[0];
    line->operands.assign(positional.begin() + 1, positional.end());
    line->all = (*seen & AllOption) != 0;
    line->dryRun = (*seen & DryRunOption) != 0;
    line->allUsers = (*seen & AllUsersOption) != 0;
    line->allPrinters = (*seen & AllPrintersOption) != 0;
    line->clear = (*seen & ClearOption) != 0;
    // Option values are words a script may write in any case (--format CSV).
    line->format = (*seen & FormatOption) ? LowercaseCopy(line->format) : L"text";
    line->encoding = LowercaseCopy(line->encoding);
    return ExitDone;
}

// What the command allows of the line: its options, operands and formats. ExitDone, or
// ExitUsage after telling the user.
int CheckCommandLine(const Command& command, const CommandLine& line, unsigned seen)
{
    const std::wstring usage = std::wstring(L"用法：zeltra-forms.exe ") + command.usage;
    if (seen & ~command.options)
        return UsageError(std::wstring(command.name) + L" 命令不接受选项 " + FirstOptionName(seen & ~command.options) +
                          L"。" + usage);
    if (line.operands.size() < command.minOperands || line.operands.size() > command.maxOperands)
        return UsageError(L"参数个数不对。" + usage);
    if (line.printer.empty() && (seen & PrinterOption))
        return UsageError(L"--printer 后面缺少打印机名称。");
    if ((seen & PrinterOption) && line.allPrinters)
        return UsageError(L"--printer 和 --all-printers 不能同时使用。");
    const bool csv = (command.options & CsvFormat) != 0;
    if (line.format != L"text" && line.format != L"json" && !(csv && line.format == L"csv"))
        return UsageError(csv ? L"--format 只能是 text、csv 或 json。" : L"--format 只能是 text 或 json。");
    return ExitDone;
}

// "zeltra-forms.exe 1.0.0.0": the file version of this exe's own version resource. version.dll
// is not a known DLL, so it comes from the system folder like the spooler.
int PrintVersion()
{
    const auto size = SystemFunction<decltype(&::GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    const auto read = SystemFunction<decltype(&::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    const auto query = SystemFunction<decltype(&::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    std::vector<BYTE> block(size && length > 0 && length < MAX_PATH ? size(path, &ignored) : 0);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (block.empty() || !read || !query || !read(path, 0, static_cast<DWORD>(block.size()), block.data()) ||
        !query(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || infoSize < sizeof *info) {
        PrintError(L"无法读取版本信息：" + ErrorLine(LastFailureCode()));
        return ExitFailed;
    }
    PrintLine(L"zeltra-forms.exe " + DecimalText(HIWORD(info->dwFileVersionMS)) + L"." +
              DecimalText(LOWORD(info->dwFileVersionMS)) + L"." + DecimalText(HIWORD(info->dwFileVersionLS)) + L"." +
              DecimalText(LOWORD(info->dwFileVersionLS)));
    return ExitDone;
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line;
    unsigned seen = 0;
    const int parsed = ParseArguments(arguments, &line, &seen);
    if (parsed == ShowHelp) {
        PrintLine(HelpText);
        return ExitDone;
    }
    if (parsed == ShowVersion)
        return PrintVersion();
    if (parsed != ExitDone)
        return parsed;
    for (const Command& command : Commands) {
        if (!NamesEqual(line.command, command.name))
            continue;
        const int checked = CheckCommandLine(command, line, seen);
        return checked == ExitDone ? command.run(line) : checked;
    }
    return UsageError(L"未知的命令：" + line.command);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Before anything could load a DLL: never from the current directory or the exe's folder.
    RestrictDllSearch();
    ReadInterruptSeam();
    SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
    std::wstring missing;
    if (!LoadSpoolerFunctions(&missing)) {
        PrintError(SpoolerMissingText(missing));
        return ExitFailed;
    }
    // The C runtime's own split of the UTF-16 command line, the rules every console program
    // follows; CommandLineToArgvW would load shell32 and its dependencies for it.
    const int code = RunCommandLine(std::vector<std::wstring>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0)));
    FlushOutput();
    return code;
}
