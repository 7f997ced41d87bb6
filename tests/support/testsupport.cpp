#include "testsupport.h"

#include "com.h"

#include <wincodec.h>
#include <wininet.h>

#include <cstdio>

namespace testsupport {

namespace {

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = f.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = folder + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

struct WindowSearch {
    DWORD pid;
    const char* className;
    bool visible;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<WindowSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (owner == s->pid && lstrcmpA(cls, s->className) == 0 && (!s->visible || IsWindowVisible(w))) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// A 32-bit bitmap header with its rows top down.
BITMAPINFO topDown32(int width, int height)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return bi;
}

}  // namespace

HWND findWindowOf(DWORD pid, const char* className, bool visible)
{
    WindowSearch search{pid, className, visible};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TempFolder::TempFolder(const std::string& prefix, const std::string& base)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string parent = base.empty() ? std::string(temp) : base + "\\";
    for (unsigned n = GetTickCount() ^ GetCurrentProcessId();; ++n) {
        path_ = parent + prefix + "-" + std::to_string(n);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
}

TempFolder::~TempFolder()
{
    removeTree(path_);
}

bool waitUntilOnline(DWORD ms)
{
    const ULONGLONG deadline = GetTickCount64() + ms;
    DWORD state = 0;
    while (!InternetGetConnectedState(&state, 0)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(100);
    }
    return true;
}

bool startProcess(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& pi)
{
    for (int attempt = 1;; ++attempt) {
        std::string line = commandLine;   // CreateProcessA may write into it
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3)
            return false;
        std::fprintf(stderr, "the platform could not start %s (error %lu): starting it again\n", commandLine.c_str(),
                     static_cast<unsigned long>(error));
        Sleep(200);
    }
}

DWORD runToEnd(const std::string& commandLine, DWORD waitMs)
{
    PROCESS_INFORMATION pi = {};
    if (!startProcess(commandLine, "", pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, waitMs);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void writeFile(const std::string& path, const std::string& content)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

std::string readFile(const std::string& path)
{
    std::string content;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return content;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    std::fclose(f);
    return content;
}

std::string generated(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((7 * i) % 251);
    return s;
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Pixels captureClient(HWND window)
{
    Pixels p;
    RECT client;
    GetClientRect(window, &client);
    p.width = client.right;
    p.height = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi = topDown32(p.width, p.height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PrintWindow(window, memory, PW_CLIENTONLY);
    GdiFlush();
    const auto* raw = static_cast<const DWORD*>(bits);
    p.data.resize(static_cast<std::size_t>(p.width) * p.height);
    for (std::size_t i = 0; i < p.data.size(); ++i) {
        const DWORD v = raw[i];   // 0x00RRGGBB in a DIB
        p.data[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

Pixels captureScreen(const RECT& area)
{
    Pixels p;
    p.width = area.right - area.left;
    p.height = area.bottom - area.top;
    if (p.width <= 0 || p.height <= 0)
        return p;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, p.width, p.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, p.width, p.height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO bi = topDown32(p.width, p.height);
    std::vector<DWORD> raw(static_cast<std::size_t>(p.width) * p.height);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(p.height), raw.data(), &bi, DIB_RGB_COLORS);
    p.data.resize(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        p.data[i] = RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

bool savePng(const Pixels& pixels, const std::string& path)
{
    using libmaj::Com;
    libmaj::ApartementCom com;
    bool saved = false;
    {
        std::vector<BYTE> bgr;
        for (COLORREF c : pixels.data) {
            bgr.push_back(GetBValue(c));
            bgr.push_back(GetGValue(c));
            bgr.push_back(GetRValue(c));
        }
        const int wide = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
        std::wstring wpath(static_cast<std::size_t>(wide), L'\0');
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wpath.data(), wide);
        Com<IWICImagingFactory> factory;
        Com<IWICStream> stream;
        Com<IWICBitmapEncoder> encoder;
        Com<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        const UINT stride = static_cast<UINT>(pixels.width) * 3;
        saved = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p)))
                && SUCCEEDED(factory->CreateStream(&stream.p))
                && SUCCEEDED(stream->InitializeFromFilename(wpath.c_str(), GENERIC_WRITE))
                && SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p))
                && SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache))
                && SUCCEEDED(encoder->CreateNewFrame(&frame.p, nullptr))
                && SUCCEEDED(frame->Initialize(nullptr))
                && SUCCEEDED(frame->SetSize(static_cast<UINT>(pixels.width), static_cast<UINT>(pixels.height)))
                && SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR
                && SUCCEEDED(frame->WritePixels(static_cast<UINT>(pixels.height), stride,
                                                static_cast<UINT>(bgr.size()), bgr.data()))
                && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    return saved;
}

}  // namespace testsupport
