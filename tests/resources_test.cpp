#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/dialog_helpers.h"
#include "support/process_helpers.h"

namespace
{

const WORD LANGUAGE_STRINGS = MAKELANGID(LANG_DANISH, SUBLANG_DANISH_DENMARK); /* 0x0406 */
const WORD LANGUAGE_DIALOG = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);     /* 0x0409 */

/* The version that project() in CMakeLists.txt names, where a bump is the one edit. Taken from
 * project() itself rather than from the generated kelvra_version.h that the .rc reads, so that a
 * slip in that header's form fails here. */
const WORD VERSION[4] = {KELVRA_VERSION_MAJOR, KELVRA_VERSION_MINOR, KELVRA_VERSION_PATCH,
                         KELVRA_VERSION_TWEAK};

/* The version as the version block's strings write it: "1, 0, 0, 2" for 1.0.0.2. */
std::string VersionText()
{
    return std::to_string(VERSION[0]) + ", " + std::to_string(VERSION[1]) + ", " +
           std::to_string(VERSION[2]) + ", " + std::to_string(VERSION[3]);
}

/* The resources are checked as they were linked into Kelvra.exe, which lies beside this
 * program, through the platform's own resource functions. */
std::string ModulePath()
{
    return ProgramDirectory() + "\\Kelvra.exe";
}

HMODULE Module()
{
    static HMODULE module = LoadLibraryExA(ModulePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

const char *const PAGE_INTRODUCTION =
    "This utility changes the current Media Sense and APIPA settings of this computer. "
    "Select the option(s) below and click 'Save changes' to accept and save the change.\r\n"
    "\r\n"
    "The settings will be saved in the Windows registry database in the DWORD keys:\r\n"
    "   DisableDHCPMediaSense\r\n"
    "   IPAutoconfigurationEnabled\r\n"
    "\r\n"
    "Both keys are located in the registry folder\r\n"
    "    HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters.\r\n"
    "\r\n"
    "The details are given in the Microsoft Support Knowledge Base in articles Q239924 and "
    "Q255836.\r\n"
    "\r\n"
    "Note that these functions are not available for Windows NT.\r\n"
    "You will need to reboot the computer if you make a change to the current settings!\r\n"
    "\r\n"
    "Click 'Next' if you want to read further explanations.\r\n";

const char *const PAGE_MEDIA_SENSE =
    "Windows 2000 and XP have a new feature called Media Sense. This feature is used to detect "
    "if a network adapter disconnects from the network.\r\n"
    "When the adapter disconnects, Windows removes all bound protocols from that adapter.\r\n"
    "\r\n"
    "As a result, Orvalis client programs lose their contact with the central Orvalis service. "
    "This will even happen for the client running locally.\r\n"
    "\r\n"
    "In an unstable environment, or when a computer often disconnects from a network (e.g. a "
    "laptop) this is very inconvenient.\r\n"
    "\r\n"
    "This utility can set a registry key that makes Windows keep TCP/IP bound to the network "
    "card when it detects a disconnect.\r\n"
    "The protocol then stays bound to the adapter, and the central Orvalis service is not "
    "interrupted.\r\n";

const char *const PAGE_APIPA =
    "The DHCP client of Windows 2000 and XP has a feature called Automatic Private IP "
    "Addressing (APIPA). It is used when a computer is set up to get its IP address "
    "automatically from a DHCP server.\r\n"
    "\r\n"
    "When Windows starts up it will ask the DHCP server for an IP address but if the DHCP "
    "server does not respond Windows will automatically pick an address in the range of "
    "169.254.0.0 - 169.254.255.255 with a subnet mask of 255.255.0.0.\r\n"
    "\r\n"
    "This will cause the computer to not be able to communicate with other devices/computers "
    "on the network. Earlier versions of Windows kept the last address that they had been "
    "assigned, so they could still reach the other computers.\r\n"
    "\r\n"
    "This utility can set a registry key that avoids this new behaviour.\r\n"
    "This will allow Windows to keep the latest IP address that it received from the DHCP "
    "server.\r\n";

const char *const PAGE_COMMAND_LINE =
    "The following command line parameters can be used:\r\n"
    "\r\n"
    "/MEDIASENSE=<on/off>\r\n"
    "   where <on/off> can be either 'ON' or 'OFF'.\r\n"
    "\r\n"
    "/APIPA=<on/off>\r\n"
    "   where <on/off> can be either 'ON' or 'OFF'.\r\n"
    "\r\n"
    "/SAVE\r\n"
    "   This means that any changes supplied on the command line will be immediately saved.\r\n"
    "\r\n"
    "/QUIT\r\n"
    "   This means that Kelvra will exit immediately without user interaction.\r\n"
    "\r\n"
    "A return code will indicate if changes were saved to the registry or not.\r\n"
    "   0 means that no changes were made.\r\n"
    "   1 means changes were made.\r\n";

const struct
{
    UINT id;
    const char *text;
} STRING_CASES[] = {
    {1, PAGE_MEDIA_SENSE},
    {2, PAGE_APIPA},
    {3, PAGE_INTRODUCTION},
    {4, "Media Sense is Disabled"},
    {5, "Enable"},
    {6, "Disable"},
    {7, "Media Sense is Enabled"},
    {8, "Automatic Private IP Addressing is Enabled"},
    {9, "Automatic Private IP Addressing is Disabled"},
    {10, "Media Sense not supported!"},
    {11, "Automatic Private IP Addressing not supported!"},
    {12, "Media Sense is now disabled"},
    {13, "Media Sense is now enabled"},
    {14, "APIPA is now disabled"},
    {15, "APIPA is now enabled"},
    {16, PAGE_COMMAND_LINE},
    {17, "Media Sense could not be changed!"},
    {18, "APIPA could not be changed!"},
    {19, "The machine's Windows is not supported: Kelvra needs Windows 2000, XP or a later version "
         "of the NT family."},
    {20, "The list names no machine."},
    {21, "%u of %u machines done: %u changed, %u as asked, %u failed"},
    {22, "All done, %u of %u machines: %u changed, %u as asked, %u failed"},
    {23, "Not done: the run was closed before this machine's turn."},
    {24, "No answer within the time limit. Kelvra's run for this machine was left running and may "
         "still change it."},
    {25, "Kelvra's run for this machine ended without a report line; the code is its exit code."},
    {26, "APIPA Enabled, but Disabled on %u adapter%s"},
    {27, "APIPA Disabled, but Enabled on %u adapter%s"},
    {28, "APIPA now enabled; %u adapter%s kept own setting"},
    {29, "APIPA now disabled; %u adapter%s kept own setting"},
    {30, "\r\nThese adapters have an APIPA setting of their own, which wins over the setting shown "
         "below. "
         "Kelvra changes only that one: they keep theirs.\r\n"},
    {31, "   %s: APIPA Enabled\r\n"},
    {32, "   %s: APIPA Disabled\r\n"},
    {33, "The /RESTART value is not one Kelvra takes: give /RESTART, /RESTART=seconds (0 to "
         "315360000) or /RESTART=ABORT. Nothing was read or written."},
    {34, "Kelvra: %s%s%s. These network settings take effect after a restart. Save your work."},
    {35, "Restart requested, in %u seconds."},
    {36, "The value was written, but Windows did not take the restart:%s Restart this machine by "
         "hand."},
    {37, "%s - restarts %u seconds after this window closes"},
    {38, "This is the console's own machine: the list run asks for its restart once every line "
         "is written."},
    {39, "A restart was stopped."},
    {40, "No restart was pending."},
    {41, "Kelvra could not tell whether this machine is the console itself, so it did not "
         "restart it: restart this machine by hand."},
    {42, "\r\n%u did not answer in time: run them again with a longer /TIMEOUT=."},
    {43, "Kelvra cannot start itself for each machine from where it is: its path is too long or "
         "holds characters of another code page. Copy Kelvra.exe to a folder such as C:\\Tools "
         "and run it from there."},
    {44, "Kelvra could not wait for the runs and stopped. This machine's run may have been left "
         "running and may still change it."},
    {45, "waiting"},
    {46, "running"},
    {47, "running, %u s"},
    {48, "Error %s: %s"},
    {49, "Machine"},
    {50, "Outcome"},
    {51, "Media Sense"},
    {52, "APIPA"},
    {53, "Reason"},
};

/* A string-table entry loaded into a buffer far larger than any entry. */
std::string LoadEntry(HMODULE module, UINT id)
{
    std::vector<char> text(65536);
    int length = LoadStringA(module, id, text.data(), (int)text.size());
    return std::string(text.data(), length > 0 ? length : 0);
}

/* Position and size in pixels, as "x,y widthxheight". */
std::string Placement(int x, int y, int width, int height)
{
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
           std::to_string(height);
}

/* Position and size that a template gives in dialog units, as pixels of this dialog: each of
 * the four numbers is converted on its own, as the dialog manager does. */
std::string DialogUnits(HWND dialog, int x, int y, int width, int height)
{
    RECT rect = {x, y, width, height};
    MapDialogRect(dialog, &rect);
    return Placement(rect.left, rect.top, rect.right, rect.bottom);
}

std::string Placement(const RECT &r)
{
    return Placement(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

} // namespace

TEST(ResourcesTest, EveryStringEntryLoadsWholeAndReadsAsWritten)
{
    ASSERT_NE(HMODULE(NULL), Module()) << "cannot load " << ModulePath();
    for (const auto &c : STRING_CASES)
    {
        SCOPED_TRACE(testing::Message() << "entry " << c.id);
        std::string text = LoadEntry(Module(), c.id);
        EXPECT_EQ(c.text, text);
        EXPECT_LE(text.size(), 2046u) << "longer than the dialog's buffer takes";
        EXPECT_NE(HRSRC(NULL), FindResourceExA(Module(), RT_STRING, MAKEINTRESOURCEA(c.id / 16 + 1),
                                               LANGUAGE_STRINGS));
    }
    for (UINT id : {0u, 54u, 55u, 101u})
        EXPECT_EQ("", LoadEntry(Module(), id)) << "entry " << id;
}

TEST(ResourcesTest, HelpPagesEndEveryLineInCrLf)
{
    for (UINT id :
         {IDS_PAGE_MEDIA_SENSE, IDS_PAGE_APIPA, IDS_PAGE_INTRODUCTION, IDS_PAGE_COMMAND_LINE})
    {
        SCOPED_TRACE(testing::Message() << "entry " << id);
        std::string text = LoadEntry(Module(), id);
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ("\r\n", text.substr(text.size() - 2));
        for (size_t i = 0; i < text.size(); i++)
        {
            if (text[i] == '\n')
            {
                EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            }
            if (text[i] == '\r')
            {
                EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
            }
        }
        EXPECT_EQ(std::string::npos, text.find("\r\n\r\n\r\n")) << "two blank lines in a row";
    }
}

TEST(ResourcesTest, VersionBlockNamesTheProduct)
{
    std::string path = ModulePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void **)&fixed, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    EXPECT_EQ(DWORD(MAKELONG(VERSION[1], VERSION[0])), fixed->dwFileVersionMS);
    EXPECT_EQ(DWORD(MAKELONG(VERSION[3], VERSION[2])), fixed->dwFileVersionLS);
    EXPECT_EQ(DWORD(MAKELONG(VERSION[1], VERSION[0])), fixed->dwProductVersionMS);
    EXPECT_EQ(DWORD(MAKELONG(VERSION[3], VERSION[2])), fixed->dwProductVersionLS);
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(0x40004u, fixed->dwFileOS);
    EXPECT_EQ(1u, fixed->dwFileType);

    const std::string version = VersionText();
    const struct
    {
        const char *name;
        const char *value;
    } entries[] = {
        {"Comments", ""},
        {"CompanyName", "Fennick"},
        {"FileDescription", "Kelvra"},
        {"FileVersion", version.c_str()},
        {"InternalName", "Kelvra"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "Kelvra.exe"},
        {"PrivateBuild", ""},
        {"ProductName", "Fennick Kelvra"},
        {"ProductVersion", version.c_str()},
        {"SpecialBuild", ""},
    };
    for (const auto &e : entries)
    {
        SCOPED_TRACE(e.name);
        std::string query = std::string("\\StringFileInfo\\040604b0\\") + e.name;
        char *value = NULL;
        length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), (void **)&value, &length));
        EXPECT_STREQ(e.value, value);
    }
    char *absent = NULL;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040604b0\\LegalCopyright",
                                (void **)&absent, &length));

    WORD *translation = NULL;
    ASSERT_TRUE(
        VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0406, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    EXPECT_NE(HRSRC(NULL),
              FindResourceExA(Module(), RT_VERSION, MAKEINTRESOURCEA(1), LANGUAGE_STRINGS));
}

TEST(ResourcesTest, IconGroupHoldsA32And16PixelImageOf16Colours)
{
    HRSRC group =
        FindResourceExA(Module(), RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_KELVRA), LANGUAGE_STRINGS);
    ASSERT_NE(HRSRC(NULL), group);

#pragma pack(push, 2)
    struct GroupEntry
    {
        BYTE width, height, colourCount, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader
    {
        WORD reserved, type, count;
        GroupEntry entries[2];
    };
#pragma pack(pop)
    const GroupHeader *header = (const GroupHeader *)LockResource(LoadResource(Module(), group));
    ASSERT_EQ(2, header->count);
    EXPECT_EQ(6u + 2 * 14, SizeofResource(Module(), group));
    for (int i = 0; i < 2; i++)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(i == 0 ? 32 : 16, header->entries[i].width);
        EXPECT_EQ(header->entries[i].width, header->entries[i].height);
        EXPECT_EQ(16, header->entries[i].colourCount);
        EXPECT_EQ(4, header->entries[i].bitCount);
    }

    /* The platform picks each size from the group as the dialog will. */
    for (int size : {32, 16})
    {
        SCOPED_TRACE(size);
        HICON icon = (HICON)LoadImageA(Module(), MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR);
        ASSERT_NE(HICON(NULL), icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        DestroyIcon(icon);
    }
}

TEST(ResourcesTest, DialogTemplateAsTheDialogManagerBuildsIt)
{
    ASSERT_NE(HRSRC(NULL),
              FindResourceExA(Module(), RT_DIALOG, MAKEINTRESOURCEA(IDD_KELVRA), LANGUAGE_DIALOG));
    HWND dialog =
        CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_KELVRA), NULL, PlainDialogProc, 0);
    ASSERT_NE(HWND(NULL), dialog);

    char className[64] = "";
    GetClassNameA(dialog, className, sizeof(className));
    EXPECT_STREQ("#32770", className) << "the template names no class of its own";
    EXPECT_EQ("Kelvra", WindowText(dialog));
    EXPECT_EQ(HMENU(NULL), GetMenu(dialog));
    /* The template's style, with what the system adds to every such dialog: clipping of its
     * siblings for a window with a caption, and the 3-D look. */
    EXPECT_EQ(LONG(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_CENTER |
                   WS_CLIPSIBLINGS | DS_3DLOOK),
              GetWindowLongA(dialog, GWL_STYLE));

    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(DialogUnits(dialog, 0, 0, 363, 230), Placement(client));

    LOGFONTA font = {};
    ASSERT_EQ(int(sizeof(font)),
              GetObjectA((HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0), sizeof(font), &font));
    EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
    HDC screen = GetDC(NULL);
    EXPECT_EQ(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), font.lfHeight);
    ReleaseDC(NULL, screen);
    EXPECT_EQ(0, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(1, font.lfCharSet);

    /* The controls as scripts and accessibility tools find them: ids, classes, whole styles
     * and extended styles as the dialog manager creates them, and positions in dialog units.
     * Literal numbers, not the names in resource.h: a renumbered id must fail here. */
    const LONG CHILD = WS_CHILD | WS_VISIBLE;
    /* The dialog manager gives every control it creates WS_EX_NOPARENTNOTIFY. */
    const LONG NOTIFY = WS_EX_NOPARENTNOTIFY;
    const struct
    {
        int id;
        const char *className;
        const char *text;
        LONG style;
        LONG exStyle;
        int x, y, width, height;
    } controls[] = {
        /* The template gives the edit control WS_BORDER, which the control trades for
         * WS_EX_CLIENTEDGE when it is created, as Windows' has done since Windows 95. */
        {1000, "Edit", "",
         CHILD | ES_MULTILINE | ES_READONLY | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
         NOTIFY | WS_EX_CLIENTEDGE, 7, 7, 349, 157},
        {1001, "Button", "&Back", CHILD | BS_PUSHBUTTON | WS_TABSTOP, NOTIFY, 54, 205, 70, 18},
        {1002, "Button", "&Next", CHILD | BS_PUSHBUTTON | WS_TABSTOP, NOTIFY, 131, 205, 70, 18},
        {1003, "Static", "Media Sense Status", CHILD | SS_LEFT | WS_GROUP,
         NOTIFY | WS_EX_TRANSPARENT, 7, 171, 144, 10},
        {1004, "Button", "Change Media Sense", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, NOTIFY, 30,
         183, 106, 10},
        {1005, "Static", "Apipa Status", CHILD | SS_LEFT | WS_GROUP, NOTIFY | WS_EX_TRANSPARENT,
         187, 170, 169, 9},
        {1006, "Button", "Change Apipa", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, NOTIFY, 224, 183,
         114, 10},
        {1007, "Button", "E&xit", CHILD | BS_PUSHBUTTON | WS_TABSTOP, NOTIFY, 286, 205, 70, 18},
        {1008, "Button", "&Save changes", CHILD | BS_PUSHBUTTON | WS_TABSTOP, NOTIFY, 211, 205, 70,
         18},
    };
    /* The children in window order are the template's controls in tab order. */
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto &c : controls)
    {
        SCOPED_TRACE(testing::Message() << "control " << c.id);
        ASSERT_NE(HWND(NULL), child);
        EXPECT_EQ(c.id, GetDlgCtrlID(child));
        GetClassNameA(child, className, sizeof(className));
        EXPECT_STREQ(c.className, className);
        EXPECT_EQ(c.text, WindowText(child));
        EXPECT_EQ(c.style, GetWindowLongA(child, GWL_STYLE));
        EXPECT_EQ(c.exStyle, GetWindowLongA(child, GWL_EXSTYLE));
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(NULL, dialog, (POINT *)&rect, 2);
        EXPECT_EQ(DialogUnits(dialog, c.x, c.y, c.width, c.height), Placement(rect));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(HWND(NULL), child) << "more controls than the nine";
    DestroyWindow(dialog);
}

TEST(ResourcesTest, TheDialogOpensInTheMiddleOfTheWorkArea)
{
    HWND dialog =
        CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_KELVRA), NULL, PlainDialogProc, 0);
    ASSERT_NE(HWND(NULL), dialog);
    RECT window, workArea;
    GetWindowRect(dialog, &window);
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    DestroyWindow(dialog);

    /* Halving an odd width or height may round either way. */
    EXPECT_NEAR((workArea.left + workArea.right) / 2.0, (window.left + window.right) / 2.0, 1.0);
    EXPECT_NEAR((workArea.top + workArea.bottom) / 2.0, (window.top + window.bottom) / 2.0, 1.0);
}
