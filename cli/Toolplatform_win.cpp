#include "Toolplatform.h"

#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include "Filewrite.h"

using namespace quillon;

void UseBinaryStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The progress line redraws itself with an escape sequence, which a
    // console acts on only when asked to.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(error, &mode))
        SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::vector<std::string> CommandLineArguments(int argc, char **argv)
{
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        // A lone surrogate, which no name of a file can hold, becomes U+FFFD.
        const int size = WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(std::size_t(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, text.data(), size, nullptr, nullptr);
        text.pop_back(); // the terminating zero
        texts.push_back(std::move(text));
    }
    LocalFree(arguments);
    return texts;
}

std::FILE *OpenForReading(const std::string &name)
{
    // A plain std::string would be taken byte by byte (MinGW-w64's
    // libstdc++ 12), so "ä" became "Ã¤"; char8_t text is read as UTF-8.
    return _wfopen(quillon::PathFromBytes(name).c_str(), L"rb");
}
