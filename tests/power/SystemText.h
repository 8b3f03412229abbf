// Texts as a box shows them: the system's text for an error code, without
// the line break it ends in.
#pragma once

#include <windows.h>

#include <string>

inline std::string Visible(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

inline std::string SystemText(DWORD code)
{
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text = buffer != nullptr ? buffer : "";
    LocalFree(buffer);
    return Visible(text);
}
