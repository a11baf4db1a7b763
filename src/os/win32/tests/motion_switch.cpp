// Turns Windows' "Show animations" on or off as the Ease of Access settings do, for
// the reduced-motion run under Wine (tools/wine-motion-e2e.sh): the setting is
// stored for the user and every top-level window is sent WM_SETTINGCHANGE, so a
// running ticker hears of it.
//   motion_switch off|on
// Prints "animations off" or "animations on" as the system reads it back, and ends
// with 0 when that is what was asked, 1 when not, 2 on a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "on") != 0 && std::strcmp(argv[1], "off") != 0))
    {
        std::fprintf(stderr, "usage: motion_switch off|on\n");
        return 2;
    }
    const BOOL want = std::strcmp(argv[1], "on") == 0;
    // The value travels in the pointer argument itself.
    if (!SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(want)),
                               SPIF_SENDCHANGE | SPIF_UPDATEINIFILE))
    {
        std::fprintf(stderr, "SPI_SETCLIENTAREAANIMATION failed: error %lu\n", GetLastError());
        return 1;
    }
    BOOL now = !want;
    if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &now, 0))
    {
        std::fprintf(stderr, "SPI_GETCLIENTAREAANIMATION failed: error %lu\n", GetLastError());
        return 1;
    }
    std::printf("animations %s\n", now ? "on" : "off");
    return (now != FALSE) == (want != FALSE) ? 0 : 1;
}
