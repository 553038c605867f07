#include "standin_state.h"

#include <cstdio>
#include <cstring>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace standin {

namespace {

// --- Text primitives ---

void AppendUtf8(std::string* out, unsigned cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[*pos]; strict, so a file that is not UTF-8 is
// reported rather than read as something else.
bool DecodeUtf8(const std::string& text, size_t* pos, unsigned* cp) {
    const unsigned char c = static_cast<unsigned char>(text[*pos]);
    int extra;
    unsigned value, minimum;
    if (c < 0x80) {
        *cp = c;
        ++*pos;
        return true;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1, value = c & 0x1F, minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, value = c & 0x0F, minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, value = c & 0x07, minimum = 0x10000;
    } else {
        return false;
    }
    if (*pos + extra >= text.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        const unsigned char d = static_cast<unsigned char>(text[*pos + i]);
        if ((d & 0xC0) != 0x80) return false;
        value = (value << 6) | (d & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    *cp = value;
    *pos += extra + 1;
    return true;
}

void AppendUtf16(std::wstring* out, unsigned cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(static_cast<wchar_t>(cp));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// --- Lines and tokens ---

struct Token {
    bool quoted = false;
    std::string word;    // a bare token
    std::wstring text;   // a quoted string, decoded
};

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) return true;
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\') {
                    if (i + 1 >= line.size()) break;
                    const char e = line[i + 1];
                    i += 2;
                    switch (e) {
                    case '"': token.text.push_back(L'"'); break;
                    case '\\': token.text.push_back(L'\\'); break;
                    case 'r': token.text.push_back(L'\r'); break;
                    case 'n': token.text.push_back(L'\n'); break;
                    case 't': token.text.push_back(L'\t'); break;
                    case 'u': {
                        unsigned unit = 0;
                        for (int k = 0; k < 4; ++k) {
                            const int d = i + k < line.size() ? HexDigit(line[i + k]) : -1;
                            if (d < 0) {
                                *error = "\\u needs four hex digits";
                                return false;
                            }
                            unit = unit * 16 + static_cast<unsigned>(d);
                        }
                        i += 4;
                        token.text.push_back(static_cast<wchar_t>(unit));
                        break;
                    }
                    default:
                        *error = std::string("unknown escape \\") + e;
                        return false;
                    }
                    continue;
                }
                unsigned cp;
                if (!DecodeUtf8(line, &i, &cp)) {
                    *error = "text is not UTF-8";
                    return false;
                }
                AppendUtf16(&token.text, cp);
            }
            if (!closed) {
                *error = "string without closing quote";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                *error = "no space after a string";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                if (line[i] == '"') {
                    *error = "quote inside a word";
                    return false;
                }
                token.word.push_back(line[i++]);
            }
        }
        tokens->push_back(token);
    }
}

bool ParseLong(const Token& t, LONG* value) {
    if (t.quoted || t.word.empty() || t.word.size() > 11) return false;
    size_t i = 0;
    bool negative = false;
    if (t.word[0] == '-') negative = true, i = 1;
    if (i >= t.word.size()) return false;
    long long v = 0;
    for (; i < t.word.size(); ++i) {
        if (t.word[i] < '0' || t.word[i] > '9') return false;
        v = v * 10 + (t.word[i] - '0');
    }
    if (negative) v = -v;
    if (v < -2147483648LL || v > 2147483647LL) return false;
    *value = static_cast<LONG>(v);
    return true;
}

// Decimal or 0x-prefixed hexadecimal, 32 bits.
bool ParseDword(const Token& t, DWORD* value) {
    if (t.quoted || t.word.empty()) return false;
    unsigned long long v = 0;
    const std::string& w = t.word;
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
        if (w.size() > 10) return false;
        for (size_t i = 2; i < w.size(); ++i) {
            const int d = HexDigit(w[i]);
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
    } else {
        if (w.size() > 10) return false;
        for (char c : w) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + static_cast<unsigned>(c - '0');
        }
        if (v > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<DWORD>(v);
    return true;
}

bool IsWord(const Token& t, const char* word) { return !t.quoted && t.word == word; }

bool ParseYesNo(const std::vector<Token>& t, bool* value, std::string* error) {
    if (t.size() == 2 && IsWord(t[1], "yes")) return *value = true, true;
    if (t.size() == 2 && IsWord(t[1], "no")) return *value = false, true;
    *error = t[0].word + " needs yes or no";
    return false;
}

bool ParsePrinter(const std::vector<Token>& t, Printer* p, std::string* error) {
    if (t.size() < 2 || !t[1].quoted) {
        *error = t[0].word + " needs a quoted name";
        return false;
    }
    p->connection = t[0].word == "connection";
    p->name = t[1].text;
    for (size_t i = 2; i < t.size(); i += 2) {
        if (IsWord(t[i], "extent")) {
            LONG* fields[] = {&p->minWidth, &p->minLength, &p->maxWidth, &p->maxLength};
            for (int k = 0; k < 4; ++k) {
                // DC_MINEXTENT and DC_MAXEXTENT hand the range out as 16-bit POINTS.
                if (i + 1 + k >= t.size() || !ParseLong(t[i + 1 + k], fields[k]) || *fields[k] < 1 ||
                    *fields[k] > 32767) {
                    *error = "extent needs four sizes from 1 to 32767 (tenths of a millimetre)";
                    return false;
                }
            }
            if (p->minWidth > p->maxWidth || p->minLength > p->maxLength) {
                *error = "extent minimum is larger than its maximum";
                return false;
            }
            p->hasExtent = true;
            i += 3;
            continue;
        }
        if (i + 1 >= t.size() || !t[i + 1].quoted) {
            *error = "printer options are port \"...\", driver \"...\" and extent MINW MINH MAXW MAXH";
            return false;
        }
        if (IsWord(t[i], "port")) {
            p->port = t[i + 1].text;
        } else if (IsWord(t[i], "driver")) {
            p->driver = t[i + 1].text;
        } else {
            *error = "unknown printer option";
            return false;
        }
    }
    return true;
}

bool ParseForm(const std::vector<Token>& t, Form* f, std::string* error) {
    if (t.size() != 9) {
        *error = "form needs: kind cx cy left top right bottom name";
        return false;
    }
    if (IsWord(t[1], "user")) {
        f->flags = FORM_USER;
    } else if (IsWord(t[1], "builtin")) {
        f->flags = FORM_BUILTIN;
    } else if (IsWord(t[1], "printer")) {
        f->flags = FORM_PRINTER;
    } else if (!ParseDword(t[1], &f->flags)) {
        *error = "form kind is user, builtin, printer or a number";
        return false;
    }
    LONG* fields[] = {&f->cx, &f->cy, &f->left, &f->top, &f->right, &f->bottom};
    for (int i = 0; i < 6; ++i) {
        if (!ParseLong(t[2 + i], fields[i])) {
            *error = "form sizes are whole numbers";
            return false;
        }
    }
    if (IsWord(t[8], "null")) {
        f->hasName = false;
    } else if (t[8].quoted) {
        f->hasName = true;
        f->name = t[8].text;
    } else {
        *error = "form name is a quoted string or null";
        return false;
    }
    return true;
}

bool ParseDefaultPaper(const std::vector<Token>& t, State* state, std::string* error) {
    LONG id = 0;
    if (t.size() < 5 || t.size() % 2 == 0 || !(IsWord(t[1], "global") || IsWord(t[1], "user")) || !t[2].quoted ||
        !ParseLong(t[3], &id) || id < 0 || id > 32767 || !t[4].quoted) {
        *error = "default-paper needs: global|user \"PRINTER\" ID \"FORM\" [orientation N] [duplex N] [copies N]";
        return false;
    }
    Printer* printer = FindPrinter(state, t[2].text);
    if (!printer) {
        *error = "default-paper names no printer listed above it";
        return false;
    }
    PaperSetting setting;
    setting.set = true;
    setting.id = static_cast<short>(id);
    setting.form = t[4].text;
    for (size_t i = 5; i + 1 < t.size(); i += 2) {
        LONG value = 0;
        short* field = IsWord(t[i], "orientation") ? &setting.orientation
                       : IsWord(t[i], "duplex")    ? &setting.duplex
                       : IsWord(t[i], "copies")    ? &setting.copies
                                                   : nullptr;
        if (!field || !ParseLong(t[i + 1], &value) || value < 1 || value > 9999) {
            *error = "default-paper takes orientation, duplex and copies, each 1 to 9999";
            return false;
        }
        *field = static_cast<short>(value);
    }
    (IsWord(t[1], "global") ? printer->globalPaper : printer->userPaper) = setting;
    return true;
}

// Faults that add a form once the caller has measured, so they fire only once.
bool IsGrowFault(const std::string& kind) {
    return kind == "EnumFormsW.grow" || kind == "DeviceCapabilitiesW.grow";
}

bool ParseFault(const std::vector<Token>& t, Fault* f, std::string* error) {
    size_t n = t.size();
    if (n >= 3 && IsWord(t[n - 1], "once")) {
        f->once = true;
        --n;
    }
    if (n < 2 || t[1].quoted) {
        *error = "fault needs a kind";
        return false;
    }
    f->kind = t[1].word;
    const std::string& k = f->kind;
    if (IsGrowFault(k)) {
        f->once = true;  // the form it adds is there afterwards, so it fires only once
        if (n == 2) return true;
    } else if (k == "EnumFormsW.silent") {
        if (n == 2) return true;
    } else if (k == "DocumentPropertiesW.short" || k == "DocumentPropertiesW.dmsize" ||
               k == "DocumentPropertiesW.extra" || k == "DocumentPropertiesW.paper-width") {
        if (n == 3 && ParseDword(t[2], &f->code) && f->code <= 32767) return true;
        *error = "fault " + k + " needs a number up to 32767";
        return false;
    } else if (k == "DocumentPropertiesW.ignore-form") {
        if (n == 2) return true;
        *error = "fault " + k + " takes no code";
        return false;
    } else if (k == "OpenPrinterW") {
        if (n == 4 && ParseDword(t[3], &f->code)) {
            if (IsWord(t[2], "null")) return f->nullAccess = true, true;
            if (ParseDword(t[2], &f->access)) return true;
        }
        *error = "fault OpenPrinterW needs an access mask (or null) and an error code";
        return false;
    } else if (k == "EnumFormsW.size" || k == "EnumFormsW.fill" || k == "EnumPrintersW.size" ||
               k == "EnumPrintersW.fill" || k == "AddFormW" || k == "SetFormW" ||
               k == "DeleteFormW" || k == "GetDefaultPrinterW" || k == "GetPrinterW" ||
               k == "SetPrinterW" || k == "SetPrinterW.2" || k == "SetPrinterW.8" || k == "SetPrinterW.9" ||
               k == "DocumentPropertiesW" || k == "DeviceCapabilitiesW" || k == "EnumFormsW.count" ||
               k == "EnumPrintersW.count") {
        if (n == 3 && ParseDword(t[2], &f->code)) return true;
    } else {
        *error = "unknown fault " + k;
        return false;
    }
    *error = "fault " + k + " needs an error code";
    return false;
}

std::string Hex8(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string FormKind(DWORD flags) {
    switch (flags) {
    case FORM_USER: return "user";
    case FORM_BUILTIN: return "builtin";
    case FORM_PRINTER: return "printer";
    default: return std::to_string(flags);
    }
}

// --- Files ---

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(&out, cp);
    }
    return out;
}

HANDLE StateMutex() {
    // Created once and kept for the process's life; the name is shared by all processes
    // of the Wine server (or Windows session), so one writer at a time.
    static HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\ZeltraStandInSpoolerState");
    return mutex;
}

}  // namespace

std::string QuoteString(const std::wstring& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned c = text[i];
        if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            AppendUtf8(&out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
            // Controls and lone surrogates are written as code units so any name survives.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            AppendUtf8(&out, c);
        }
    }
    return out + "\"";
}

bool NamesEqual(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

Printer* FindPrinter(State* state, const std::wstring& name) {
    for (Printer& p : state->printers) {
        if (NamesEqual(p.name, name)) return &p;
    }
    return nullptr;
}

std::vector<Form> FormTable(const State& state) {
    std::vector<Form> table;
    if (state.standardForms) table = StandardForms();
    table.insert(table.end(), state.forms.begin(), state.forms.end());
    return table;
}

bool ParseState(const std::string& text, State* state, int* errorLine, std::string* error) {
    *state = State();
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        *errorLine = lineNumber;

        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<Token> t;
        if (!Tokenize(line, &t, error)) return false;
        if (t[0].quoted) {
            *error = "a line starts with a keyword";
            return false;
        }
        const std::string& key = t[0].word;
        bool ok = true;
        if (key == "admin") {
            ok = ParseYesNo(t, &state->admin, error);
        } else if (key == "standard-forms") {
            ok = ParseYesNo(t, &state->standardForms, error);
        } else if (key == "printer" || key == "connection") {
            Printer p;
            ok = ParsePrinter(t, &p, error);
            state->printers.push_back(p);
        } else if (key == "default") {
            if (t.size() == 2 && t[1].quoted) {
                state->hasDefault = true;
                state->defaultPrinter = t[1].text;
            } else if (t.size() == 2 && IsWord(t[1], "none")) {
                state->hasDefault = false;
                state->defaultPrinter.clear();
            } else {
                *error = "default needs a quoted printer name or none";
                ok = false;
            }
        } else if (key == "default-paper") {
            ok = ParseDefaultPaper(t, state, error);
        } else if (key == "form") {
            Form f;
            ok = ParseForm(t, &f, error);
            state->forms.push_back(f);
        } else if (key == "fault") {
            Fault f;
            ok = ParseFault(t, &f, error);
            state->faults.push_back(f);
        } else {
            *error = "unknown keyword " + key;
            ok = false;
        }
        if (!ok) return false;
    }
    *errorLine = 0;
    return true;
}

std::string FormatState(const State& state) {
    std::string out = "# Stand-in print spooler state; rewritten after every change.\n";
    out += std::string("admin ") + (state.admin ? "yes" : "no") + "\n";
    out += std::string("standard-forms ") + (state.standardForms ? "yes" : "no") + "\n";
    for (const Printer& p : state.printers) {
        out += (p.connection ? "connection " : "printer ") + QuoteString(p.name);
        if (!p.port.empty()) out += " port " + QuoteString(p.port);
        if (!p.driver.empty()) out += " driver " + QuoteString(p.driver);
        if (p.hasExtent) {
            out += " extent";
            for (LONG v : {p.minWidth, p.minLength, p.maxWidth, p.maxLength}) out += " " + std::to_string(v);
        }
        out += "\n";
    }
    if (state.hasDefault) out += "default " + QuoteString(state.defaultPrinter) + "\n";
    for (const Printer& p : state.printers) {
        const std::pair<const char*, const PaperSetting*> settings[] = {{"global", &p.globalPaper},
                                                                        {"user", &p.userPaper}};
        for (const auto& s : settings) {
            if (!s.second->set) continue;
            out += std::string("default-paper ") + s.first + " " + QuoteString(p.name) + " " +
                   std::to_string(s.second->id) + " " + QuoteString(s.second->form);
            const std::pair<const char*, short> looks[] = {
                {"orientation", s.second->orientation}, {"duplex", s.second->duplex}, {"copies", s.second->copies}};
            for (const auto& look : looks) {
                if (look.second) out += std::string(" ") + look.first + " " + std::to_string(look.second);
            }
            out += "\n";
        }
    }
    for (const Form& f : state.forms) {
        out += "form " + FormKind(f.flags);
        for (LONG v : {f.cx, f.cy, f.left, f.top, f.right, f.bottom}) out += " " + std::to_string(v);
        out += " " + (f.hasName ? QuoteString(f.name) : std::string("null")) + "\n";
    }
    for (const Fault& f : state.faults) {
        out += "fault " + f.kind;
        if (f.kind == "OpenPrinterW") out += " " + (f.nullAccess ? std::string("null") : Hex8(f.access));
        if (f.kind == "DocumentPropertiesW.ignore-form" || f.kind == "EnumFormsW.silent") {
            if (f.once) out += " once";
        } else if (!IsGrowFault(f.kind)) {
            out += " " + std::to_string(f.code);
            if (f.once) out += " once";
        }
        out += "\n";
    }
    return out;
}

std::wstring StatePath() {
    std::wstring value(512, L'\0');
    DWORD n = GetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", &value[0], static_cast<DWORD>(value.size()));
    if (n >= value.size()) {
        value.resize(n);
        n = GetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", &value[0], n);
    }
    if (n > 0 && n < value.size()) {
        value.resize(n);
        return value;
    }
    std::wstring module(MAX_PATH, L'\0');
    DWORD m;
    while ((m = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), &module[0],
                                   static_cast<DWORD>(module.size()))) == module.size()) {
        module.resize(module.size() * 2);
    }
    module.resize(m);
    const size_t slash = module.find_last_of(L"\\/");
    module.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return module + L"standin-spooler.txt";
}

StateLock::StateLock() {
    const HANDLE mutex = StateMutex();
    if (mutex) {
        // A holder that died leaves the mutex abandoned; the file is still whole, since
        // writes only ever replace it in one move.
        const DWORD r = WaitForSingleObject(mutex, INFINITE);
        held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
}

StateLock::~StateLock() {
    if (held_) ReleaseMutex(StateMutex());
}

void ReportError(const std::string& text) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\n";
    DWORD written;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

DWORD LoadState(State* state) {
    const std::wstring path = StatePath();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            *state = State();
            return ERROR_SUCCESS;
        }
        return error;
    }
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    DWORD error = ERROR_SUCCESS;
    while (true) {
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        text.append(chunk, got);
    }
    CloseHandle(file);
    if (error != ERROR_SUCCESS) return error;

    int line = 0;
    std::string reason;
    if (!ParseState(text, state, &line, &reason)) {
        ReportError("stand-in spooler: " + ToUtf8(path) + ":" + std::to_string(line) + ": " + reason);
        return ERROR_INVALID_DATA;
    }
    return ERROR_SUCCESS;
}

DWORD SaveState(const State& state) {
    const std::wstring path = StatePath();
    const std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const std::string text = FormatState(state);
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        error = GetLastError();
    } else if (written != text.size()) {
        error = ERROR_WRITE_FAULT;
    } else if (!FlushFileBuffers(file)) {
        error = GetLastError();
    }
    CloseHandle(file);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) DeleteFileW(temp.c_str());
    return error;
}

}  // namespace standin
