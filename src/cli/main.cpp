// Process entry of zeltra-forms.exe: the spooler loaded safely, the command line parsed,
// one command run, its code returned to the script.
#include "cli/cli.h"

#include <shellapi.h>

namespace {

enum OptionBit : unsigned {
    PrinterOption = 1,
    AllOption = 2,
    FormatOption = 4,
    DryRunOption = 8,
    AllUsersOption = 16,
    EncodingOption = 32,
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
    {L"list", ListCommand, 0, 0, PrinterOption | AllOption | FormatOption, L"list [--all] [--format text|csv|json]"},
    {L"add", AddCommand, 3, 3, PrinterOption, L"add 名称 宽度 高度"},
    {L"set", SetCommand, 3, 3, PrinterOption, L"set 名称 宽度 高度"},
    {L"delete", DeleteCommand, 1, 1, PrinterOption, L"delete 名称"},
    {L"export", ExportCommand, 1, 1, PrinterOption | AllOption, L"export 文件 [--all]"},
    {L"import", ImportCommand, 1, 1, PrinterOption | DryRunOption | EncodingOption,
     L"import 文件 [--dry-run] [--encoding utf-8|ansi|代码页]"},
    {L"default", DefaultCommand, 1, 1, PrinterOption | AllUsersOption, L"default 名称 [--all-users]"},
    {L"check", CheckCommand, 0, 1, PrinterOption, L"check [名称]"},
};

const struct {
    const wchar_t* name;
    OptionBit bit;
} Flags[] = {{L"--all", AllOption}, {L"--dry-run", DryRunOption}, {L"--all-users", AllUsersOption}};

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
    L"zeltra-forms.exe：在命令行中管理打印机的自定义纸张，供部署脚本使用。\r\n"
    L"\r\n"
    L"用法：zeltra-forms.exe 命令 [参数] [--printer 打印机名称]\r\n"
    L"\r\n"
    L"命令：\r\n"
    L"  printers\r\n"
    L"      列出打印机，* 标出默认打印机。\r\n"
    L"  list [--all] [--format text|csv|json]\r\n"
    L"      列出打印机的用户自定义纸张（--all：也列出系统内置和打印机纸张），含名称、宽度、高度（mm）和类型。\r\n"
    L"  add 名称 宽度 高度\r\n"
    L"      添加用户自定义纸张。名称 1～31 个字符，宽度和高度 10～2000 mm。\r\n"
    L"  set 名称 宽度 高度\r\n"
    L"      修改用户自定义纸张的尺寸（不能改名）。\r\n"
    L"  delete 名称\r\n"
    L"      删除用户自定义纸张，不再询问确认。\r\n"
    L"  export 文件 [--all]\r\n"
    L"      把用户自定义纸张（--all：全部纸张）写入带 BOM 的 UTF-8 CSV 文件，首行为 name,width_mm,height_mm；\r\n"
    L"      文件为 - 时写到标准输出。导入时会被拒绝的纸张跳过。\r\n"
    L"  import 文件 [--dry-run] [--encoding utf-8|ansi|代码页]\r\n"
    L"      让打印机拥有文件中的每个纸张：没有的添加，尺寸不同的修改，相同的不动。\r\n"
    L"      先检查整个文件，有错误时不做任何更改；--dry-run 只显示将要做的更改。\r\n"
    L"      文件可以是 UTF-8、UTF-16 LE 或本机 ANSI 代码页（Excel 的“CSV（逗号分隔）”），输出的第一行说明所用编码。\r\n"
    L"      文件首行为 name,width_mm,height_mm 或 名称,宽度,高度；尺寸只能是数字，最多三位小数。\r\n"
    L"  default 名称 [--all-users]\r\n"
    L"      把纸张设为打印机的默认纸张（当前用户；--all-users：所有用户，需要管理员权限）。\r\n"
    L"  check [名称]\r\n"
    L"      检查打印机驱动程序是否提供该纸张；不带名称时列出每台打印机的浏览器起始纸张，\r\n"
    L"      以及驱动程序提供哪些用户自定义纸张。\r\n"
    L"\r\n"
    L"选项：\r\n"
    L"  --printer 名称   要操作的打印机（英文字母不区分大小写）；不指定时为默认打印机。\r\n"
    L"  --encoding 编码  import 按此编码读取文件：utf-8、ansi（本机 ANSI 代码页）或代码页编号，如 936。\r\n"
    L"  --help, -h       显示本说明。\r\n"
    L"  --               其后的参数都不是选项（名称以 - 开头时使用）。\r\n"
    L"\r\n"
    L"退出代码：\r\n"
    L"  0  完成。\r\n"
    L"  1  打印后台处理程序或驱动程序的调用失败，或缺少管理员权限；import 有纸张未能导入；\r\n"
    L"     check 名称：驱动程序不提供该纸张。\r\n"
    L"  2  用法错误、无效的值或无效的文件。\r\n"
    L"  3  找不到打印机或纸张。\r\n"
    L"\r\n"
    L"修改纸张需要管理员权限：请在以管理员身份运行的命令提示符或 PowerShell 中执行，\r\n"
    L"或放在以 SYSTEM 账户运行的计算机启动脚本中。本程序不会弹出 UAC 提示。";

int UsageError(const std::wstring& text)
{
    PrintError(text);
    PrintError(L"用 zeltra-forms.exe --help 查看用法。");
    return ExitUsage;
}

// Arguments as the shell passed them, from the UTF-16 command line.
std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(list[i]);
    LocalFree(list);
    return arguments;
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

// Fills *line and the options seen; ExitDone, ExitUsage after telling the user, or -1 for help.
int ParseArguments(const std::vector<std::wstring>& arguments, CommandLine* line, unsigned* seen)
{
    *seen = 0;
    bool optionsEnded = false;
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < arguments.size();) {
        const std::wstring& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            positional.push_back(argument);
            ++i;
        } else if (argument == L"--") {
            optionsEnded = true;
            ++i;
        } else if (argument == L"--help" || argument == L"-h") {
            return -1;
        } else if (const int parsed = ParseOption(arguments, &i, line, seen)) {
            return parsed;
        }
    }
    if (positional.empty())
        return UsageError(L"缺少命令。");
    line->command = positional[0];
    line->operands.assign(positional.begin() + 1, positional.end());
    line->all = (*seen & AllOption) != 0;
    line->dryRun = (*seen & DryRunOption) != 0;
    line->allUsers = (*seen & AllUsersOption) != 0;
    return ExitDone;
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line;
    unsigned seen = 0;
    const int parsed = ParseArguments(arguments, &line, &seen);
    if (parsed < 0) {
        PrintLine(HelpText);
        return ExitDone;
    }
    if (parsed != ExitDone)
        return parsed;
    for (const Command& command : Commands) {
        if (!NamesEqual(line.command, command.name))
            continue;
        const std::wstring usage = std::wstring(L"用法：zeltra-forms.exe ") + command.usage;
        if (seen & ~command.options)
            return UsageError(std::wstring(command.name) + L" 命令不接受选项 " + FirstOptionName(seen & ~command.options) +
                              L"。" + usage);
        if (line.operands.size() < command.minOperands || line.operands.size() > command.maxOperands)
            return UsageError(L"参数个数不对。" + usage);
        if (line.printer.empty() && (seen & PrinterOption))
            return UsageError(L"--printer 后面缺少打印机名称。");
        if (!(seen & FormatOption))
            line.format = L"text";
        if (line.format != L"text" && line.format != L"csv" && line.format != L"json")
            return UsageError(L"--format 只能是 text、csv 或 json。");
        return command.run(line);
    }
    return UsageError(L"未知的命令：" + line.command);
}

} // namespace

int wmain(int, wchar_t**)
{
    // Before anything could load a DLL: never from the current directory or the exe's folder.
    RestrictDllSearch();
    std::wstring missing;
    if (!LoadSpoolerFunctions(&missing)) {
        PrintError(SpoolerMissingText(missing));
        return ExitFailed;
    }
    return RunCommandLine(Arguments());
}
