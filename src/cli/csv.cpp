// Form files: CSV (RFC 4180) with the header name,width_mm,height_mm. Written as UTF-8 with a
// BOM; read as Notepad, Excel and PowerShell save them: UTF-8 with or without a BOM, UTF-16 LE
// with a BOM, or the ANSI code page of Excel's "CSV (comma delimited)".
#include "cli/cli.h"

#include <cstring>

namespace {

const wchar_t Header[] = L"name,width_mm,height_mm";
const size_t FieldCount = 3;
// The header's names, English or Chinese; list --format csv adds the fourth, which import ignores.
const wchar_t* const ColumnNames[][2] = {{L"name", L"名称"}, {L"width_mm", L"宽度"}, {L"height_mm", L"高度"}, {L"kind", L"kind"}};
const LONGLONG MaxFileBytes = 16 * 1024 * 1024; // far beyond any form table
const size_t MaxReported = 50;                   // problems listed before the rest are counted

struct CsvRecord {
    size_t line = 0;
    std::vector<std::wstring> fields;
};

std::wstring AtLine(size_t line, const std::wstring& text) { return L"第 " + DecimalText(line) + L" 行：" + text; }

// A record ends at LF, CRLF, CR (old Mac files) or the end of the file.
bool RecordEndsAt(const std::wstring& text, size_t i) { return i >= text.size() || text[i] == L'\n' || text[i] == L'\r'; }

// Whether a line break ends at i: an LF, or a CR without an LF after it.
bool LineEndsAt(const std::wstring& text, size_t i)
{
    return text[i] == L'\n' || (text[i] == L'\r' && (i + 1 >= text.size() || text[i + 1] != L'\n'));
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
        if (LineEndsAt(text, *i))
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
    if (*i < text.size()) {
        *i += text[*i] == L'\r' && *i + 1 < text.size() && text[*i + 1] == L'\n' ? 2 : 1;
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

bool StartsWith(const std::string& bytes, const char* prefix) { return bytes.compare(0, strlen(prefix), prefix) == 0; }

// bytes from `from` in codePage, every byte checked. False with *badLine, from 1, at the first
// line that does not decode; no trail byte of UTF-8 or of the double-byte code pages is a CR or LF.
bool DecodeBytes(UINT codePage, const std::string& bytes, size_t from, std::wstring* text, size_t* badLine)
{
    text->clear();
    if (from >= bytes.size())
        return true;
    DWORD flags = MB_ERR_INVALID_CHARS;
    const int length = static_cast<int>(bytes.size() - from);
    int units = MultiByteToWideChar(codePage, flags, bytes.data() + from, length, nullptr, 0);
    if (units <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        // Code pages such as ISO-2022 take no flags and cannot report a byte they do not know.
        flags = 0;
        units = MultiByteToWideChar(codePage, flags, bytes.data() + from, length, nullptr, 0);
    }
    if (units > 0) {
        text->resize(static_cast<size_t>(units));
        MultiByteToWideChar(codePage, flags, bytes.data() + from, length, &(*text)[0], units);
        return true;
    }
    *badLine = 1;
    for (size_t at = from; at < bytes.size(); ++*badLine) {
        size_t end = bytes.find_first_of("\r\n", at);
        end = end == std::string::npos ? bytes.size() : end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (MultiByteToWideChar(codePage, flags, bytes.data() + at, static_cast<int>(end - at), nullptr, 0) <= 0)
            return false;
        at = end;
    }
    *badLine = 1;
    return false;
}

bool IsCjkCodePage(UINT codePage) { return codePage == 936 || codePage == 950 || codePage == 932 || codePage == 949; }

// Where GBK (or Big5, ...) lands when it happens to be valid UTF-8: "支票" reads as "֧Ʊ".
// Latin-1 letters (Größe) lie below these ranges. Cyrillic is taken out of them: Cyrillic in
// UTF-8 is clean GBK as well ("Формат" reads as "肖芯褉屑邪褌"), and Russian names are real.
bool HasAccidentalCharacters(const std::wstring& text)
{
    for (wchar_t c : text) {
        const bool suspect = (c >= 0x100 && c <= 0x1FFF) || (c >= 0x2070 && c <= 0x2FFF);
        const bool cyrillic = c >= 0x400 && c <= 0x4FF;
        if (suspect && !cyrillic)
            return true;
    }
    return false;
}

// What a file saved in a CJK code page holds: ASCII, CJK (U+3000–U+9FFF) and full-width forms.
bool IsCjkText(const std::wstring& text)
{
    for (wchar_t c : text)
        if (!(c < 0x80 || (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF)))
            return false;
    return true;
}

std::wstring TrimSpaces(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The name an encoding is shown with: the usual name of the four CJK code pages, otherwise the
// system's own (GetCPInfoExW gives "1252  (ANSI - Latin I)"), and always the number.
std::wstring EncodingName(UINT codePage)
{
    if (codePage == CP_UTF8)
        return L"UTF-8";
    const struct {
        UINT codePage;
        const wchar_t* name;
    } known[] = {{936, L"GBK"}, {950, L"Big5"}, {932, L"Shift-JIS"}, {949, L"UHC"}};
    std::wstring name;
    for (const auto& entry : known)
        if (entry.codePage == codePage)
            name = entry.name;
    CPINFOEXW info = {};
    if (name.empty() && GetCPInfoExW(codePage, 0, &info)) {
        name = info.CodePageName;
        const size_t open = name.find(L'(');
        const size_t close = name.rfind(L')');
        if (open != std::wstring::npos && close != std::wstring::npos && close > open)
            name = name.substr(open + 1, close - open - 1);
        name = TrimSpaces(name);
    }
    const std::wstring number = L"代码页 " + DecimalText(codePage);
    return name.empty() ? number : name + L"（" + number + L"）";
}

// --encoding as a code page; 0 when it names none this system has.
UINT ForcedCodePage(const std::wstring& value)
{
    const std::wstring lower = LowercaseCopy(value);
    if (lower == L"utf-8" || lower == L"utf8")
        return CP_UTF8;
    if (lower == L"ansi")
        return GetACP();
    if (lower.empty() || lower.size() > 5 || lower.find_first_not_of(L"0123456789") != std::wstring::npos)
        return 0;
    UINT codePage = 0;
    for (wchar_t c : lower)
        codePage = codePage * 10 + static_cast<UINT>(c - L'0');
    return IsValidCodePage(codePage) ? codePage : 0;
}

std::wstring NotValidText(size_t line, UINT codePage)
{
    if (codePage == CP_UTF8)
        return AtLine(line, L"不是有效的 UTF-8 文本。请把文件另存为 UTF-8 或 Unicode（UTF-16 LE）。");
    return AtLine(line, L"不是有效的 " + EncodingName(codePage) + L" 文本。");
}

// Excel writes a comma for every column in use, so empty fields past the ones that count are
// no column of the file.
void DropEmptyTail(CsvRecord* record, size_t columns)
{
    while (record->fields.size() > columns && TrimSpaces(record->fields.back()).empty())
        record->fields.pop_back();
}

// How many columns the header names (3, or 4 with kind); 0 when it is no header.
size_t HeaderColumns(CsvRecord header)
{
    DropEmptyTail(&header, FieldCount);
    if (header.fields.size() != FieldCount && header.fields.size() != FieldCount + 1)
        return 0;
    for (size_t k = 0; k < header.fields.size(); ++k) {
        const std::wstring name = TrimSpaces(header.fields[k]);
        if (!NamesEqual(name, ColumnNames[k][0]) && name != ColumnNames[k][1])
            return 0;
    }
    return header.fields.size();
}

// The first line holding anything, for files whose columns are not separated by commas.
std::wstring FirstLine(const std::wstring& text)
{
    const size_t start = text.find_first_not_of(L"\r\n");
    return start == std::wstring::npos ? std::wstring() : text.substr(start, text.find_first_of(L"\r\n", start) - start);
}

// Excel separates columns with semicolons where the comma is the decimal sign, and its
// "Unicode text" with tabs; such a file gets its own message. Empty for any other file.
std::wstring SeparatorProblem(const std::wstring& text)
{
    const std::wstring first = FirstLine(text);
    if (first.find(L',') != std::wstring::npos || first.find_first_of(L";\t") == std::wstring::npos)
        return std::wstring();
    const bool tabs = first.find(L';') == std::wstring::npos;
    return std::wstring(L"文件用") + (tabs ? L"制表符" : L"分号") +
           L"分隔各列。请改用逗号（在 Excel 中另存为\u201CCSV UTF-8（逗号分隔）\u201D）。";
}

// Why the file has no header it can be read by; empty when it has one, with *columns set.
std::wstring HeaderProblem(const std::vector<CsvRecord>& records, size_t* columns)
{
    CsvRecord first = records.empty() ? CsvRecord() : records[0];
    *columns = HeaderColumns(first);
    if (*columns)
        return std::wstring();
    const size_t line = records.empty() ? 1 : first.line;
    DropEmptyTail(&first, FieldCount);
    if (first.fields.size() == FieldCount && IsStrictSizeText(first.fields[1]) && IsStrictSizeText(first.fields[2]))
        return AtLine(line, L"缺少表头。第一行应为 " + std::wstring(Header) + L"。");
    return AtLine(line, L"第一行应为 " + std::wstring(Header) + L"。");
}

// The command line's rules on one record, plus one the editor cannot meet: a NUL would cut the
// name short.
std::wstring CheckRecord(const CsvRecord& record, size_t columns, FileForm* form)
{
    if (record.fields.size() != columns)
        return L"应有 " + DecimalText(columns) + L" 个字段（名称,宽度,高度" + (columns > FieldCount ? L",kind" : L"") +
               L"），这一行有 " + DecimalText(record.fields.size()) + L" 个。";
    form->line = record.line;
    form->name = record.fields[0];
    if (HasNul(form->name))
        return L"纸张名称不能含有空字符（文件可能是没有 BOM 的 UTF-16）。";
    return FormValuesProblem(form->name, record.fields[1], record.fields[2], &form->width, &form->height);
}

} // namespace

bool DecodeFileText(const std::string& bytes, const std::wstring& forcedEncoding, std::wstring* text,
                    std::wstring* encodingName, std::wstring* error)
{
    text->clear();
    const bool utf8Bom = StartsWith(bytes, "\xEF\xBB\xBF");
    size_t badLine = 1;
    UINT codePage = CP_UTF8;
    if (!forcedEncoding.empty()) {
        codePage = ForcedCodePage(forcedEncoding);
        if (codePage == 0) {
            *error = L"--encoding 只能是 utf-8、ansi 或本机支持的代码页编号（例如 936），不能是\u201C" + forcedEncoding +
                     L"\u201D。";
            return false;
        }
        if (!DecodeBytes(codePage, bytes, codePage == CP_UTF8 && utf8Bom ? 3 : 0, text, &badLine)) {
            *error = NotValidText(badLine, codePage);
            return false;
        }
    } else if (StartsWith(bytes, "\xFF\xFE")) {
        if (bytes.size() % 2 != 0) {
            *error = L"文件以 UTF-16 LE 的 BOM 开头，但长度不是偶数个字节。";
            return false;
        }
        for (size_t i = 2; i < bytes.size(); i += 2)
            *text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        *encodingName = L"UTF-16 LE";
        return true;
    } else if (StartsWith(bytes, "\xFE\xFF")) {
        *error = L"不支持 UTF-16 BE 编码的文件，请另存为 UTF-8 或 UTF-16 LE。";
        return false;
    } else if (utf8Bom) {
        if (!DecodeBytes(CP_UTF8, bytes, 3, text, &badLine)) {
            *error = NotValidText(badLine, CP_UTF8);
            return false;
        }
    } else {
        const UINT ansi = GetACP();
        std::wstring ansiText;
        size_t ansiBadLine = 1;
        if (DecodeBytes(CP_UTF8, bytes, 0, text, &badLine)) {
            // GBK that happens to be valid UTF-8 ("支票" reads as "֧Ʊ") is taken for what it is
            // where the ANSI code page makes plain Chinese of it.
            if (IsCjkCodePage(ansi) && HasAccidentalCharacters(*text) && DecodeBytes(ansi, bytes, 0, &ansiText, &ansiBadLine) &&
                IsCjkText(ansiText)) {
                text->swap(ansiText);
                codePage = ansi;
            }
        } else if (ansi != CP_UTF8 && DecodeBytes(ansi, bytes, 0, text, &ansiBadLine)) {
            codePage = ansi;
        } else {
            *error = NotValidText(badLine, CP_UTF8);
            return false;
        }
    }
    *encodingName = EncodingName(codePage);
    return true;
}

bool ReadFormFile(const std::wstring& path, const std::wstring& forcedEncoding, std::vector<FileForm>* forms,
                  std::wstring* encodingName, std::vector<std::wstring>* errors)
{
    forms->clear();
    errors->clear();
    std::string bytes;
    std::wstring text;
    std::wstring error;
    std::vector<CsvRecord> records;
    size_t columns = 0;
    bool read = ReadFileBytes(path, &bytes, &error) && DecodeFileText(bytes, forcedEncoding, &text, encodingName, &error);
    if (read) {
        error = SeparatorProblem(text);
        read = error.empty() && ParseCsv(text, &records, &error);
    }
    if (read) {
        error = HeaderProblem(records, &columns);
        read = error.empty();
    }
    if (!read) {
        errors->push_back(error);
        return false;
    }
    size_t problems = 0;
    for (size_t r = 1; r < records.size(); ++r) {
        CsvRecord record = records[r];
        DropEmptyTail(&record, columns);
        bool blank = true;
        for (const std::wstring& field : record.fields)
            blank = blank && field.empty();
        // A row Excel kept empty is saved as commas alone.
        if (blank)
            continue;
        FileForm form;
        std::wstring problem = CheckRecord(record, columns, &form);
        for (size_t k = 0; problem.empty() && k < forms->size(); ++k)
            if (NamesEqual((*forms)[k].name, form.name))
                problem = L"纸张“" + form.name + L"”与第 " + DecimalText((*forms)[k].line) + L" 行重名。";
        if (problem.empty()) {
            forms->push_back(form);
        } else if (++problems <= MaxReported) {
            errors->push_back(AtLine(record.line, problem));
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
    bool ok = WriteBytes(file, "\xEF\xBB\xBF" + Utf8Text(text), code);
    if (!CloseHandle(file) && ok) {
        ok = false;
        *code = GetLastError();
        if (*code == ERROR_SUCCESS)
            *code = ERROR_WRITE_FAULT;
    }
    return ok;
}
