// The load configuration both executables carry. The exe's own imports are resolved before
// wWinMain can restrict the DLL search, and comctl32 version 6 comes from the side-by-side
// store, so the DLLs it imports would still be looked for beside the exe first. Its
// DependentLoadFlags make Windows 10 version 1607 and later resolve those imports from the
// system folder only; older systems ignore the field.
//
// MinGW's linker leaves the PE header's load-configuration entry empty: the build writes it
// after the link (tools/set_load_config.py). MSVC builds set the flag with /DEPENDENTLOADFLAG
// in the C runtime's own, larger structure instead, so this one is MinGW's only.
#include <windows.h>

#include <cstddef>

#ifndef _MSC_VER

// IMAGE_LOAD_CONFIG_DIRECTORY64 up to DependentLoadFlags (MinGW's header still calls it
// Reserved1). Size tells the loader which fields there are; Windows ignores the directory
// unless the header's entry gives the same size.
struct LoadConfiguration {
    DWORD Size;
    DWORD TimeDateStamp;
    WORD MajorVersion;
    WORD MinorVersion;
    DWORD GlobalFlagsClear;
    DWORD GlobalFlagsSet;
    DWORD CriticalSectionDefaultTimeout;
    ULONGLONG DeCommitFreeBlockThreshold;
    ULONGLONG DeCommitTotalFreeThreshold;
    ULONGLONG LockPrefixTable;
    ULONGLONG MaximumAllocationSize;
    ULONGLONG VirtualMemoryThreshold;
    ULONGLONG ProcessAffinityMask;
    DWORD ProcessHeapFlags;
    WORD CSDVersion;
    WORD DependentLoadFlags;
};
static_assert(sizeof(void*) == 8, "the 64-bit layout; a 32-bit image needs IMAGE_LOAD_CONFIG_DIRECTORY32");
static_assert(offsetof(LoadConfiguration, DependentLoadFlags) == 78, "DependentLoadFlags sits at offset 78");
static_assert(sizeof(LoadConfiguration) == 80, "no padding after DependentLoadFlags");

// Every other field zero: the system's defaults.
extern "C" const LoadConfiguration _load_config_used = {
    sizeof(LoadConfiguration), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LOAD_LIBRARY_SEARCH_SYSTEM32};

#endif
