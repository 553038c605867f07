// The printer's default paper and the driver's paper list, read the way a browser reads
// them: the default DEVMODE's dmPaperSize, looked up among DeviceCapabilitiesW's papers.
#include "spooler/spooler.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

const int PaperNameLength = 64;      // DC_PAPERNAMES entries, not always NUL-terminated
const int PaperListSlack = 64;       // entries beyond the count, for a list that grew meanwhile
const LONG SizeToleranceTenths = 1;  // "the same size": within 0.1 mm
const DWORD ThousandthsPerTenth = 100;

// How many entries a DeviceCapabilitiesW list has: the count call, with no buffer.
DWORD CountCapability(const std::wstring& printer, WORD capability, int* count)
{
    SetLastError(ERROR_SUCCESS);
    *count = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, capability, nullptr, nullptr);
    return *count < 0 ? LastFailureCode() : ERROR_SUCCESS;
}

// One DeviceCapabilitiesW list: the count, then a fill into room for more than counted,
// since the driver's list may grow between the two calls and the call takes no size.
template <typename Entry>
DWORD ReadCapability(const std::wstring& printer, WORD capability, std::vector<Entry>* entries)
{
    entries->clear();
    int count = 0;
    const DWORD code = CountCapability(printer, capability, &count);
    if (code != ERROR_SUCCESS || count == 0)
        return code;
    const size_t room = static_cast<size_t>(count) + PaperListSlack;
    entries->assign(room, Entry());
    const int filled = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, capability,
                                                   reinterpret_cast<LPWSTR>(entries->data()), nullptr);
    if (filled < 0)
        return LastFailureCode();
    entries->resize(static_cast<size_t>(filled) < room ? static_cast<size_t>(filled) : room);
    return ERROR_SUCCESS;
}

struct PaperName {
    wchar_t text[PaperNameLength];
};

// The three lists once; false when they do not line up (the list changed in between).
DWORD ReadPaperLists(const std::wstring& printer, std::vector<DriverPaper>* papers, bool* consistent)
{
    std::vector<WORD> ids;
    std::vector<PaperName> names;
    std::vector<POINT> sizes;
    DWORD code = ReadCapability(printer, DC_PAPERS, &ids);
    if (code == ERROR_SUCCESS)
        code = ReadCapability(printer, DC_PAPERNAMES, &names);
    if (code == ERROR_SUCCESS)
        code = ReadCapability(printer, DC_PAPERSIZE, &sizes);
    if (code != ERROR_SUCCESS)
        return code;
    *consistent = ids.size() == names.size() && ids.size() == sizes.size();
    const size_t count = std::min(ids.size(), std::min(names.size(), sizes.size()));
    for (size_t i = 0; i < count; ++i) {
        DriverPaper paper;
        paper.id = ids[i];
        size_t length = 0;
        while (length < PaperNameLength && names[i].text[length] != L'\0')
            ++length;
        paper.name.assign(names[i].text, length);
        paper.width = sizes[i].x;
        paper.height = sizes[i].y;
        papers->push_back(paper);
    }
    return ERROR_SUCCESS;
}

bool WithinTenth(int32_t thousandths, LONG tenths)
{
    const long long difference = static_cast<long long>(thousandths) - static_cast<long long>(tenths) * ThousandthsPerTenth;
    const long long tolerance = SizeToleranceTenths * ThousandthsPerTenth;
    return difference <= tolerance && difference >= -tolerance;
}

// Room for a DEVMODE that a driver fills. Some drivers write more than DocumentPropertiesW(…, 0)
// reported, so the buffer has twice that and 8 KiB more, as browsers' print code allows.
size_t DevModeRoom(LONG reported)
{
    return 2 * static_cast<size_t>(reported) + 8192;
}

// A DEVMODE that a driver or the spooler handed back is used only when its public part
// reaches dmFormName and its private bytes end inside the bytes it came in.
DWORD CheckDevMode(const DEVMODEW* mode, size_t available)
{
    const size_t publicPart = offsetof(DEVMODEW, dmFormName) + sizeof mode->dmFormName;
    if (available < publicPart || mode->dmSize < publicPart ||
        static_cast<size_t>(mode->dmSize) + mode->dmDriverExtra > available)
        return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

// The driver's DEVMODE: the caller's own default when in is null, else in merged by the driver.
// Some old drivers crash in DocumentPropertiesW when they list no papers, so they are not asked.
DWORD DriverDevMode(HANDLE printer, const std::wstring& name, const DEVMODEW* in, std::vector<BYTE>* devmode)
{
    int papers = 0;
    const DWORD counted = CountCapability(name, DC_PAPERSIZE, &papers);
    if (counted != ERROR_SUCCESS || papers == 0)
        return counted != ERROR_SUCCESS ? counted : ERROR_NOT_SUPPORTED;
    std::wstring device(name);
    const LONG size = Spooler.DocumentPropertiesW(nullptr, printer, &device[0], nullptr, nullptr, 0);
    if (size <= 0)
        return LastFailureCode();
    devmode->assign(DevModeRoom(size), 0);
    DEVMODEW* out = reinterpret_cast<DEVMODEW*>(devmode->data());
    const DWORD mode = in ? DM_IN_BUFFER | DM_OUT_BUFFER : DM_OUT_BUFFER;
    if (Spooler.DocumentPropertiesW(nullptr, printer, &device[0], out, const_cast<DEVMODEW*>(in), mode) != IDOK)
        return LastFailureCode();
    return CheckDevMode(out, devmode->size());
}

// One GetPrinterW record: a sizing call, then one fill of exactly that size.
DWORD ReadPrinterInfo(HANDLE printer, DWORD level, std::vector<BYTE>* info)
{
    DWORD needed = 0;
    Spooler.GetPrinterW(printer, level, nullptr, 0, &needed);
    if (needed == 0)
        return LastFailureCode();
    info->assign(needed, 0);
    return Spooler.GetPrinterW(printer, level, info->data(), needed, &needed) ? ERROR_SUCCESS : LastFailureCode();
}

// The printer's default for all users as the spooler keeps it: level 8, or level 2's
// pDevMode where level 8 has none. Copied out of the spooler's record once checked.
DWORD GlobalDevMode(HANDLE printer, std::vector<BYTE>* devmode)
{
    for (const DWORD level : {8u, 2u}) {
        std::vector<BYTE> info;
        DWORD code = ReadPrinterInfo(printer, level, &info);
        if (code != ERROR_SUCCESS)
            return code;
        const DEVMODEW* mode = level == 8 ? reinterpret_cast<const PRINTER_INFO_8W*>(info.data())->pDevMode
                                          : reinterpret_cast<const PRINTER_INFO_2W*>(info.data())->pDevMode;
        if (!mode)
            continue;
        const BYTE* at = reinterpret_cast<const BYTE*>(mode);
        if (at < info.data() || at >= info.data() + info.size())
            return ERROR_INVALID_DATA;
        code = CheckDevMode(mode, static_cast<size_t>(info.data() + info.size() - at));
        if (code != ERROR_SUCCESS)
            return code;
        devmode->assign(at, at + mode->dmSize + mode->dmDriverExtra);
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_DATA;
}

// Sets the paper in a checked DEVMODE and has the driver merge it; *accepted says whether the
// merged one names the paper. *devmode becomes the merged DEVMODE.
DWORD MergePaper(HANDLE printer, const std::wstring& name, WORD id, const std::wstring& form,
                 std::vector<BYTE>* devmode, bool* accepted)
{
    DEVMODEW* mode = reinterpret_cast<DEVMODEW*>(devmode->data());
    mode->dmPaperSize = static_cast<short>(id);
    std::memset(mode->dmFormName, 0, sizeof(mode->dmFormName));
    form.copy(mode->dmFormName, CCHFORMNAME - 1);
    mode->dmFields |= DM_PAPERSIZE | DM_FORMNAME;
    mode->dmFields &= ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH);
    std::vector<BYTE> merged;
    const DWORD code = DriverDevMode(printer, name, mode, &merged);
    if (code != ERROR_SUCCESS)
        return code;
    const DEVMODEW* result = reinterpret_cast<const DEVMODEW*>(merged.data());
    *accepted = (result->dmFields & DM_PAPERSIZE) && static_cast<WORD>(result->dmPaperSize) == id;
    devmode->swap(merged);
    return ERROR_SUCCESS;
}

DWORD WriteDefault(HANDLE printer, DWORD level, std::vector<BYTE>* devmode)
{
    PRINTER_INFO_8W info = {reinterpret_cast<DEVMODEW*>(devmode->data())}; // level 9 has the same shape
    return Spooler.SetPrinterW(printer, level, reinterpret_cast<BYTE*>(&info), 0) ? ERROR_SUCCESS : LastFailureCode();
}

// The whole change on one open printer. For all users the printer's own DEVMODE takes the paper,
// so no account's preferences become everyone's; the caller's own DEVMODE takes it too, since
// it would hide the global one. Nothing is written unless the driver takes the paper in both;
// *refused says when it did not. The code of a failed call is taken before closing.
DWORD StoreDefault(const std::wstring& printerName, WORD id, const std::wstring& form, bool allUsers, bool* refused)
{
    *refused = false;
    HANDLE printer = nullptr;
    DWORD code = OpenPrinterFor(printerName, allUsers ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE, &printer);
    if (code != ERROR_SUCCESS)
        return code;
    std::vector<BYTE> global;
    std::vector<BYTE> user;
    bool accepted = true;
    if (allUsers) {
        code = GlobalDevMode(printer, &global);
        if (code == ERROR_SUCCESS)
            code = MergePaper(printer, printerName, id, form, &global, &accepted);
    }
    if (code == ERROR_SUCCESS && accepted) {
        code = DriverDevMode(printer, printerName, nullptr, &user);
        if (code == ERROR_SUCCESS)
            code = MergePaper(printer, printerName, id, form, &user, &accepted);
    }
    *refused = code == ERROR_SUCCESS && !accepted;
    if (code == ERROR_SUCCESS && accepted && allUsers)
        code = WriteDefault(printer, 8, &global);
    if (code == ERROR_SUCCESS && accepted)
        code = WriteDefault(printer, 9, &user);
    Spooler.ClosePrinter(printer);
    return code;
}

// The default DEVMODE a program gets for the printer: the caller's own, else the printer's; or
// with global the printer's own for all users.
DWORD ReadDefaultDevMode(const std::wstring& printerName, std::vector<BYTE>* devmode, bool global = false)
{
    HANDLE printer = nullptr;
    DWORD code = OpenPrinterFor(printerName, PRINTER_ACCESS_USE, &printer);
    if (code != ERROR_SUCCESS)
        return code;
    code = global ? GlobalDevMode(printer, devmode) : DriverDevMode(printer, printerName, nullptr, devmode);
    Spooler.ClosePrinter(printer);
    return code;
}

// The paper a default DEVMODE names: dmPaperSize when it carries one, else 0.
WORD DefaultPaperId(const std::vector<BYTE>& devmode)
{
    const DEVMODEW* mode = reinterpret_cast<const DEVMODEW*>(devmode.data());
    return (mode->dmFields & DM_PAPERSIZE) ? static_cast<WORD>(mode->dmPaperSize) : 0;
}

std::wstring PaperNameOf(const std::vector<DriverPaper>& papers, WORD id)
{
    for (const DriverPaper& paper : papers)
        if (paper.id == id)
            return paper.name;
    return std::wstring();
}

// Whether a browser reading this default starts on the form: the paper is the form's id, and no
// explicit width or length says otherwise (the default would then read as an unnamed size).
bool StartsOnForm(const std::vector<BYTE>& devmode, WORD id, const PaperForm& form)
{
    const DEVMODEW* mode = reinterpret_cast<const DEVMODEW*>(devmode.data());
    if (DefaultPaperId(devmode) != id || !(mode->dmFields & DM_PAPERSIZE))
        return false;
    if ((mode->dmFields & DM_PAPERWIDTH) && !WithinTenth(form.width, mode->dmPaperWidth))
        return false;
    return !(mode->dmFields & DM_PAPERLENGTH) || WithinTenth(form.height, mode->dmPaperLength);
}

} // namespace

DWORD ReadDriverPapers(const std::wstring& printer, std::vector<DriverPaper>* papers)
{
    papers->clear();
    bool consistent = false;
    DWORD code = ReadPaperLists(printer, papers, &consistent);
    if (code == ERROR_SUCCESS && !consistent) {
        // The list changed while it was read: once more, from the start.
        papers->clear();
        code = ReadPaperLists(printer, papers, &consistent);
    }
    if (code == ERROR_SUCCESS && !consistent) {
        papers->clear();
        return ERROR_INVALID_DATA;
    }
    return code;
}

int FindDriverPaper(const std::vector<DriverPaper>& papers, const PaperForm& form)
{
    for (size_t i = 0; i < papers.size(); ++i)
        if (NamesEqual(papers[i].name, form.name))
            return static_cast<int>(i);
    for (size_t i = 0; i < papers.size(); ++i)
        if (WithinTenth(form.width, papers[i].width) && WithinTenth(form.height, papers[i].height))
            return static_cast<int>(i);
    return -1;
}

DWORD ReadDefaultPaper(const std::wstring& printerName, std::wstring* name, WORD* id)
{
    name->clear();
    *id = 0;
    std::vector<BYTE> devmode;
    DWORD code = ReadDefaultDevMode(printerName, &devmode);
    if (code != ERROR_SUCCESS)
        return code;
    *id = DefaultPaperId(devmode);
    std::vector<DriverPaper> papers;
    code = ReadDriverPapers(printerName, &papers);
    if (code == ERROR_SUCCESS)
        *name = PaperNameOf(papers, *id);
    return code;
}

DWORD CheckDriverPaper(const std::wstring& printer, const PaperForm& form, PaperCheck* check)
{
    *check = PaperCheck();
    std::vector<DriverPaper> papers;
    const DWORD code = ReadDriverPapers(printer, &papers);
    if (code != ERROR_SUCCESS)
        return code;
    const int at = FindDriverPaper(papers, form);
    if (at >= 0) {
        check->offered = true;
        check->paper = papers[static_cast<size_t>(at)];
    }
    SetLastError(ERROR_SUCCESS);
    const int minimum = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, DC_MINEXTENT, nullptr, nullptr);
    const int maximum = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, DC_MAXEXTENT, nullptr, nullptr);
    if (minimum > 0 && maximum > 0) {
        check->rangeKnown = true;
        check->minWidth = LOWORD(minimum);
        check->minHeight = HIWORD(minimum);
        check->maxWidth = LOWORD(maximum);
        check->maxHeight = HIWORD(maximum);
    }
    return ERROR_SUCCESS;
}

PaperOutcome SetDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code,
                             std::wstring* text)
{
    text->clear();
    std::vector<DriverPaper> papers;
    *code = ReadDriverPapers(printer, &papers);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;
    const int at = FindDriverPaper(papers, form);
    if (at < 0) {
        PaperCheck check;
        CheckDriverPaper(printer, form, &check);
        *text = DefaultPaperNotOfferedText(printer, form, check);
        return PaperOutcome::NotOffered;
    }
    const WORD id = papers[static_cast<size_t>(at)].id;

    // The form's name as the form table has it: the driver's may be a translation.
    bool refused = false;
    *code = StoreDefault(printer, id, form.name, allUsers, &refused);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;

    // Success only when a browser would now start on the form.
    std::vector<BYTE> devmode;
    *code = ReadDefaultDevMode(printer, &devmode);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;
    if (refused || !StartsOnForm(devmode, id, form)) {
        *text = DefaultPaperRefusedText(PaperNameOf(papers, DefaultPaperId(devmode)));
        return PaperOutcome::NotAccepted;
    }
    const std::wstring account = ProcessAccountName();
    *text = DefaultPaperSetText(printer, form.name, allUsers, account, RunsAsAnotherAccount());
    return PaperOutcome::Done;
}

DefaultPaperState QueryDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code)
{
    std::vector<DriverPaper> papers;
    *code = ReadDriverPapers(printer, &papers);
    if (*code != ERROR_SUCCESS)
        return DefaultPaperState::Failed;
    const int at = FindDriverPaper(papers, form);
    if (at < 0)
        return DefaultPaperState::NotOffered;
    const WORD id = papers[static_cast<size_t>(at)].id;
    std::vector<BYTE> devmode;
    *code = ReadDefaultDevMode(printer, &devmode);
    if (*code == ERROR_SUCCESS && StartsOnForm(devmode, id, form) && allUsers)
        *code = ReadDefaultDevMode(printer, &devmode, true);
    if (*code != ERROR_SUCCESS)
        return DefaultPaperState::Failed;
    return StartsOnForm(devmode, id, form) ? DefaultPaperState::Already : DefaultPaperState::WouldChange;
}
