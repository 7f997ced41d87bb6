// Shows one message box as the command line asks and exits with the button pressed:
//   msgbox_probe STYLE TITLE_HEX TEXT_HEX
// Title and text are hexadecimal bytes, so that line breaks and code page 1252 letters pass
// through the command line unchanged.
#include <windows.h>

#include <cstdlib>
#include <string>

static std::string fromHex(const char* hex)
{
    std::string out;
    for (const char* p = hex; p[0] && p[1]; p += 2)
        out.push_back(static_cast<char>(std::strtoul(std::string(p, 2).c_str(), nullptr, 16)));
    return out;
}

int main(int argc, char** argv)
{
    if (argc != 4)
        return 255;
    const UINT style = static_cast<UINT>(std::strtoul(argv[1], nullptr, 10));
    return MessageBoxA(nullptr, fromHex(argv[3]).c_str(), fromHex(argv[2]).c_str(), style);
}
