#include "standin_driver.h"

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace standin {

namespace {

// A caller's record is read only where the whole of it is committed, readable memory,
// so a DEVMODE that claims more bytes than it has is refused instead of crashing.
bool Readable(const void* start, size_t size) {
    const BYTE* at = static_cast<const BYTE*>(start);
    const BYTE* const end = at + size;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(at, &info, sizeof info) == 0) return false;
        if (info.State != MEM_COMMIT || (info.Protect & PAGE_GUARD) || !(info.Protect & readable)) return false;
        at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

const Paper* FindByName(const std::vector<Paper>& papers, const std::wstring& name) {
    for (const Paper& p : papers) {
        if (NamesEqual(p.name, name)) return &p;
    }
    return nullptr;
}

const Paper* FindById(const std::vector<Paper>& papers, short id) {
    for (const Paper& p : papers) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

// Copies at most capacity - 1 units and terminates, as fixed DEVMODE strings are kept.
void CopyFixed(wchar_t* to, size_t capacity, const std::wstring& from) {
    const size_t n = from.size() < capacity - 1 ? from.size() : capacity - 1;
    std::wmemcpy(to, from.data(), n);
    to[n] = L'\0';
}

}  // namespace

Extent DriverExtent(const Printer& printer) {
    if (!printer.hasExtent) return kDefaultExtent;
    return {printer.minWidth, printer.minLength, printer.maxWidth, printer.maxLength};
}

std::vector<Paper> TablePapers(const State& state) {
    const std::vector<Form> table = FormTable(state);
    const std::vector<Form>& standard = StandardForms();
    const size_t standardCount = state.standardForms ? standard.size() : 0;
    std::vector<Paper> papers;
    int userIds = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        const Form& f = table[i];
        int id = 0;
        if (i < standardCount) {
            id = StandardPaperId(i);
        } else if (f.flags == FORM_BUILTIN && f.hasName) {
            // A standard form stored in the table keeps its standard id.
            for (size_t k = 0; k < standard.size() && id == 0; ++k) {
                if (NamesEqual(standard[k].name, f.name)) id = StandardPaperId(k);
            }
        }
        if (id == 0) id = DMPAPER_USER + userIds++;
        if (!f.hasName || id > 32767) continue;
        Paper p;
        p.id = static_cast<short>(id);
        p.name = f.name;
        p.cx = f.cx;
        p.cy = f.cy;
        papers.push_back(p);
    }
    return papers;
}

bool Fits(const Extent& e, LONG cx, LONG cy) {
    // The range is in tenths, the forms in thousandths of a millimetre.
    return cx >= e.minWidth * 100LL && cx <= e.maxWidth * 100LL && cy >= e.minLength * 100LL &&
           cy <= e.maxLength * 100LL;
}

std::vector<Paper> DriverPapers(const State& state, const Printer& printer) {
    const Extent extent = DriverExtent(printer);
    std::vector<Paper> listed;
    for (const Paper& p : TablePapers(state)) {
        if (Fits(extent, p.cx, p.cy)) listed.push_back(p);
    }
    return listed;
}

const Paper* ResolvePaper(const std::vector<Paper>& papers, short id, const std::wstring& name) {
    if (!name.empty()) {
        if (const Paper* p = FindByName(papers, name)) return p;
    }
    return id > 0 ? FindById(papers, id) : nullptr;
}

Paper DefaultPaper(const std::vector<Paper>& papers) {
    if (const Paper* a4 = FindById(papers, DMPAPER_A4)) return *a4;
    if (!papers.empty()) return papers.front();
    Paper a4;
    a4.id = DMPAPER_A4;
    a4.name = L"A4";
    a4.cx = 210000;
    a4.cy = 297000;
    return a4;
}

Paper CurrentPaper(const std::vector<Paper>& papers, const Printer& printer) {
    // A per-user default hides the printer's own, as on Windows.
    const PaperSetting& s = printer.userPaper.set ? printer.userPaper : printer.globalPaper;
    if (s.set) {
        if (const Paper* p = ResolvePaper(papers, s.id, s.form)) return *p;
    }
    return DefaultPaper(papers);
}

std::vector<BYTE> MakeDevMode(const std::wstring& device, short id, const std::wstring& form,
                              const PaperSetting& look) {
    std::vector<BYTE> bytes(sizeof(DEVMODEW) + kDriverExtra);
    DEVMODEW* dm = reinterpret_cast<DEVMODEW*>(bytes.data());
    CopyFixed(dm->dmDeviceName, CCHDEVICENAME, device);
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmDriverVersion = 0x0100;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = kDriverExtra;
    dm->dmFields = kDevModeFields;
    dm->dmOrientation = look.orientation ? look.orientation : static_cast<short>(DMORIENT_PORTRAIT);
    dm->dmCopies = look.copies ? look.copies : 1;
    dm->dmDuplex = look.duplex ? look.duplex : static_cast<short>(DMDUP_SIMPLEX);
    dm->dmPrintQuality = 180;
    dm->dmYResolution = 180;
    if (id > 0) {
        dm->dmFields |= DM_PAPERSIZE;
        dm->dmPaperSize = id;
    }
    if (!form.empty()) {
        dm->dmFields |= DM_FORMNAME;
        CopyFixed(dm->dmFormName, CCHFORMNAME, form);
    }
    // Private bytes that are never zero, so a caller who copies or allocates only
    // sizeof(DEVMODEW) visibly loses or overruns them.
    BYTE* extra = bytes.data() + sizeof(DEVMODEW);
    std::memset(extra, 0x5A, kDriverExtra);
    std::memcpy(extra, "ZSDV", 4);
    return bytes;
}

DWORD CheckDevMode(const DEVMODEW* dm) {
    const size_t header = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);
    if (!dm || !Readable(dm, header)) return ERROR_INVALID_PARAMETER;
    if (dm->dmSize < header || dm->dmSize > sizeof(DEVMODEW)) return ERROR_INVALID_PARAMETER;
    if (!Readable(dm, static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra)) return ERROR_INVALID_PARAMETER;
    if ((dm->dmFields & DM_PAPERSIZE) && dm->dmSize < offsetof(DEVMODEW, dmPaperSize) + sizeof(short)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (dm->dmFields & DM_PAPERSIZE && dm->dmPaperSize < 0) return ERROR_INVALID_PARAMETER;
    if (dm->dmFields & DM_FORMNAME) {
        if (dm->dmSize < offsetof(DEVMODEW, dmFormName) + sizeof dm->dmFormName) return ERROR_INVALID_PARAMETER;
        if (!std::wmemchr(dm->dmFormName, L'\0', CCHFORMNAME)) return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

PaperSetting PaperOf(const DEVMODEW* dm) {
    PaperSetting s;
    s.set = true;
    if (dm->dmFields & DM_PAPERSIZE) s.id = dm->dmPaperSize;
    if (dm->dmFields & DM_FORMNAME) s.form = dm->dmFormName;
    return MergeLook(s, dm);
}

PaperSetting CurrentLook(const Printer& printer) {
    return printer.userPaper.set ? printer.userPaper : printer.globalPaper;
}

PaperSetting MergeLook(const PaperSetting& current, const DEVMODEW* in) {
    PaperSetting look = current;
    // Only fields inside the record's own dmSize exist.
    auto carries = [in](DWORD field, size_t end) { return (in->dmFields & field) && in->dmSize >= end; };
    if (carries(DM_ORIENTATION, offsetof(DEVMODEW, dmOrientation) + sizeof(short))) look.orientation = in->dmOrientation;
    if (carries(DM_COPIES, offsetof(DEVMODEW, dmCopies) + sizeof(short))) look.copies = in->dmCopies;
    if (carries(DM_DUPLEX, offsetof(DEVMODEW, dmDuplex) + sizeof(short))) look.duplex = in->dmDuplex;
    return look;
}

Paper MergePaper(const std::vector<Paper>& papers, const Paper& current, const DEVMODEW* in) {
    const PaperSetting asked = PaperOf(in);
    if (const Paper* p = ResolvePaper(papers, asked.id, asked.form)) return *p;
    return current;
}

}  // namespace standin
