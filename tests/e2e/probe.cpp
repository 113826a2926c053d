// tallowin-probe: looks at and pokes Tallowin's windows for the end-to-end tests, printing JSON lines.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
std::string Escaped(const char* text) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p == '"' || *p == '\\') { out += '\\'; out += static_cast<char>(*p); }
        else if (*p == '\n') out += "\\n";
        else if (*p == '\r') out += "\\r";
        else if (*p == '\t') out += "\\t";
        else if (*p < 0x20 || *p >= 0x80) { char u[8]; std::snprintf(u, sizeof u, "\\u%04x", *p); out += u; }
        else out += static_cast<char>(*p);
    }
    return out;
}

HWND MainWindow() { return FindWindowA("TallowinDisplayClass", nullptr); }

int PrintMain() {
    HWND w = MainWindow();
    if (!w) { std::printf("{\"found\":false}\n"); return 1; }
    RECT r, c;
    GetWindowRect(w, &r);
    GetClientRect(w, &c);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    std::printf("{\"found\":true,\"hwnd\":%llu,\"visible\":%s,\"iconic\":%s,\"zoomed\":%s,\"left\":%ld,\"top\":%ld,"
                "\"right\":%ld,\"bottom\":%ld,\"client_x\":%ld,\"client_y\":%ld,\"client_w\":%ld,\"client_h\":%ld,"
                "\"foreground\":%s}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)), IsWindowVisible(w) ? "true" : "false",
                IsIconic(w) ? "true" : "false", IsZoomed(w) ? "true" : "false", r.left, r.top, r.right, r.bottom,
                origin.x, origin.y, c.right, c.bottom, GetForegroundWindow() == w ? "true" : "false");
    return 0;
}

BOOL CALLBACK ListBox(HWND w, LPARAM) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    char caption[256] = "", text[2048] = "";
    GetWindowTextA(w, caption, sizeof caption);
    GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
    std::printf("{\"hwnd\":%llu,\"owner\":%llu,\"caption\":\"%s\",\"text\":\"%s\"}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetWindow(w, GW_OWNER))),
                Escaped(caption).c_str(), Escaped(text).c_str());
    return TRUE;
}

// A message to another process's window that gives up rather than wait on a busy thread.
LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result) ? result : 0;
}

// The tooltips of the tray live in Explorer's process: their texts are read through a block of
// that process's memory.
void PrintTools(HWND tip) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tip, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return;
    const SIZE_T textRoom = 1024;
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOA) + textRoom,
                                                     MEM_COMMIT, PAGE_READWRITE));
    const int tools = static_cast<int>(SendWithin(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; remote && i < tools; ++i) {
        TTTOOLINFOA info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        info.lpszText = remote + sizeof info;
        char text[textRoom] = "";
        WriteProcessMemory(process, remote, &info, sizeof info, nullptr);
        WriteProcessMemory(process, remote + sizeof info, text, 1, nullptr);
        if (!SendWithin(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(remote))) continue;
        ReadProcessMemory(process, remote, &info, sizeof info, nullptr);
        if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKA) {
            ReadProcessMemory(process, info.lpszText, text, textRoom - 1, nullptr);
        }
        text[textRoom - 1] = 0;
        std::printf("{\"tooltip\":%llu,\"visible\":%s,\"tool\":%d,\"hwnd\":%llu,\"id\":%lu,\"left\":%ld,\"top\":%ld,"
                    "\"right\":%ld,\"bottom\":%ld,\"text\":\"%s\"}\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(tip)), IsWindowVisible(tip) ? "true" : "false", i,
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(info.hwnd)),
                    static_cast<unsigned long>(info.uId), info.rect.left, info.rect.top, info.rect.right,
                    info.rect.bottom, Escaped(text).c_str());
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
}

BOOL CALLBACK ListTip(HWND w, LPARAM) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "tooltips_class32") == 0) PrintTools(w);
    return TRUE;
}

BOOL CALLBACK ListWindow(HWND w, LPARAM) {
    char cls[64] = "", text[256] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    std::printf("{\"hwnd\":%llu,\"class\":\"%s\",\"text\":\"%s\",\"visible\":%s,\"pid\":%lu}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)), Escaped(cls).c_str(),
                Escaped(text).c_str(), IsWindowVisible(w) ? "true" : "false", pid);
    return TRUE;
}

BOOL CALLBACK ListMenu(HWND w, LPARAM) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32768") != 0 || !IsWindowVisible(w)) return TRUE;
    RECT r;
    GetWindowRect(w, &r);
    std::printf("{\"hwnd\":%llu,\"left\":%ld,\"top\":%ld,\"right\":%ld,\"bottom\":%ld}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)), r.left, r.top, r.right, r.bottom);
    return TRUE;
}

// A dialog's controls: id, class, text and, for buttons, whether they are checked. The text is
// asked for with WM_GETTEXT: GetWindowText does not ask another process's controls.
BOOL CALLBACK ListControl(HWND w, LPARAM) {
    char cls[64] = "", text[1024] = "";
    GetClassNameA(w, cls, sizeof cls);
    SendWithin(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    const bool button = std::strcmp(cls, "Button") == 0 || std::strcmp(cls, "BUTTON") == 0;
    std::printf("{\"hwnd\":%llu,\"id\":%d,\"class\":\"%s\",\"text\":\"%s\",\"checked\":%s,\"enabled\":%s}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)), GetDlgCtrlID(w), Escaped(cls).c_str(),
                Escaped(text).c_str(), button && SendWithin(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? "true" : "false",
                IsWindowEnabled(w) ? "true" : "false");
    return TRUE;
}

HWND HandleArg(const char* text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0))); }

// Takes the program's icon out of the tray, then tells the program that the taskbar was re-created,
// as happens when Explorer restarts.
int SimulateTaskbarRestart(bool broadcast) {
    HWND w = MainWindow();
    if (!w) return 1;
    NOTIFYICONDATAA record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = w;
    record.uID = 1;
    Shell_NotifyIconA(NIM_DELETE, &record);
    if (broadcast) PostMessageA(w, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    return 0;
}
// Run as an alert command: writes its command line, the alert's variables and whether it has a
// console window to DIR\<process id>.json.
int RecordRun(const char* folder) {
    std::string json = "{\"command_line\":\"" + Escaped(GetCommandLineA()) + "\",\"console_window\":" +
                       (GetConsoleWindow() ? "true" : "false");
    for (const char* name : {"TALLOWIN_SERVER", "TALLOWIN_STATE", "TALLOWIN_PLAYERS", "TALLOWIN_MINIMUM",
                             "TALLOWIN_MESSAGE", "TALLOWIN_TIME"}) {
        char value[1024] = "";
        SetLastError(0);  // an empty value also reads as 0
        if (GetEnvironmentVariableA(name, value, sizeof value) || GetLastError() != ERROR_ENVVAR_NOT_FOUND)
            json += std::string(",\"") + name + "\":\"" + Escaped(value) + "\"";
    }
    const std::string path = std::string(folder) + "\\" + std::to_string(GetCurrentProcessId()) + ".json";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    std::fputs((json + "}\n").c_str(), file);
    std::fclose(file);
    return 0;
}

// Active Accessibility, as a screen reader in its own process reads the report window.
VARIANT Child(long id) { VARIANT v{}; v.vt = VT_I4; v.lVal = id; return v; }
std::string Spoken(IAccessible* object, VARIANT child) {
    BSTR name = nullptr;
    char text[1024] = "";
    if (SUCCEEDED(object->get_accName(child, &name)) && name) WideCharToMultiByte(CP_ACP, 0, name, -1, text, 1024, nullptr, nullptr);
    SysFreeString(name);
    return Escaped(text);
}
// The list and each child: name, role, state, place on the screen, the next child, and the child at its centre.
int PrintReportObject() {
    IAccessible* list = nullptr;
    if (FAILED(AccessibleObjectFromWindow(MainWindow(), DWORD(OBJID_CLIENT), IID_IAccessible, reinterpret_cast<void**>(&list))))
        return 1;
    long count = 0, listed = 0;
    list->get_accChildCount(&count);
    VARIANT children[64];
    AccessibleChildren(list, 0, count < 64 ? count : 64, children, &listed);
    for (long id = 0; id <= count; ++id) {
        VARIANT role{}, state{}, next{}, hit{};
        long x = 0, y = 0, w = 0, h = 0;
        list->get_accRole(Child(id), &role);
        list->get_accState(Child(id), &state);
        list->accLocation(&x, &y, &w, &h, Child(id));
        list->accNavigate(id == 0 ? NAVDIR_FIRSTCHILD : NAVDIR_NEXT, Child(id), &next);
        list->accHitTest(x + w / 2, y + h / 2, &hit);
        std::printf("{\"id\":%ld,\"name\":\"%s\",\"role\":%ld,\"state\":%ld,\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,"
                    "\"next\":%ld,\"hit\":%ld,\"listed\":%ld}\n", id, Spoken(list, Child(id)).c_str(), role.lVal,
                    state.lVal, x, y, w, h, next.vt == VT_I4 ? next.lVal : -1, hit.lVal, listed);
    }
    list->Release();
    return 0;
}
// The program's own events: for its lines, and a new set of lines (the system's are for the list itself).
void CALLBACK PrintEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    IAccessible* source = nullptr;
    VARIANT id{};
    if (window != MainWindow() || object != OBJID_CLIENT || (child == CHILDID_SELF && event != EVENT_OBJECT_REORDER) ||
        FAILED(AccessibleObjectFromEvent(window, object, child, &source, &id)))
        return;
    std::printf("{\"event\":%lu,\"child\":%ld,\"name\":\"%s\"}\n", event, child, Spoken(source, id).c_str());
    source->Release();
}
// The report window's events for a while, through an out-of-context hook on its process.
int PrintReportEvents(UINT milliseconds) {
    DWORD process = 0;
    GetWindowThreadProcessId(MainWindow(), &process);
    SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_NAMECHANGE, nullptr, PrintEvent, process, 0, WINEVENT_OUTOFCONTEXT);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("{\"hooked\":%lu}\n", process);
    SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) && message.message != WM_TIMER) DispatchMessageA(&message);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tallowin-probe main|wait-main MS|boxes|tips|close HWND|post HWND MSG W L|"
                             "send HWND MSG W L|taskbar-restart|tray-remove|move X Y W H|menu|controls HWND|"
                             "settext HWND ID TEXT|record DIR|report-object|report-events MS\n");
        return 2;
    }
    const std::string command = argv[1];
    if (command == "main") return PrintMain();
    CoInitialize(nullptr);
    if (command == "report-object") return PrintReportObject();
    if (command == "report-events" && argc > 2) return PrintReportEvents(static_cast<UINT>(std::atoi(argv[2])));
    if (command == "record" && argc > 2) return RecordRun(argv[2]);
    if (command == "wait-main") {
        const DWORD end = GetTickCount() + static_cast<DWORD>(argc > 2 ? std::atoi(argv[2]) : 10000);
        while (!MainWindow() && GetTickCount() < end) Sleep(50);
        return PrintMain();
    }
    if (command == "boxes") { EnumWindows(ListBox, 0); return 0; }
    if (command == "windows") { EnumWindows(ListWindow, 0); return 0; }
    if (command == "tips") { EnumWindows(ListTip, 0); return 0; }
    if (command == "menu") { EnumWindows(ListMenu, 0); return 0; }
    if (command == "controls" && argc > 2) { EnumChildWindows(HandleArg(argv[2]), ListControl, 0); return 0; }
    if (command == "settext" && argc > 4) {
        HWND control = GetDlgItem(HandleArg(argv[2]), std::atoi(argv[3]));
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG, 5000,
                                   &result) ? 0 : 1;
    }
    if (command == "close" && argc > 2) return PostMessageA(HandleArg(argv[2]), WM_COMMAND, IDOK, 0) ? 0 : 1;
    if ((command == "post" || command == "send") && argc > 5) {
        HWND w = std::strcmp(argv[2], "main") == 0 ? MainWindow() : HandleArg(argv[2]);
        const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
        const WPARAM wParam = static_cast<WPARAM>(std::strtoull(argv[4], nullptr, 0));
        const LPARAM lParam = static_cast<LPARAM>(std::strtoull(argv[5], nullptr, 0));
        if (command == "post") return PostMessageA(w, message, wParam, lParam) ? 0 : 1;
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(w, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) ? 0 : 1;
    }
    if (command == "taskbar-restart") return SimulateTaskbarRestart(true);
    if (command == "tray-remove") return SimulateTaskbarRestart(false);
    if (command == "move" && argc > 5) {
        return SetWindowPos(MainWindow(), nullptr, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                            std::atoi(argv[5]), SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    std::fprintf(stderr, "tallowin-probe: unknown command %s\n", command.c_str());
    return 2;
}
