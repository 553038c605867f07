// Form files: CSV (RFC 4180) with the header name,width_mm,height_mm. Written as UTF-8;
// read as UTF-8 with or without a BOM, or UTF-16 LE with a BOM, since that is what
// Notepad, Excel and PowerShell save.
#include "cli/cli.h"

namespace {

const wchar_t Header[] = L"name,width_mm,height_mm";
const size_t FieldCount = 3;
const LONGLONG MaxFileBytes = 16 * 1024 * 1024; // far beyond any form table
const size_t MaxReported = 50;                   // problems listed before the rest are counted

struct CsvRecord {
    size_t line = 0;
    std::vector<std::wstring> fields;
};

std::wstring AtLine(size_t line, const std::wstring& text) { return L"第 " + DecimalText(line) + L" 行：" + text; }

// A record ends at LF, CRLF, a CR that ends the file, or the end of the file.
bool RecordEndsAt(const std::wstring& text, size_t i)
{
    return i >= text.size() || text[i] == L'\n' || (text[i] == L'\r' && (i + 1 >= text.size() || text[i + 1] == L'\n'));
}

// One quoted field from the opening quote at *i: "" stands for a quote, and line breaks are
// kept (counted in *line). False with *error when the quote never ends or text follows it.
bool ReadQuotedField(const std::wstring& text, size_t* i, size_t* line, std::wstring* field, std::wstring* error)
{
    const size_t opened = *line;
    for (++*i;; ++*i) {
        if (*i >= text.size()) {
            *error = AtLine(opened, L"引号没有结束。");
            return false;
        }
        if (text[*i] == L'"') {
            if (*i + 1 < text.size() && text[*i + 1] == L'"') {
                *field += L'"';
                ++*i;
                continue;
            }
            ++*i;
            break;
        }
        if (text[*i] == L'\n')
            ++*line;
        *field += text[*i];
    }
    if (!RecordEndsAt(text, *i) && text[*i] != L',') {
        *error = AtLine(*line, L"引号后面只能是逗号或换行。");
        return false;
    }
    return true;
}

// One field without quotes, up to the next comma or the end of the record.
bool ReadPlainField(const std::wstring& text, size_t* i, size_t line, std::wstring* field, std::wstring* error)
{
    while (!RecordEndsAt(text, *i) && text[*i] != L',') {
        if (text[*i] == L'"') {
            *error = AtLine(line, L"含有引号的字段要整个放在引号中，字段中的引号写成两个（\"\"）。");
            return false;
        }
        *field += text[(*i)++];
    }
    return true;
}

// The fields of one record from *i, and past its line break.
bool ReadRecord(const std::wstring& text, size_t* i, size_t* line, CsvRecord* record, std::wstring* error)
{
    record->line = *line;
    for (;;) {
        std::wstring field;
        const bool read = *i < text.size() && text[*i] == L'"' ? ReadQuotedField(text, i, line, &field, error)
                                                              : ReadPlainField(text, i, *line, &field, error);
        if (!read)
            return false;
        record->fields.push_back(field);
        if (*i >= text.size() || text[*i] != L',')
            break;
        ++*i;
    }
    if (*i < text.size() && text[*i] == L'\r')
        ++*i;
    if (*i < text.size() && text[*i] == L'\n') {
        ++*i;
        ++*line;
    }
    return true;
}

// Splits text into records; a quoted field may hold commas, quotes ("") and line breaks.
bool ParseCsv(const std::wstring& text, std::vector<CsvRecord>* records, std::wstring* error)
{
    size_t line = 1;
    size_t i = 0;
    while (i < text.size()) {
        CsvRecord record;
        if (!ReadRecord(text, &i, &line, &record, error))
            return false;
        // Blank lines (a file's last line break, say) hold no record.
        if (!(record.fields.size() == 1 && record.fields[0].empty()))
            records->push_back(record);
    }
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes, std::wstring* error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = L"无法打开文件“" + path + L"”：" + ErrorLine(GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    bool read = GetFileSizeEx(file, &size) != FALSE;
    DWORD code = read ? ERROR_SUCCESS : GetLastError();
    if (read && size.QuadPart > MaxFileBytes) {
        CloseHandle(file);
        *error = L"文件“" + path + L"”太大，不像是纸张列表。";
        return false;
    }
    if (read) {
        bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        read = bytes->empty() || ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr);
        code = read ? ERROR_SUCCESS : GetLastError();
        if (read)
            bytes->resize(got);
    }
    CloseHandle(file);
    if (!read)
        *error = L"无法读取文件“" + path + L"”：" + ErrorLine(code);
    return read;
}

bool HasNul(const std::wstring& text) { return text.find(L'\0') != std::wstring::npos; }

// The command line's rules, plus one the editor cannot meet: a NUL would cut the name short.
std::wstring CheckRecord(const CsvRecord& record, FileForm* form)
{
    if (record.fields.size() != FieldCount)
        return L"应有 3 个字段（名称,宽度,高度），这一行有 " + DecimalText(record.fields.size()) + L" 个。";
    form->line = record.line;
    form->name = record.fields[0];
    if (HasNul(form->name))
        return L"纸张名称不能含有空字符（文件可能是没有 BOM 的 UTF-16）。";
    return FormValuesProblem(form->name, record.fields[1], record.fields[2], &form->width, &form->height);
}

} // namespace

bool DecodeFileText(const std::string& bytes, std::wstring* text, std::wstring* error)
{
    text->clear();
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            *error = L"文件以 UTF-16 LE 的 BOM 开头，但长度不是偶数个字节。";
            return false;
        }
        for (size_t i = 2; i < bytes.size(); i += 2)
            *text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        return true;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF) {
        *error = L"不支持 UTF-16 BE 编码的文件，请另存为 UTF-8 或 UTF-16 LE。";
        return false;
    }
    size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // Line by line, so that an invalid byte is reported where it is.
    for (size_t line = 1; at < bytes.size(); ++line) {
        size_t end = bytes.find('\n', at);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const int length = static_cast<int>(end - at);
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + at, length, nullptr, 0);
        if (units <= 0) {
            *error = AtLine(line, L"不是有效的 UTF-8 文本。请把文件另存为 UTF-8 或 Unicode（UTF-16 LE）。");
            return false;
        }
        const size_t start = text->size();
        text->resize(start + static_cast<size_t>(units));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + at, length, &(*text)[start], units);
        at = end;
    }
    return true;
}

bool ReadFormFile(const std::wstring& path, const std::wstring&, std::vector<FileForm>* forms,
                  std::wstring* encodingName, std::vector<std::wstring>* errors)
{
    *encodingName = L"UTF-8";
    forms->clear();
    errors->clear();
    std::string bytes;
    std::wstring text;
    std::wstring error;
    std::vector<CsvRecord> records;
    if (!ReadFileBytes(path, &bytes, &error) || !DecodeFileText(bytes, &text, &error) ||
        !ParseCsv(text, &records, &error)) {
        errors->push_back(error);
        return false;
    }
    const bool headed = !records.empty() && records[0].fields.size() == FieldCount &&
                        NamesEqual(records[0].fields[0] + L"," + records[0].fields[1] + L"," + records[0].fields[2], Header);
    if (!headed) {
        errors->push_back(AtLine(records.empty() ? 1 : records[0].line, L"第一行应为 " + std::wstring(Header) + L"。"));
        return false;
    }
    size_t problems = 0;
    for (size_t r = 1; r < records.size(); ++r) {
        FileForm form;
        std::wstring problem = CheckRecord(records[r], &form);
        for (size_t k = 0; problem.empty() && k < forms->size(); ++k)
            if (NamesEqual((*forms)[k].name, form.name))
                problem = L"纸张“" + form.name + L"”与第 " + DecimalText((*forms)[k].line) + L" 行重名。";
        if (problem.empty()) {
            forms->push_back(form);
        } else if (++problems <= MaxReported) {
            errors->push_back(AtLine(records[r].line, problem));
        }
    }
    if (problems > MaxReported)
        errors->push_back(L"另有 " + DecimalText(problems - MaxReported) + L" 行有问题。");
    return problems == 0;
}

std::wstring CsvField(const std::wstring& text)
{
    const bool quoted = text.find_first_of(L",\"\r\n") != std::wstring::npos ||
                        (!text.empty() && (text.front() == L' ' || text.front() == L'\t' || text.back() == L' ' ||
                                           text.back() == L'\t'));
    if (!quoted)
        return text;
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"')
            out += L'"';
        out += c;
    }
    return out + L"\"";
}

std::wstring ExportProblem(const PaperForm& form)
{
    if (HasNul(form.name) || HasUnpairedSurrogate(form.name))
        return L"名称含有无法写入 UTF-8 文件的字符";
    int32_t width = 0;
    int32_t height = 0;
    std::wstring problem = FormValuesProblem(form.name, ExactMillimetres(form.width), ExactMillimetres(form.height), &width, &height);
    if (!problem.empty()) {
        // The caller's sentence goes on after it.
        if (problem.back() == L'。')
            problem.pop_back();
        return problem;
    }
    if (width != form.width || height != form.height)
        return L"尺寸无法精确写成毫米";
    return std::wstring();
}

std::wstring FormFileText(const std::vector<PaperForm>& forms)
{
    std::wstring text = std::wstring(Header) + L"\r\n";
    for (const PaperForm& form : forms)
        text += CsvField(form.name) + L"," + ExactMillimetres(form.width) + L"," + ExactMillimetres(form.height) + L"\r\n";
    return text;
}

bool WriteTextFile(const std::wstring& path, const std::wstring& text, DWORD* code)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *code = GetLastError();
        return false;
    }
    bool ok = WriteBytes(file, Utf8Text(text), code);
    if (!CloseHandle(file) && ok) {
        ok = false;
        *code = GetLastError();
        if (*code == ERROR_SUCCESS)
            *code = ERROR_WRITE_FAULT;
    }
    return ok;
}
