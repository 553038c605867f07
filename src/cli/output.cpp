// Writing to the console or a redirection, and the texts every command formats alike.
#include "cli/cli.h"

namespace {

// WriteConsoleW of older consoles refuses very long writes.
const size_t ConsoleChunk = 8192;

void WriteToConsole(HANDLE console, const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t count = text.size() - at < ConsoleChunk ? text.size() - at : ConsoleChunk;
        // A surrogate pair stays in one write.
        if (count > 1 && at + count < text.size() && IsHighSurrogate(text[at + count - 1]))
            --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + at, static_cast<DWORD>(count), &written, nullptr) || written == 0)
            return;
        at += written;
    }
}

// Standard output to a file or pipe is gathered and written in large pieces: a write for each
// line costs a system call (under Wine a server round trip) and made a rerun of a large import
// take several times its spooler's time. The console is still written line by line.
const size_t OutputPiece = 64 * 1024;
std::string PendingOutput;
// Whether standard output and standard error are consoles: -1 until asked, then 0 or 1.
int ConsoleStreams[2] = {-1, -1};

// Asked once a stream: the answer does not change while the tool runs.
bool IsConsole(DWORD stream, HANDLE handle)
{
    int& answer = ConsoleStreams[stream == STD_OUTPUT_HANDLE ? 0 : 1];
    DWORD mode = 0;
    if (answer < 0)
        answer = GetConsoleMode(handle, &mode) ? 1 : 0;
    return answer == 1;
}

void WriteStream(DWORD stream, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    // What standard output holds goes first, so the two streams keep their order in one file.
    if (stream != STD_OUTPUT_HANDLE)
        FlushOutput();
    if (IsConsole(stream, handle)) {
        WriteToConsole(handle, text);
        return;
    }
    DWORD code = ERROR_SUCCESS;
    if (stream != STD_OUTPUT_HANDLE) {
        WriteBytes(handle, Utf8Text(text), &code);
        return;
    }
    PendingOutput += Utf8Text(text);
    if (PendingOutput.size() >= OutputPiece)
        FlushOutput();
}

} // namespace

bool WriteBytes(HANDLE file, const std::string& bytes, DWORD* code)
{
    size_t at = 0;
    while (at < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr) ||
            written == 0) {
            *code = GetLastError();
            if (*code == ERROR_SUCCESS)
                *code = ERROR_WRITE_FAULT;
            return false;
        }
        at += written;
    }
    *code = ERROR_SUCCESS;
    return true;
}

void FlushOutput()
{
    if (PendingOutput.empty())
        return;
    DWORD code = ERROR_SUCCESS;
    // A reader that went away (a pipe into a command that has finished) ends the output.
    WriteBytes(GetStdHandle(STD_OUTPUT_HANDLE), PendingOutput, &code);
    PendingOutput.clear();
}

std::wstring HexDigits(unsigned value, int count, bool upperCase)
{
    std::wstring text(static_cast<size_t>(count), L'0');
    for (int i = count - 1; i >= 0; --i, value >>= 4) {
        const unsigned digit = value & 15;
        text[static_cast<size_t>(i)] =
            static_cast<wchar_t>(digit < 10 ? L'0' + digit : (upperCase ? L'A' : L'a') + digit - 10);
    }
    return text;
}

void PrintLine(const std::wstring& text) { WriteStream(STD_OUTPUT_HANDLE, text + L"\r\n"); }

void PrintError(const std::wstring& text) { WriteStream(STD_ERROR_HANDLE, text + L"\r\n"); }

std::wstring ErrorLine(DWORD code)
{
    std::wstring text = SystemErrorText(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

std::wstring FailureText(const wchar_t* action, DWORD code)
{
    if (code == ERROR_ACCESS_DENIED)
        return std::wstring(action) + L"失败：需要管理员权限。请在以管理员身份运行的命令提示符或脚本中执行。";
    return std::wstring(action) + L"失败：" + ErrorLine(code);
}

std::wstring JsonString(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool pairStart = IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else if (pairStart) {
            out += c;
            out += text[++i];
        } else if (c < 0x20 || IsHighSurrogate(c) || IsLowSurrogate(c)) {
            // An unpaired surrogate cannot be written as UTF-8; the escape keeps it exact.
            const unsigned v = c;
            out += L"\\u";
            out += HexDigits(v, 4, false);
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

const wchar_t* FormKindToken(uint32_t flags)
{
    if (flags & FORM_BUILTIN)
        return L"builtin";
    return (flags & FORM_PRINTER) ? L"printer" : L"user";
}

const wchar_t* FormKindText(uint32_t flags)
{
    if (flags & FORM_BUILTIN)
        return L"系统内置";
    return (flags & FORM_PRINTER) ? L"打印机" : L"用户";
}

std::wstring JsonMember(const wchar_t* name, const std::wstring& value)
{
    return JsonString(name) + L": " + value;
}

std::wstring JsonObject(const std::vector<std::wstring>& members)
{
    std::wstring text = L"{";
    for (size_t i = 0; i < members.size(); ++i)
        text += (i == 0 ? L"" : L", ") + members[i];
    return text + L"}";
}

std::wstring JsonArray(const std::vector<std::wstring>& items)
{
    const std::wstring object = JsonObject(items);
    return L"[" + object.substr(1, object.size() - 2) + L"]";
}

std::wstring JsonBool(bool value) { return value ? L"true" : L"false"; }

void AddJsonError(std::vector<std::wstring>* members, DWORD code, const std::wstring& text)
{
    if (code != ERROR_SUCCESS)
        members->push_back(JsonMember(L"error_code", DecimalText(code)));
    members->push_back(JsonMember(L"error", JsonString(text)));
}

std::wstring JsonResultText(const std::vector<std::wstring>& head, const wchar_t* listName,
                            const std::vector<std::wstring>& entries, const std::vector<std::wstring>& tail)
{
    std::wstring text = L"{";
    for (const std::wstring& member : head)
        text += L"\r\n  " + member + L",";
    text += L"\r\n  " + JsonString(listName) + L": [";
    for (size_t i = 0; i < entries.size(); ++i)
        text += (i == 0 ? L"\r\n    " : L",\r\n    ") + entries[i];
    text += entries.empty() ? L"]" : L"\r\n  ]";
    for (const std::wstring& member : tail)
        text += L",\r\n  " + member;
    return text + L"\r\n}";
}
