// rtf-capture: writes the RTF that the compose window's editor (the rich edit
// control of Msftedit.dll) produces for a few formatted texts, so that the
// RTF converter is tested against the control's real output rather than
// hand-written RTF. Each text is typed into a fresh control run by run (set
// the format of the empty selection at the end, then replace it), then
// streamed out twice: as plain SF_RTF (cp1252 with \uN escapes) and in the
// UTF-8 form. Usage: rtf-capture OUTDIR; writes NAME.rtf and NAME.utf8.rtf.
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Run {
    const wchar_t* text;
    DWORD effects; // CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE
};

struct Scenario {
    const wchar_t* name;
    std::vector<Run> runs;
};

// "\r" ends a paragraph (Enter), "\v" is a line break (Shift+Enter).
const Scenario kScenarios[] = {
    {L"plain", {{L"Hello world, plain text with <tags> & \"quotes\" and a {brace} \\ backslash.", 0}}},
    {L"formatting",
     {{L"normal ", 0},
      {L"bold", CFE_BOLD},
      {L" ", 0},
      {L"italic", CFE_ITALIC},
      {L" ", 0},
      {L"underline", CFE_UNDERLINE},
      {L" ", 0},
      {L"all three", CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE},
      {L" ", 0},
      {L"bold italic", CFE_BOLD | CFE_ITALIC},
      {L" end", 0}}},
    {L"international",
     {{L"Gr\u00fc\u00dfe aus K\u00f6ln, caf\u00e9 \u20ac5 \u2014 ", 0},
      {L"\u0393\u03b5\u03b9\u03ac \u03c3\u03bf\u03c5", CFE_BOLD},
      {L", \u041f\u0440\u0438\u0432\u0435\u0442, \u65e5\u672c\u8a9e, emoji \U0001F600 and \U0001F44D\U0001F3FD",
       0}}},
    {L"breaks",
     {{L"First paragraph\rSecond paragraph\vwith a line break\r\rAfter an empty one\tand\ttabs", 0},
      {L"\rlast\u00a0line", CFE_ITALIC}}},
};

DWORD CALLBACK Collect(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* written)
{
    auto* out = reinterpret_cast<std::string*>(cookie);
    out->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
    *written = count;
    return 0;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string StreamOut(HWND edit, WPARAM format)
{
    std::string bytes;
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&bytes);
    stream.pfnCallback = Collect;
    SendMessageW(edit, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
    return bytes;
}

bool Capture(const Scenario& scenario, const std::wstring& folder)
{
    HWND edit = CreateWindowExW(0, MSFTEDIT_CLASS, L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (edit == nullptr) {
        std::fprintf(stderr, "rtf-capture: CreateWindowExW failed (%lu)\n", GetLastError());
        return false;
    }
    // Without a default format the control streams everything in its
    // default font, which under some systems is a bold face.
    CHARFORMAT2W base{};
    base.cbSize = sizeof base;
    base.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_COLOR;
    base.yHeight = 220;
    base.crTextColor = RGB(0xE8, 0xE6, 0xE3);
    lstrcpynW(base.szFaceName, L"Segoe UI", LF_FACESIZE);
    SendMessageW(edit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&base));

    for (const Run& run : scenario.runs) {
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
        format.dwEffects = run.effects;
        SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(run.text));
    }

    const std::wstring base_name = folder + L"\\" + scenario.name;
    const bool ok = WriteBytes(base_name + L".rtf", StreamOut(edit, SF_RTF))
                    && WriteBytes(base_name + L".utf8.rtf", StreamOut(edit, (CP_UTF8 << 16) | SF_USECODEPAGE | SF_RTF));
    DestroyWindow(edit);
    if (!ok)
        std::fprintf(stderr, "rtf-capture: writing %ls failed\n", base_name.c_str());
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: rtf-capture OUTDIR\n", stderr);
        return 2;
    }
    if (LoadLibraryW(L"Msftedit.dll") == nullptr) {
        std::fprintf(stderr, "rtf-capture: Msftedit.dll not loaded (%lu)\n", GetLastError());
        return 1;
    }
    for (const Scenario& scenario : kScenarios) {
        if (!Capture(scenario, argv[1]))
            return 1;
    }
    return 0;
}
