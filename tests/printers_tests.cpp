// The printer drop-down, the default printer, opening printers, and what the user is told.
#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

class PrinterListTest : public MainWindowTest {};

std::string State(const std::string& printersAndDefault)
{
    return "admin yes\nstandard-forms no\n" + printersAndDefault +
           "form user 241000 93000 0 0 241000 93000 \"Printer Test Form\"\n";
}

const wchar_t NoPrinterNotice[] = L"请先选择打印机。";

void ExpectNotice(const RecordedBox& box, const std::wstring& text)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(L"Zeltra \u00B7 纸张管理", box.caption);
    EXPECT_EQ(BoxIcon::Information, box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_EQ(MainWindow, box.owner);
}

} // namespace

TEST_F(PrinterListTest, NoPrinterInstalledLeavesTheDropDownEmptyAndAsksForAPrinterBeforeTheWindowShows)
{
    UseSpoolerState("admin yes\nstandard-forms yes\n");
    ExpectBox();
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_TRUE(PrinterEntries().empty());
    EXPECT_EQ(CB_ERR, SelectedPrinterIndex());
    EXPECT_EQ(L"没有检测到已安装的打印机。", TextOf(StatusText));
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    ExpectNotice(boxes[0], NoPrinterNotice);
    EXPECT_FALSE(boxes[0].ownerVisible) << "the notice must come while the window is still being created";
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
}

TEST_F(PrinterListTest, ListsPrintersAndConnectionsInEnumerationOrderWithTheDefaultSelected)
{
    UseSpoolerState(State("printer \"Zulu\"\nprinter \"Alpha\"\nconnection \"\\\\\\\\server\\\\Beta\"\n"
                          "default \"Alpha\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ((std::vector<std::wstring>{L"Zulu", L"Alpha", L"\\\\server\\Beta"}), PrinterEntries());
    EXPECT_EQ(1, SelectedPrinterIndex());
    EXPECT_EQ(L"Alpha", SelectedPrinterName());
    // Level 4 names the printers from the local registry without asking any print server.
    StandInResetCounters();
    ClickButton(RefreshButton);
    const std::string log = SpoolerLog();
    EXPECT_NE(std::string::npos, log.find("EnumPrintersW flags=0x00000006 level=4 size=0 -> FALSE error=122")) << log;
    EXPECT_NE(std::string::npos, log.find("EnumPrintersW flags=0x00000006 level=4 size=")) << log;
    EXPECT_EQ(std::string::npos, log.find("level=2")) << log;
    EXPECT_EQ((std::vector<std::wstring>{L"Zulu", L"Alpha", L"\\\\server\\Beta"}), PrinterEntries());
}

TEST_F(PrinterListTest, DefaultNameMatchesIgnoringOnlyTheCaseOfAToZ)
{
    UseSpoolerState(State("printer \"One\"\nprinter \"Office LASER\"\ndefault \"office laser\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(1, SelectedPrinterIndex());
    CloseMainWindow();

    // Full-width Ｌ (U+FF2C) against ｌ (U+FF4C) is no match: the first entry is selected.
    UseSpoolerState(State("printer \"One\"\nprinter \"Office \xEF\xBC\xAC\"\ndefault \"Office \xEF\xBD\x8C\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(0, SelectedPrinterIndex());
    CloseMainWindow();

    // Accented capitals are not folded either.
    UseSpoolerState(State("printer \"One\"\nprinter \"\xC3\x89tiquettes\"\ndefault \"\xC3\xA9tiquettes\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(0, SelectedPrinterIndex());
}

TEST_F(PrinterListTest, TwoMatchingEntriesSelectTheLaterOne)
{
    UseSpoolerState(State("printer \"Label\"\nprinter \"Other\"\nconnection \"LABEL\"\nprinter \"Last\"\n"
                          "default \"label\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(2, SelectedPrinterIndex());
}

TEST_F(PrinterListTest, NoUsableDefaultSelectsTheFirstEntry)
{
    // No default at all.
    UseSpoolerState(State("printer \"First\"\nprinter \"Second\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(0, SelectedPrinterIndex());
    CloseMainWindow();

    // A default that is not among the listed printers.
    UseSpoolerState(State("printer \"First\"\nprinter \"Second\"\ndefault \"Elsewhere\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(0, SelectedPrinterIndex());
}

TEST_F(PrinterListTest, DefaultNamesAreRecognisedUpTo511Units)
{
    const std::string name511 = std::string(511, 'p');
    const std::string name512 = std::string(512, 'q');
    UseSpoolerState(State("printer \"First\"\nprinter \"" + name511 + "\"\ndefault \"" + name511 + "\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(1, SelectedPrinterIndex());
    EXPECT_EQ(511u, SelectedPrinterName().size());
    CloseMainWindow();

    UseSpoolerState(State("printer \"First\"\nprinter \"" + name512 + "\"\ndefault \"" + name512 + "\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ(0, SelectedPrinterIndex()) << "a default longer than 511 units counts as none";
    EXPECT_EQ(2u, PrinterEntries().size());
    EXPECT_EQ(512u, PrinterEntries()[1].size());
}

TEST_F(PrinterListTest, RefreshRebuildsTheListAndSelectsTheDefaultAgain)
{
    UseSpoolerState(State("printer \"A\"\nprinter \"B\"\nprinter \"C\"\ndefault \"B\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    ChoosePrinter(2);
    EXPECT_EQ(L"C", SelectedPrinterName());
    ClickButton(RefreshButton);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C"}), PrinterEntries());
    EXPECT_EQ(1, SelectedPrinterIndex());
}

TEST_F(PrinterListTest, EnumerationFailuresGoToTheStatusLine)
{
    // The sizing call fails with 0 bytes, as with the spooler stopped: a failure, not "no printers".
    UseSpoolerState(State("printer \"A\"\ndefault \"A\"\nfault EnumPrintersW.size 1722\n"));
    ExpectBox();
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_TRUE(PrinterEntries().empty());
    EXPECT_EQ(L"读取打印机失败：" + SystemText(1722), TextOf(StatusText));
    ASSERT_EQ(1u, TakeBoxes().size());
    CloseMainWindow();

    // The filling call fails: the system's text for its code, with its own line break.
    UseSpoolerState(State("printer \"A\"\ndefault \"A\"\nfault EnumPrintersW.fill 5\n"));
    ExpectBox();
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_TRUE(PrinterEntries().empty());
    EXPECT_EQ(L"读取打印机失败：" + SystemText(5), TextOf(StatusText));
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    ExpectNotice(boxes[0], NoPrinterNotice);
}

TEST_F(PrinterListTest, RefreshAfterAFailedEnumerationKeepsNothingOfTheOldList)
{
    UseSpoolerState(State("printer \"A\"\nprinter \"B\"\ndefault \"A\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    ASSERT_EQ(2u, PrinterEntries().size());
    UseSpoolerState(State("printer \"A\"\nprinter \"B\"\ndefault \"A\"\nfault EnumPrintersW.fill 8\n"));
    ExpectBox();
    ClickButton(RefreshButton);
    EXPECT_TRUE(PrinterEntries().empty());
    EXPECT_EQ(L"读取打印机失败：" + SystemText(8), TextOf(StatusText));
    ASSERT_EQ(1u, TakeBoxes().size());
}

TEST_F(PrinterListTest, OpeningForAChangeFallsBackToNoDefaultsWithoutABox)
{
    UseSpoolerState(State("admin no\nprinter \"A\"\ndefault \"A\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    StandInResetCounters();
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS));
    EXPECT_EQ(2u, StandInCallCount("OpenPrinterW")) << "refused with full access, then opened without defaults";
    EXPECT_EQ(1, StandInOpenHandles());
    EXPECT_TRUE(TakeBoxes().empty());
    ClosePrinter(printer);
}

TEST_F(PrinterListTest, OpeningForReadingIsTriedOnceAndTheRefusalShownWithTheSystemText)
{
    UseSpoolerState(State("printer \"A\"\ndefault \"A\"\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    const std::wstring statusBefore = TextOf(StatusText);
    const size_t rowsBefore = ListRows().size();
    UseSpoolerState(State("printer \"A\"\ndefault \"A\"\nfault OpenPrinterW 0x8 1801\n"));
    ExpectBox();
    ClickButton(RefreshButton);
    EXPECT_EQ(1u, StandInCallCount("OpenPrinterW"));
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"无法打开打印机：\r\n" + SystemText(1801), boxes[0].text);
    EXPECT_EQ(L"读取失败", boxes[0].caption);
    EXPECT_EQ(BoxIcon::Error, boxes[0].icon);
    EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
    EXPECT_EQ(MainWindow, boxes[0].owner);
    EXPECT_EQ(statusBefore, TextOf(StatusText));
    EXPECT_EQ(rowsBefore, ListRows().size());
}

TEST_F(PrinterListTest, WhenBothAttemptsFailTheSecondAttemptsCodeIsShown)
{
    UseSpoolerState(State("printer \"A\"\ndefault \"A\"\nfault OpenPrinterW 0xF000C 5\nfault OpenPrinterW null 1722\n"));
    ASSERT_NE(nullptr, OpenMainWindow());
    StandInResetCounters();
    ExpectBox();
    HANDLE printer = nullptr;
    EXPECT_FALSE(OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS));
    EXPECT_EQ(2u, StandInCallCount("OpenPrinterW"));
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"无法打开打印机：\r\n" + SystemText(1722), boxes[0].text);
    EXPECT_EQ(L"读取失败", boxes[0].caption);
}

TEST_F(PrinterListTest, NoPrinterChosenGivesTheNoticeWithoutCallingTheSpooler)
{
    UseSpoolerState("admin yes\nstandard-forms no\n");
    ExpectBox();
    ASSERT_NE(nullptr, OpenMainWindow());
    TakeBoxes();
    StandInResetCounters();
    ExpectBox();
    HANDLE printer = nullptr;
    EXPECT_FALSE(OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS));
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    ExpectNotice(boxes[0], NoPrinterNotice);
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
}

TEST(SystemErrorText, KeepsTheSystemsTextWithItsLineBreakAndFallsBackForUnknownCodes)
{
    const std::wstring text = SystemErrorText(ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(SystemText(ERROR_INSUFFICIENT_BUFFER), text);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(L"\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(L"未知错误", SystemErrorText(0x2FFFFFFFu));
}
