// The stand-in spooler as the product sees it: through winspool.drv's own functions,
// with the state written and read back through the control functions and the file.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin.h"

namespace {

#define EXPECT_FAILS_WITH(code, call)                                  \
    do {                                                               \
        SetLastError(0xDEADu);                                         \
        const BOOL ok_ = (call);                                       \
        const DWORD error_ = GetLastError();                           \
        EXPECT_FALSE(ok_) << #call;                                    \
        EXPECT_EQ(error_, static_cast<DWORD>(code)) << #call;          \
    } while (0)

// Two printers (a connection first), three stored forms and no standard ones.
const char kBase[] =
    "admin yes\n"
    "standard-forms no\n"
    R"(connection "\\\\srv\\Share" port "IP_1" driver "Label ZPL")" "\n"
    R"(printer "Office Laser" port "USB001" driver "Laser PCL")" "\n"
    "default \"Office Laser\"\n"
    "form builtin 210000 297000 0 0 210000 297000 \"A4\"\n"
    "form user 241000 93000 0 0 241000 93000 \"Invoice\"\n"
    "form printer 215000 305000 0 0 215000 305000 \"Driver form\"\n";

struct FormRow {
    bool named;
    std::wstring name;
    DWORD flags;
    LONG cx, cy;
    RECTL area;
};

FORM_INFO_1W MakeForm(const wchar_t* name, LONG cx, LONG cy, DWORD flags = FORM_USER) {
    FORM_INFO_1W f = {};
    f.Flags = flags;
    f.pName = const_cast<LPWSTR>(name);
    f.Size = {cx, cy};
    f.ImageableArea = {0, 0, cx, cy};
    return f;
}

LPBYTE Bytes(FORM_INFO_1W* f) { return reinterpret_cast<LPBYTE>(f); }

class StandIn : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, dir);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string id = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : id) c = (c == '/') ? '-' : c;
        dir_ = dir;
        stem_ = L"standin-test-" + std::wstring(id.begin(), id.end());
        path_ = dir_ + L"\\" + stem_ + L".txt";
        DeleteFileW(path_.c_str());
        SetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", path_.c_str());
        StandInResetCounters();
    }
    void TearDown() override {
        for (HANDLE h : open_) ClosePrinter(h);
        DeleteFileW(path_.c_str());
    }

    void Set(const std::string& text) { ASSERT_TRUE(StandInSetState(text.c_str())); }
    static std::string State() {
        std::string text(StandInGetState(nullptr, 0), '\0');
        if (text.empty()) return text;
        StandInGetState(&text[0], static_cast<DWORD>(text.size()));
        text.pop_back();
        return text;
    }
    std::string FileBytes() const { return ReadFile(path_); }
    static std::string ReadFile(const std::wstring& path) {
        const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return "<missing>";
        std::string text(1 << 20, '\0');
        DWORD got = 0;
        ::ReadFile(f, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(f);
        text.resize(got);
        return text;
    }
    void WriteRaw(const std::string& text) const {
        const HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
    }

    HANDLE Open(const wchar_t* printer = L"Office Laser", DWORD access = PRINTER_ALL_ACCESS) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer), &h, &defaults)) << GetLastError();
        if (h) open_.push_back(h);
        return h;
    }

    static std::vector<FormRow> Forms(HANDLE h) {
        DWORD needed = 0, returned = 0;
        std::vector<FormRow> rows;
        if (EnumFormsW(h, 1, nullptr, 0, &needed, &returned)) return rows;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<BYTE> buffer(needed);
        EXPECT_TRUE(EnumFormsW(h, 1, buffer.data(), needed, &needed, &returned));
        const auto* f = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            rows.push_back({f[i].pName != nullptr, f[i].pName ? f[i].pName : L"", f[i].Flags, f[i].Size.cx,
                            f[i].Size.cy, f[i].ImageableArea});
        }
        return rows;
    }
    static std::vector<std::wstring> Names(HANDLE h) {
        std::vector<std::wstring> names;
        for (const FormRow& r : Forms(h)) names.push_back(r.named ? r.name : L"<null>");
        return names;
    }

    std::wstring dir_, stem_, path_;
    std::vector<HANDLE> open_;
};

// --- Which DLL answers ---

TEST_F(StandIn, IsTheWinspoolLoadedFromTheSystemFolder) {
    const HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    ASSERT_NE(spooler, nullptr);
    wchar_t system[MAX_PATH], dll[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    GetModuleFileNameW(spooler, dll, MAX_PATH);
    const std::wstring expected = std::wstring(system) + L"\\winspool.drv";
    EXPECT_EQ(lstrcmpiW(dll, expected.c_str()), 0);
    EXPECT_NE(GetProcAddress(spooler, "StandInSetState"), nullptr) << "the system folder holds Wine's own spooler";

    const FARPROC byOrdinal = GetProcAddress(spooler, MAKEINTRESOURCEA(203));
    ASSERT_NE(byOrdinal, nullptr);
    EXPECT_EQ(byOrdinal, GetProcAddress(spooler, "GetDefaultPrinterW"));
    Set(kBase);
    using GetDefaultFn = BOOL(WINAPI*)(LPWSTR, LPDWORD);
    const auto fn = reinterpret_cast<GetDefaultFn>(reinterpret_cast<void*>(byOrdinal));
    wchar_t name[64];
    DWORD count = 64;
    EXPECT_TRUE(fn(name, &count));
    EXPECT_STREQ(name, L"Office Laser");
    EXPECT_EQ(StandInCallCount("GetDefaultPrinterW"), 1u);
}

// --- Printers ---

TEST_F(StandIn, EnumPrintersWithNothingToListSucceedsEmpty) {
    Set("admin yes\n");
    DWORD needed = 99, returned = 99;
    SetLastError(1234);
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed,
                              &returned));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
}

TEST_F(StandIn, EnumPrintersSizesExactlyAndPacksStringsAfterTheRecords) {
    Set(kBase);
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    size_t strings = 0;
    for (const wchar_t* s : {L"\\\\srv", L"\\\\srv\\Share", L"Share", L"IP_1", L"Label ZPL", L"winprint", L"RAW",
                             L"Office Laser", L"USB001", L"Laser PCL", L"winprint", L"RAW"}) {
        strings += (wcslen(s) + 1) * sizeof(wchar_t);
    }
    const DWORD expected = static_cast<DWORD>(2 * sizeof(PRINTER_INFO_2W) + strings);
    DWORD needed = 0, returned = 7;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, expected);
    EXPECT_EQ(returned, 0u);
    std::vector<BYTE> buffer(expected);
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER,
                      EnumPrintersW(flags, nullptr, 2, buffer.data(), expected - 1, &needed, &returned));
    EXPECT_EQ(needed, expected);

    ASSERT_TRUE(EnumPrintersW(flags, nullptr, 2, buffer.data(), expected, &needed, &returned));
    ASSERT_EQ(returned, 2u);
    const auto* p = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    EXPECT_STREQ(p[0].pPrinterName, L"\\\\srv\\Share");
    EXPECT_STREQ(p[0].pServerName, L"\\\\srv");
    EXPECT_STREQ(p[0].pShareName, L"Share");
    EXPECT_EQ(p[0].Attributes & (PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_LOCAL), DWORD{PRINTER_ATTRIBUTE_NETWORK});
    EXPECT_STREQ(p[1].pPrinterName, L"Office Laser");
    EXPECT_STREQ(p[1].pPortName, L"USB001");
    EXPECT_STREQ(p[1].pDriverName, L"Laser PCL");
    EXPECT_STREQ(p[1].pPrintProcessor, L"winprint");
    EXPECT_STREQ(p[1].pDatatype, L"RAW");
    EXPECT_EQ(p[1].Attributes & (PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_LOCAL), DWORD{PRINTER_ATTRIBUTE_LOCAL});
    const BYTE* stringsBegin = buffer.data() + 2 * sizeof(PRINTER_INFO_2W);
    for (const PRINTER_INFO_2W& r : {p[0], p[1]}) {
        for (const wchar_t* s : {r.pPrinterName, r.pPortName, r.pDriverName, r.pPrintProcessor, r.pDatatype}) {
            const BYTE* at = reinterpret_cast<const BYTE*>(s);
            EXPECT_GE(at, stringsBegin);
            EXPECT_LE(at + (wcslen(s) + 1) * 2, buffer.data() + expected);
        }
    }
}

TEST_F(StandIn, EnumPrintersFlagsSelectLocalsOrConnectionsInStateOrder) {
    Set(kBase + std::string("printer \"Second\"\n"));
    auto list = [](DWORD flags, DWORD level) {
        DWORD needed = 0, returned = 0;
        EnumPrintersW(flags, nullptr, level, nullptr, 0, &needed, &returned);
        std::vector<BYTE> buffer(needed + 1);
        std::vector<std::wstring> names;
        if (!EnumPrintersW(flags, nullptr, level, buffer.data(), needed, &needed, &returned)) return names;
        for (DWORD i = 0; i < returned; ++i) {
            names.push_back(level == 4 ? reinterpret_cast<PRINTER_INFO_4W*>(buffer.data())[i].pPrinterName
                                       : reinterpret_cast<PRINTER_INFO_1W*>(buffer.data())[i].pName);
        }
        return names;
    };
    using V = std::vector<std::wstring>;
    EXPECT_EQ(list(PRINTER_ENUM_LOCAL, 4), (V{L"Office Laser", L"Second"}));
    EXPECT_EQ(list(PRINTER_ENUM_CONNECTIONS, 4), (V{L"\\\\srv\\Share"}));
    EXPECT_EQ(list(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 1),
              (V{L"\\\\srv\\Share", L"Office Laser", L"Second"}));
    DWORD needed, returned;
    EXPECT_FAILS_WITH(ERROR_INVALID_LEVEL, EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 3, nullptr, 0, &needed, &returned));
}

TEST_F(StandIn, DefaultPrinterNoneShortAndExactBuffers) {
    Set("admin yes\nprinter \"P\"\n");
    DWORD count = 10;
    wchar_t buffer[700];
    EXPECT_FAILS_WITH(ERROR_FILE_NOT_FOUND, GetDefaultPrinterW(buffer, &count));

    const std::wstring longName(600, L'\x6253');  // 600 code units, all CJK
    std::string utf8;
    for (int i = 0; i < 600; ++i) utf8 += "\xE6\x89\x93";
    Set("printer \"" + utf8 + "\"\ndefault \"" + utf8 + "\"\n");
    count = 0;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, GetDefaultPrinterW(nullptr, &count));
    EXPECT_EQ(count, 601u);
    count = 600;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, GetDefaultPrinterW(buffer, &count));
    EXPECT_EQ(count, 601u);
    count = 601;
    ASSERT_TRUE(GetDefaultPrinterW(buffer, &count));
    EXPECT_EQ(count, 601u);
    EXPECT_EQ(std::wstring(buffer), longName);
    HANDLE h = Open(longName.c_str(), 0);
    EXPECT_NE(h, nullptr);
}

// --- Access ---

TEST_F(StandIn, OpenPrinterRejectsUnknownAndEmptyNamesAndIgnoresCase) {
    Set(kBase);
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_FAILS_WITH(ERROR_INVALID_PRINTER_NAME, OpenPrinterW(const_cast<LPWSTR>(L"Nobody"), &h, nullptr));
    EXPECT_EQ(h, nullptr);
    EXPECT_FAILS_WITH(ERROR_INVALID_PRINTER_NAME, OpenPrinterW(const_cast<LPWSTR>(L""), &h, nullptr));
    EXPECT_NE(Open(L"OFFICE laser"), nullptr);
}

TEST_F(StandIn, AdministerRightsDependOnAdminStateAndDesiredAccess) {
    Set(std::string(kBase) + "admin no\n");
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    PRINTER_DEFAULTSW administer = {nullptr, nullptr, PRINTER_ACCESS_ADMINISTER};
    EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, &all));
    EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, &administer));
    EXPECT_EQ(StandInOpenHandles(), 0);

    FORM_INFO_1W form = MakeForm(L"New", 1000, 1000);
    for (const char* admin : {"admin no\n", "admin yes\n"}) {
        SCOPED_TRACE(admin);
        Set(std::string(kBase) + admin);
        const std::string before = FileBytes();
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, nullptr));
        open_.push_back(h);
        EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, AddFormW(h, 1, Bytes(&form)));
        EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, SetFormW(h, const_cast<LPWSTR>(L"Invoice"), 1, Bytes(&form)));
        EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, DeleteFormW(h, const_cast<LPWSTR>(L"Invoice")));
        EXPECT_EQ(Forms(h).size(), 3u);  // use rights still enumerate
        EXPECT_EQ(FileBytes(), before);
    }
    EXPECT_TRUE(AddFormW(Open(), 1, Bytes(&form)));
}

TEST_F(StandIn, ClosePrinterClearsLastErrorAndRejectsUnknownHandles) {
    Set(kBase);
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, nullptr));
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ClosePrinter(h));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FAILS_WITH(ERROR_INVALID_HANDLE, ClosePrinter(h));
    EXPECT_FAILS_WITH(ERROR_INVALID_HANDLE, ClosePrinter(nullptr));
    DWORD needed, returned;
    EXPECT_FAILS_WITH(ERROR_INVALID_HANDLE, EnumFormsW(h, 1, nullptr, 0, &needed, &returned));
}

// --- Form enumeration ---

TEST_F(StandIn, StandardFormsComeFirstInWindowsOrderThenStoredForms) {
    Set("printer \"P\"\nform user 241000 93000 0 0 241000 93000 \"Invoice\"\n");
    const std::vector<FormRow> rows = Forms(Open(L"P"));
    ASSERT_GE(rows.size(), 117u);
    ASSERT_LE(rows.size(), 119u);
    auto find = [&](const wchar_t* name) {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_EQ(rows[0].name, L"Letter");
    EXPECT_EQ(rows[1].name, L"Letter Small");
    EXPECT_EQ(rows[2].name, L"Tabloid");
    const struct { const wchar_t* name; LONG cx, cy; } known[] = {
        {L"Letter", 215900, 279400}, {L"A4", 210000, 297000}, {L"Letter Extra", 241300, 304800},
        {L"Envelope DL", 110000, 220000}, {L"A3", 297000, 420000}, {L"PRC Envelope #10 Rotated", 458000, 324000}};
    for (const auto& k : known) {
        const int i = find(k.name);
        ASSERT_GE(i, 0) << k.name;
        EXPECT_EQ(rows[i].cx, k.cx) << k.name;
        EXPECT_EQ(rows[i].cy, k.cy) << k.name;
    }
    EXPECT_LT(find(L"A4"), find(L"Letter Extra"));
    EXPECT_LT(find(L"Envelope DL"), find(L"PRC Envelope #1"));
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        EXPECT_EQ(rows[i].flags, DWORD{FORM_BUILTIN}) << i;
        EXPECT_EQ(rows[i].area.right, rows[i].cx);
        EXPECT_EQ(rows[i].area.bottom, rows[i].cy);
    }
    EXPECT_EQ(rows.back().name, L"Invoice");
    EXPECT_EQ(rows.back().flags, DWORD{FORM_USER});
}

TEST_F(StandIn, EnumFormsSizesExactlyAndPacksNamesAfterTheRecords) {
    Set("standard-forms no\nprinter \"P\"\n"
        "form user 1000 2000 0 0 1000 2000 \"Ab\"\nform user 3000 4000 10 20 2990 3980 null\n");
    HANDLE h = Open(L"P");
    const DWORD expected = static_cast<DWORD>(2 * sizeof(FORM_INFO_1W) + 3 * sizeof(wchar_t));
    DWORD needed = 0, returned = 5;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumFormsW(h, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, expected);
    EXPECT_EQ(returned, 0u);
    std::vector<BYTE> buffer(expected);
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumFormsW(h, 1, buffer.data(), expected - 1, &needed, &returned));
    ASSERT_TRUE(EnumFormsW(h, 1, buffer.data(), expected, &needed, &returned));
    ASSERT_EQ(returned, 2u);
    const auto* f = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    EXPECT_EQ(reinterpret_cast<const BYTE*>(f[0].pName), buffer.data() + 2 * sizeof(FORM_INFO_1W));
    EXPECT_STREQ(f[0].pName, L"Ab");
    EXPECT_EQ(f[1].pName, nullptr);
    EXPECT_EQ(f[1].ImageableArea.left, 10);
    EXPECT_EQ(f[1].ImageableArea.bottom, 3980);

    EXPECT_FAILS_WITH(ERROR_INVALID_LEVEL, EnumFormsW(h, 3, nullptr, 0, &needed, &returned));
    std::vector<BYTE> level2(4096);
    ASSERT_TRUE(EnumFormsW(h, 2, level2.data(), 4096, &needed, &returned));
    EXPECT_STREQ(reinterpret_cast<FORM_INFO_2W*>(level2.data())->pName, L"Ab");
}

// --- Changes ---

TEST_F(StandIn, AddFormAppendsStoresFlagsAndPersists) {
    Set(kBase);
    HANDLE h = Open();
    FORM_INFO_1W form = MakeForm(L"Thirty-one characters long name", 241000, 101600, FORM_PRINTER);
    ASSERT_EQ(wcslen(form.pName), 31u);
    ASSERT_TRUE(AddFormW(h, 1, Bytes(&form)));
    const std::vector<FormRow> rows = Forms(h);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].name, form.pName);
    EXPECT_EQ(rows[3].flags, DWORD{FORM_PRINTER});
    EXPECT_NE(FileBytes().find("form printer 241000 101600 0 0 241000 101600 \"Thirty-one characters long name\"\n"),
              std::string::npos);

    // The write went through a temporary file that is gone now.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((dir_ + L"\\" + stem_ + L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> files;
    do files.push_back(found.cFileName); while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(files, std::vector<std::wstring>{stem_ + L".txt"});
}

TEST_F(StandIn, AddFormErrorsLeaveTheTableUntouched) {
    Set(kBase);
    HANDLE h = Open();
    struct Case {
        const char* what;
        FORM_INFO_1W form;
        DWORD level;
        DWORD error;
    };
    auto area = [](LONG l, LONG t, LONG r, LONG b) {
        FORM_INFO_1W f = MakeForm(L"New", 1000, 2000);
        f.ImageableArea = {l, t, r, b};
        return f;
    };
    FORM_INFO_1W noName = MakeForm(nullptr, 1000, 1000);
    std::vector<Case> cases = {
        {"existing name, other case", MakeForm(L"inVOICE", 1000, 1000), 1, ERROR_FILE_EXISTS},
        {"builtin name", MakeForm(L"a4", 1000, 1000), 2, ERROR_FILE_EXISTS},
        {"NULL name", noName, 1, ERROR_INVALID_PARAMETER},
        {"empty name", MakeForm(L"", 1000, 1000), 1, ERROR_INVALID_PARAMETER},
        {"32 units", MakeForm(L"abcdefghijklmnopqrstuvwxyz012345", 1000, 1000), 1, ERROR_INVALID_PARAMETER},
        {"flags 3", MakeForm(L"New", 1000, 1000, 3), 1, ERROR_INVALID_PARAMETER},
        {"zero width", MakeForm(L"New", 0, 1000), 1, ERROR_INVALID_FORM_SIZE},
        {"negative height", MakeForm(L"New", 1000, -5), 1, ERROR_INVALID_FORM_SIZE},
        {"left < 0", area(-1, 0, 1000, 2000), 1, ERROR_INVALID_FORM_SIZE},
        {"top < 0", area(0, -1, 1000, 2000), 1, ERROR_INVALID_FORM_SIZE},
        {"right > cx", area(0, 0, 1001, 2000), 1, ERROR_INVALID_FORM_SIZE},
        {"bottom > cy", area(0, 0, 1000, 2001), 1, ERROR_INVALID_FORM_SIZE},
        {"left >= right", area(500, 0, 500, 2000), 1, ERROR_INVALID_FORM_SIZE},
        {"top >= bottom", area(0, 700, 1000, 600), 1, ERROR_INVALID_FORM_SIZE},
        {"level 3", MakeForm(L"New", 1000, 1000), 3, ERROR_INVALID_LEVEL},
    };
    const std::string before = FileBytes();
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FAILS_WITH(c.error, AddFormW(h, c.level, Bytes(&c.form)));
        EXPECT_EQ(FileBytes(), before);
    }
    EXPECT_FAILS_WITH(ERROR_INVALID_PARAMETER, AddFormW(h, 1, nullptr));
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(StandIn, SetFormRenamesInPlaceAndRefusesUnknownBuiltinAndTakenNames) {
    Set(kBase + std::string("form user 1000 1000 0 0 1000 1000 \"Last\"\n"));
    HANDLE h = Open();
    const std::string before = FileBytes();
    FORM_INFO_1W form = MakeForm(L"Renamed", 242000, 94000);
    EXPECT_FAILS_WITH(ERROR_INVALID_FORM_NAME, SetFormW(h, const_cast<LPWSTR>(L"Missing"), 1, Bytes(&form)));
    EXPECT_FAILS_WITH(ERROR_INVALID_PARAMETER, SetFormW(h, const_cast<LPWSTR>(L"A4"), 1, Bytes(&form)));
    FORM_INFO_1W taken = MakeForm(L"LAST", 1000, 1000);
    EXPECT_FAILS_WITH(ERROR_FILE_EXISTS, SetFormW(h, const_cast<LPWSTR>(L"Invoice"), 1, Bytes(&taken)));
    FORM_INFO_1W bad = MakeForm(L"Renamed", 0, 1000);
    EXPECT_FAILS_WITH(ERROR_INVALID_FORM_SIZE, SetFormW(h, const_cast<LPWSTR>(L"Invoice"), 1, Bytes(&bad)));
    EXPECT_FAILS_WITH(ERROR_INVALID_LEVEL, SetFormW(h, const_cast<LPWSTR>(L"Invoice"), 3, Bytes(&form)));
    EXPECT_EQ(FileBytes(), before);

    ASSERT_TRUE(SetFormW(h, const_cast<LPWSTR>(L"invoice"), 1, Bytes(&form)));
    const std::vector<FormRow> rows = Forms(h);
    EXPECT_EQ(Names(h), (std::vector<std::wstring>{L"A4", L"Renamed", L"Driver form", L"Last"}));
    EXPECT_EQ(rows[1].cx, 242000);
    FORM_INFO_1W recased = MakeForm(L"LAST", 5000, 5000);
    EXPECT_TRUE(SetFormW(h, const_cast<LPWSTR>(L"Last"), 1, Bytes(&recased)));
    EXPECT_EQ(Names(h).back(), L"LAST");
}

TEST_F(StandIn, DeleteFormRemovesOnlyKnownNonBuiltinForms) {
    Set(kBase);
    HANDLE h = Open();
    const std::string before = FileBytes();
    EXPECT_FAILS_WITH(ERROR_INVALID_FORM_NAME, DeleteFormW(h, const_cast<LPWSTR>(L"Missing")));
    EXPECT_FAILS_WITH(ERROR_INVALID_PARAMETER, DeleteFormW(h, const_cast<LPWSTR>(L"A4")));
    EXPECT_EQ(FileBytes(), before);
    ASSERT_TRUE(DeleteFormW(h, const_cast<LPWSTR>(L"INVOICE")));
    ASSERT_TRUE(DeleteFormW(h, const_cast<LPWSTR>(L"Driver form")));
    EXPECT_EQ(Names(h), std::vector<std::wstring>{L"A4"});
    EXPECT_EQ(FileBytes().find("Invoice"), std::string::npos);
}

// --- The state file ---

TEST_F(StandIn, MissingFileIsTheDefaultStateAndChangesCreateIt) {
    EXPECT_EQ(FileBytes(), "<missing>");
    const std::string state = State();
    EXPECT_NE(state.find("admin yes\n"), std::string::npos);
    EXPECT_NE(state.find("standard-forms yes\n"), std::string::npos);
    EXPECT_EQ(state.find("printer"), std::string::npos);
    HANDLE server = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, SERVER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(nullptr, &server, &all));  // NULL name: the print server
    open_.push_back(server);
    FORM_INFO_1W standard = MakeForm(L"letter", 1000, 1000);
    EXPECT_FAILS_WITH(ERROR_FILE_EXISTS, AddFormW(server, 1, Bytes(&standard)));
    EXPECT_EQ(FileBytes(), "<missing>");
    FORM_INFO_1W form = MakeForm(L"Kept", 1000, 1000);
    ASSERT_TRUE(AddFormW(server, 1, Bytes(&form)));
    EXPECT_EQ(FileBytes(), State());
    EXPECT_EQ(Names(server).back(), L"Kept");
}

TEST_F(StandIn, UnparseableFileIsReportedWithItsLineAndNeverOverwritten) {
    const std::string broken = "admin yes\nprinter \"P\"\nform user 1 2 three 0 1 2 \"x\"\n";
    WriteRaw(broken);
    const std::wstring errPath = dir_ + L"\\" + stem_ + L".stderr";
    const HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, err);
    HANDLE h = nullptr;
    SetLastError(0);
    const BOOL opened = OpenPrinterW(const_cast<LPWSTR>(L"P"), &h, nullptr);
    const DWORD error = GetLastError();
    SetStdHandle(STD_ERROR_HANDLE, saved);
    CloseHandle(err);
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
    const std::string report = ReadFile(errPath);
    DeleteFileW(errPath.c_str());
    EXPECT_NE(report.find(":3:"), std::string::npos) << report;

    EXPECT_FALSE(StandInSetState("admin maybe\n"));
    EXPECT_EQ(StandInGetState(nullptr, 0), 0u);
    DWORD count = 0;
    EXPECT_FAILS_WITH(ERROR_INVALID_DATA, GetDefaultPrinterW(nullptr, &count));
    EXPECT_EQ(FileBytes(), broken);
}

TEST_F(StandIn, OddNamesSurviveTheFileAndEnumeration) {
    const std::wstring odd[] = {L"lone \xD800 high", L"low \xDC00", L"quote \" back \\ tab \t nl \n cr \r",
                                L"pair \xD83D\xDCC4 \x4E09\x7B49\x5206", L"ctl\x0001\x007F"};
    const std::string longName(200, 'w');  // too long for AddFormW, so it comes from the file
    Set("standard-forms no\nprinter \"P\"\nform user 1 1 0 0 1 1 \"" + longName + "\"\n");
    HANDLE h = Open(L"P");
    for (const std::wstring& name : odd) {
        FORM_INFO_1W form = MakeForm(name.c_str(), 1, 1);
        ASSERT_TRUE(AddFormW(h, 1, Bytes(&form)));
    }
    const std::string state = State();
    EXPECT_NE(state.find("\"lone \\uD800 high\""), std::string::npos) << state;
    EXPECT_NE(state.find("\"quote \\\" back \\\\ tab \\t nl \\n cr \\r\""), std::string::npos) << state;
    ASSERT_TRUE(StandInSetState(state.c_str()));
    EXPECT_EQ(State(), state);
    const std::vector<std::wstring> names = Names(h);
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], std::wstring(200, L'w'));
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(names[i + 1], odd[i]) << i;
}

TEST_F(StandIn, DemoStateLoadsWithItsPrintersAndFormNamesWithinLimits) {
    ASSERT_TRUE(StandInSetState(ReadFile(dir_ + L"\\demo-state.txt").c_str()));
    DWORD needed = 0, returned = 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &returned));
    EXPECT_EQ(returned, 3u);
    wchar_t name[64];
    DWORD count = 64;
    ASSERT_TRUE(GetDefaultPrinterW(name, &count));
    EXPECT_STREQ(name, L"Zeltra DP-750 \x9488\x5F0F\x6253\x5370\x673A");
    int user = 0, driver = 0;
    for (const FormRow& r : Forms(Open(name))) {
        EXPECT_LE(r.name.size(), 31u) << r.flags;
        user += r.flags == FORM_USER;
        driver += r.flags == FORM_PRINTER;
    }
    EXPECT_GE(user, 3);
    EXPECT_EQ(driver, 2);
}

// --- Injected faults ---

TEST_F(StandIn, EnumerationSizeAndFillFaults) {
    Set(kBase + std::string("fault EnumFormsW.size 1234 once\nfault EnumPrintersW.fill 59\n"));
    HANDLE h = Open();
    DWORD needed = 77, returned = 77;
    EXPECT_FAILS_WITH(1234, EnumFormsW(h, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(State().find("EnumFormsW.size"), std::string::npos);  // once: gone
    EXPECT_EQ(Forms(h).size(), 3u);

    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &returned));
    std::vector<BYTE> buffer(needed);
    for (int i = 0; i < 2; ++i) {  // without once it keeps failing
        EXPECT_FAILS_WITH(59, EnumPrintersW(flags, nullptr, 2, buffer.data(), needed, &needed, &returned));
        EXPECT_EQ(returned, 0u);
    }

    Set(kBase + std::string("fault EnumPrintersW.size 0\nfault EnumFormsW.fill 5 once\n"));
    EXPECT_FAILS_WITH(0, EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
    std::vector<BYTE> forms(4096);
    EXPECT_FAILS_WITH(ERROR_ACCESS_DENIED, EnumFormsW(h, 1, forms.data(), 4096, &needed, &returned));
    EXPECT_TRUE(EnumFormsW(h, 1, forms.data(), 4096, &needed, &returned));
}

TEST_F(StandIn, GrowFaultAddsAFormBetweenSizingAndFilling) {
    Set(kBase + std::string("fault EnumFormsW.grow\n"));
    HANDLE h = Open();
    DWORD needed = 0, returned = 0;
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumFormsW(h, 1, nullptr, 0, &needed, &returned));
    const DWORD first = needed;
    std::vector<BYTE> buffer(first);
    EXPECT_FAILS_WITH(ERROR_INSUFFICIENT_BUFFER, EnumFormsW(h, 1, buffer.data(), first, &needed, &returned));
    EXPECT_GT(needed, first);
    EXPECT_EQ(State().find("\nfault "), std::string::npos) << State();
    EXPECT_EQ(Forms(h).size(), 4u);
}

TEST_F(StandIn, OpenAndChangeFaultsFailWithTheirCodeAndChangeNothing) {
    Set(kBase + std::string("fault OpenPrinterW 0x000F000C 1801\nfault OpenPrinterW null 6 once\n"
                            "fault AddFormW 1117\nfault SetFormW 21\nfault DeleteFormW 1722\n"
                            "fault GetDefaultPrinterW 1115\n"));
    DWORD count = 0;
    EXPECT_FAILS_WITH(1115, GetDefaultPrinterW(nullptr, &count));
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    EXPECT_FAILS_WITH(ERROR_INVALID_PRINTER_NAME, OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, &all));
    EXPECT_FAILS_WITH(ERROR_INVALID_HANDLE, OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, nullptr));
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"Office Laser"), &h, nullptr));  // the once fault is spent
    open_.push_back(h);
    h = Open(L"Office Laser", PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE);
    ASSERT_NE(h, nullptr);

    const std::string before = FileBytes();
    FORM_INFO_1W form = MakeForm(L"New", 1000, 1000);
    EXPECT_FAILS_WITH(1117, AddFormW(h, 1, Bytes(&form)));
    EXPECT_FAILS_WITH(21, SetFormW(h, const_cast<LPWSTR>(L"Invoice"), 1, Bytes(&form)));
    EXPECT_FAILS_WITH(1722, DeleteFormW(h, const_cast<LPWSTR>(L"Invoice")));
    EXPECT_EQ(FileBytes(), before);
}

// --- Observability ---

TEST_F(StandIn, CountsCallsHandlesAndLogsThem) {
    Set(kBase);
    const std::wstring logPath = dir_ + L"\\" + stem_ + L".log";
    DeleteFileW(logPath.c_str());
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", logPath.c_str());
    HANDLE a = Open();
    HANDLE b = Open(L"\\\\srv\\Share", 0);
    EXPECT_EQ(StandInOpenHandles(), 2);
    EXPECT_EQ(StandInMaxOpenHandles(), 2);
    ClosePrinter(a);
    ClosePrinter(b);
    open_.clear();
    HANDLE bogus = nullptr;
    OpenPrinterW(const_cast<LPWSTR>(L"Nobody"), &bogus, nullptr);
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", nullptr);

    EXPECT_EQ(StandInOpenHandles(), 0);
    EXPECT_EQ(StandInMaxOpenHandles(), 2);
    EXPECT_EQ(StandInCallCount("OpenPrinterW"), 3u);
    EXPECT_EQ(StandInCallCount("ClosePrinter"), 2u);
    EXPECT_EQ(StandInCallCount("EnumFormsW"), 0u);

    std::string log(StandInGetLog(nullptr, 0), '\0');
    StandInGetLog(&log[0], static_cast<DWORD>(log.size()));
    log.pop_back();
    EXPECT_NE(log.find("OpenPrinterW \"Office Laser\" access=0x000F000C -> TRUE"), std::string::npos) << log;
    EXPECT_NE(log.find("OpenPrinterW \"Nobody\" access=null -> FALSE error=1801"), std::string::npos) << log;
    EXPECT_EQ(ReadFile(logPath), log);
    DeleteFileW(logPath.c_str());

    StandInResetCounters();
    EXPECT_EQ(StandInCallCount("OpenPrinterW"), 0u);
    EXPECT_EQ(StandInMaxOpenHandles(), 0);
    EXPECT_EQ(StandInGetLog(nullptr, 0), 1u);
}

}  // namespace

// The test programs link with -municode, so the entry point is wmain; gtest_main's
// main would never be called.
int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
