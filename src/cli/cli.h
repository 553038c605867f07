// zeltra-forms.exe: the forms of one PC set up from a command line, on the bottom layer and
// the spooler layer alone, as the window is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/core.h"
#include "spooler/spooler.h"

// What scripts test; the help text and the README list the same five.
enum ExitCode : int {
    ExitDone = 0,
    ExitFailed = 1,       // a spooler or driver call failed, rights were missing, or the run was interrupted
    ExitUsage = 2,        // usage, an invalid value or an invalid file
    ExitNotFound = 3,     // printer or form not found
    ExitWouldChange = 4,  // --dry-run: a real run would change something
};

// The command line after parsing; the command routine knows which fields it was allowed.
struct CommandLine {
    std::wstring command;
    std::vector<std::wstring> operands;
    std::wstring printer; // --printer; empty: the PC's form table, or the default printer for default and check
    std::wstring format;  // --format: text, csv or json, in lower case
    std::wstring encoding; // --encoding, empty when the file's is to be detected
    bool all = false;      // --all
    bool dryRun = false;   // --dry-run
    bool allUsers = false; // --all-users
    bool allPrinters = false; // --all-printers
    bool clear = false;       // --clear
};

// --- Interrupts (main.cpp) ---
// Whether Ctrl+C or Ctrl+Break asked the command to stop. Commands that go through many forms
// or printers ask before each one, so they stop between two of them.
bool StopRequested();
// The line after the summary of an interrupted run.
extern const wchar_t InterruptedText[];

// --- Output (output.cpp) ---
// A line to standard output or standard error: UTF-16 to a console, UTF-8 without a BOM
// to a file or pipe. Line breaks are "\r\n".
void PrintLine(const std::wstring& text);
void PrintError(const std::wstring& text);
// Writes what standard output still holds; before the process ends, and before anything is
// written to standard error.
void FlushOutput();
// Writes all of bytes; false with *code when the file or pipe takes no more.
bool WriteBytes(HANDLE file, const std::string& bytes, DWORD* code);
// The system's text for a code on one line, without its trailing line break.
std::wstring ErrorLine(DWORD code);
// "action失败：reason"; a refusal for lack of rights reads as such.
std::wstring FailureText(const wchar_t* action, DWORD code);
// The last count hexadecimal digits of value, leading zeros kept: "001f", or "001F" upper-cased.
std::wstring HexDigits(unsigned value, int count, bool upperCase);
// A JSON string literal: quotes, backslashes, control characters and unpaired surrogates escaped.
std::wstring JsonString(const std::wstring& text);
// --format json: "name": value (value already JSON), an object of such members on one line,
// and true or false.
std::wstring JsonMember(const wchar_t* name, const std::wstring& value);
std::wstring JsonObject(const std::vector<std::wstring>& members);
std::wstring JsonArray(const std::vector<std::wstring>& items);
std::wstring JsonBool(bool value);
// The members of an entry that failed: "error_code" (when there is a code) and "error".
void AddJsonError(std::vector<std::wstring>* members, DWORD code, const std::wstring& text);
// The one object a command prints: the head members, then the entries one a line in an array
// called listName, then the tail members.
std::wstring JsonResultText(const std::vector<std::wstring>& head, const wchar_t* listName,
                            const std::vector<std::wstring>& entries, const std::vector<std::wstring>& tail);
// "user", "builtin" or "printer", and the Chinese word for it.
const wchar_t* FormKindToken(uint32_t flags);
const wchar_t* FormKindText(uint32_t flags);

// --- Form files (csv.cpp) ---
struct FileForm {
    size_t line = 0; // where its record starts, from 1
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
};
// Reads and checks a whole form file: the header line (name,width_mm,height_mm or 名称,宽度,高度,
// any letter case, with list --format csv's kind column allowed), then one record per form
// under the command line's rules. Every problem found goes to *errors, each with its line
// number; false when there is any. forcedEncoding is --encoding (empty: detected, see
// DecodeFileText); *encodingName is what the file was read as, for the user.
bool ReadFormFile(const std::wstring& path, const std::wstring& forcedEncoding, std::vector<FileForm>* forms,
                  std::wstring* encodingName, std::vector<std::wstring>* errors);
// The text of a file's bytes. forcedEncoding "utf-8", "ansi" or a code page number (any letter
// case) is used as asked; empty detects: a BOM (UTF-8 or UTF-16 LE), else UTF-8 when the bytes
// are UTF-8 that a person could have written, else the ANSI code page, as Excel saves its
// "CSV (comma delimited)". *encodingName is "UTF-8", "GBK（代码页 936）", .... False with *error,
// naming the first line that cannot be read, when none fits.
bool DecodeFileText(const std::string& bytes, const std::wstring& forcedEncoding, std::wstring* text,
                    std::wstring* encodingName, std::wstring* error);
// One CSV field, quoted when it holds a comma, quote, line break or edge space (RFC 4180).
std::wstring CsvField(const std::wstring& text);
// Why import could not take this form back (empty when it can).
std::wstring ExportProblem(const PaperForm& form);
// The header line, then one record per form, CRLF line ends.
std::wstring FormFileText(const std::vector<PaperForm>& forms);
// UTF-8 with a BOM, without which Excel reads a CSV file in the ANSI code page; false with
// *code on failure.
bool WriteTextFile(const std::wstring& path, const std::wstring& text, DWORD* code);

// --- A form's values from a file or the command line (values.cpp) ---
// Spaces, digits, an optional "." with at most three digits after it, spaces: nothing else.
bool IsStrictSizeText(const std::wstring& text);
// Why these values are refused, without a line number; empty when they are taken, with the
// sizes in thousandths of a millimetre. Names are refused when they are white space alone,
// begin or end with white space, or hold a line break or another control character; sizes
// are held to the rule above. Then the editor's rules (ValidateEditorTexts), whose notices come
// for an empty or long name and a size out of range.
std::wstring FormValuesProblem(const std::wstring& name, const std::wstring& widthText, const std::wstring& heightText,
                               int32_t* width, int32_t* height);

// --- Commands (commands.cpp, paper_commands.cpp); each returns its exit code ---
int PrintersCommand(const CommandLine& line);
int ListCommand(const CommandLine& line);
int AddCommand(const CommandLine& line);
int SetCommand(const CommandLine& line);
int DeleteCommand(const CommandLine& line);
int ExportCommand(const CommandLine& line);
int ImportCommand(const CommandLine& line);
int DefaultCommand(const CommandLine& line);
int CheckCommand(const CommandLine& line);
int BrowserPaperCommand(const CommandLine& line);
// check's lines on the browsers' paper policy of this PC, one a browser that has one, else
// "浏览器策略：未设置"; the same as JSON entries in *json.
std::vector<std::wstring> BrowserPolicyLines(std::vector<std::wstring>* json);

// The printer to work on: --printer matched against the printer list (A to Z folded),
// otherwise the default printer (ExitUsage when there is none). ExitDone, or the exit code
// after telling the user.
int ResolvePrinter(const CommandLine& line, std::wstring* printer);
// The printers default and check NAME work on: every printer for --all-printers, else the
// one ResolvePrinter chooses. ExitDone, or the exit code after telling the user.
int ChoosePrinters(const CommandLine& line, std::vector<std::wstring>* printers);
// A form table: the printer's, or the PC's (through the print server) when printer is empty.
// ExitDone, or ExitFailed after telling the user.
int ReadPrinterTable(const std::wstring& printer, std::vector<PaperForm>* forms);
// The table the form commands work on: --printer's (ResolvePrinter), else the PC's, which
// needs no printer at all (*printer empty); then ReadPrinterTable of it.
int ReadChosenPrinterForms(const CommandLine& line, std::wstring* printer, std::vector<PaperForm>* forms);
// How messages name a table: "打印机“NAME”", or "本机纸张表" for the PC's.
std::wstring TableSubject(const std::wstring& printer);
// "…没有名为“NAME”的纸张。"
std::wstring NoSuchFormText(const std::wstring& printer, const std::wstring& name);
// The first line of list and import: "打印机：NAME", or "纸张表：本机".
std::wstring TableTitle(const std::wstring& printer);
// The note a change through a printer connection (\\server\queue) prints before its first
// result: the form goes to that print server. Empty for anything else.
std::wstring ConnectionNote(const std::wstring& printer);
// Every printer; false, with *exit to return, when there is none to work on or the list
// cannot be read (the user has been told).
bool ListEveryPrinter(std::vector<std::wstring>* printers, int* exit);
// The table, its forms and the place in it of the form named by the first operand;
// ExitNotFound after telling the user when there is no such form.
int FindNamedForm(const CommandLine& line, std::wstring* printer, std::vector<PaperForm>* forms, int* index);
