// The bottom layer both tools stand on: a form and the rules on it, decimal numbers, and the
// texts both tools show for the same outcome. It makes no window and calls no spooler, and it
// includes no other layer of ours, so any part of either tool can use it and tests can call
// every function directly.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// --- A form and the rules on it (paper_form.cpp) ---

struct PaperForm {
    std::wstring name;   // empty when the spooler gave no name
    int32_t width = 0;   // thousandths of a millimetre (Size.cx)
    int32_t height = 0;  // thousandths of a millimetre (Size.cy)
    uint32_t flags = 0;  // FORM_USER 0, FORM_BUILTIN 1, FORM_PRINTER 2
};

// Built-in and printer-driver forms can be neither changed nor deleted.
inline bool IsProtectedForm(uint32_t flags) { return (flags & 3) != 0; }

enum class FormChange { Add, Set, Delete };
// "添加", "修改" or "删除": what both tools call the change when it fails.
const wchar_t* FormChangeAction(FormChange change);
// The notice both tools give when a change would touch a protected form; null when the form
// may take it.
const wchar_t* ProtectedFormNotice(const PaperForm& form, FormChange change);

// Only A to Z are folded onto a to z, as the spooler matches form names.
inline wchar_t FoldAsciiUpper(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
std::wstring LowercaseCopy(const std::wstring& text);
// Same length and equal code units after A to Z folding.
bool NamesEqual(const std::wstring& a, const std::wstring& b);
// The table position of the form called name; -1 when there is none.
int FindFormByName(const std::vector<PaperForm>& forms, const std::wstring& name);

// The editor's validation without a window: nullptr on success (sizes filled in),
// otherwise the one notice to show.
const wchar_t* ValidateEditorTexts(const std::wstring& name, const wchar_t* widthText,
                                   const wchar_t* heightText, int32_t* width, int32_t* height);

// --- Decimal numbers (decimal.cpp) ---

// The standard wcstod in the "C" locale, independent of the C runtime's own:
// returns the value and sets *consumed to the code units converted (0: nothing).
double ParseLeadingNumber(const wchar_t* text, size_t* consumed);
// value × 1000 + 0.5, truncated toward zero.
int32_t MillimetresToThousandths(double millimetres);
// Plain decimal digits; std::to_wstring would bring in the C runtime's whole printf.
std::wstring DecimalText(uint64_t value);
// "%.1f" of thousandths / 1000, correctly rounded with ties to even, on any C runtime.
std::wstring FormatMillimetres(int32_t thousandths);
// Millimetres from thousandths, exactly: "241", "101.6", "0.001" (no trailing zeros).
std::wstring ExactMillimetres(int32_t thousandths);

// --- UTF-16 and UTF-8 (unicode.cpp) ---

inline bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// A surrogate without its partner cannot be written as UTF-8.
bool HasUnpairedSurrogate(const std::wstring& text);
// The text as UTF-8, without a BOM.
std::string Utf8Text(const std::wstring& text);

// --- The driver's papers, as the spooler layer reads them ---

// One paper of the driver's list, as DeviceCapabilitiesW gives it.
struct DriverPaper {
    WORD id = 0;
    std::wstring name;
    LONG width = 0;  // tenths of a millimetre
    LONG height = 0; // tenths of a millimetre
};

// What the driver says of one form: whether it lists it, and its size limits.
struct PaperCheck {
    bool offered = false;
    DriverPaper paper;       // when offered
    bool rangeKnown = false; // DC_MINEXTENT / DC_MAXEXTENT answered
    LONG minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // tenths of a millimetre
};

enum class PaperOutcome {
    Done,        // the default now resolves to the form
    NotOffered,  // the driver does not list the form: nothing was written
    Failed,      // a spooler or driver call failed with *code
    NotAccepted, // every call succeeded, yet the default does not resolve to the form
};

// Driver sizes come in tenths of a millimetre, forms in thousandths.
inline int32_t TenthsToThousandths(LONG tenths) { return static_cast<int32_t>(tenths * 100); }

// A driver's paper as browsers list it: its size in micrometres (thousandths of a millimetre),
// turned so that the width is not greater than the height.
struct BrowserSize {
    int32_t width = 0;
    int32_t height = 0;
};
BrowserSize BrowserPaperSize(LONG widthTenths, LONG heightTenths);

// The machine policy value with which Chrome and Edge start on a paper of that size:
// {"name":"custom","custom_size":{"width":W,"height":H}}, micrometres.
std::wstring BrowserPolicyValue(const BrowserSize& size);
// The size such a value names; false for any other value.
bool ParseBrowserPolicyValue(const std::wstring& value, BrowserSize* size);

// Continuous paper is perforated at sixths of an inch: the nearest such height to a form's.
struct FeedPitch {
    int sixths = 0;           // the height in sixths of an inch
    int32_t thousandths = 0;  // that height in thousandths of a millimetre, rounded
    int32_t drift = 0;        // |form height - that height|, thousandths of a millimetre, rounded
};
FeedPitch NearestFeedPitch(int32_t height);
// Whether the check of the form tells of its drift: a user form 0.05 to 1 mm off that pitch.
bool DriftsOnContinuousPaper(const PaperForm& form, FeedPitch* pitch);

// --- Texts both tools show (texts.cpp) ---

// "241.0 × 93.0 mm"
std::wstring FormatSizeText(int32_t width, int32_t height);
// "241 × 101.6 mm", exact.
std::wstring ExactSizeText(int32_t width, int32_t height);
// "显示 N 项，共读取 M 个纸张规格。"
std::wstring FormatStatusSummary(size_t rows, size_t total);
// When the spooler cannot be loaded.
std::wstring SpoolerMissingText(const std::wstring& missing);
// The paper a default DEVMODE names: the driver's name for it, or its id when the driver's
// list does not have it (name empty).
std::wstring DefaultPaperName(const std::wstring& name, WORD id);
// The check as the user reads it: the id and driver size, or the likely reason it is missing.
std::wstring DescribePaperCheck(const std::wstring& printer, const PaperForm& form, const PaperCheck& check);
// The texts of the outcomes of making a form the default paper. account is the account the
// tool runs as; otherAccount says that it is not the one signed in to the desktop.
std::wstring DefaultPaperSetText(const std::wstring& printer, const std::wstring& form, bool allUsers,
                                 const std::wstring& account, bool otherAccount);
std::wstring DefaultPaperNotOfferedText(const std::wstring& printer, const PaperForm& form, const PaperCheck& check);
std::wstring DefaultPaperRefusedText(const std::wstring& current);
// What the check of a form tells: DescribePaperCheck, and for a user form whose height lies
// just off the inch pitch of continuous paper, how far each page drifts.
std::wstring CheckResultText(const std::wstring& printer, const PaperForm& form, const PaperCheck& check);
// The drift note alone; empty when the form has none.
std::wstring FeedDriftNote(const PaperForm& form);
// The default was read first and already is the form: nothing was written.
std::wstring DefaultPaperAlreadyText(const std::wstring& form, const std::wstring& printer);
// One printer of several whose driver does not list the form; it was left as it was.
std::wstring DefaultPaperSkippedText(const std::wstring& printer);
