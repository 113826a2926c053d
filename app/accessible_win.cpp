// The report window's lines for screen readers: its own IAccessible and the events it sends.
#include "app/accessible_win.h"

#include "app/app_win.h"
#include "app/graph_win.h"
#include "view/render_win.h"

namespace {
const HRESULT GONE = RPC_E_DISCONNECTED;  // the window this object spoke for has been destroyed

BSTR WideText(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (wide) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, length);
    return wide;
}

void SetChild(VARIANT* out, LONG child) {
    out->vt = VT_I4;
    out->lVal = child;
}

// The report as a list: child 1 is the first spoken line. Everything is read from the window's
// state when asked, so a reader holding on to the object always gets the report drawn now.
class ReportAccessible final : public IAccessible {
public:
    explicit ReportAccessible(HWND window) : window_(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (id != IID_IUnknown && id != IID_IDispatch && id != IID_IAccessible) return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // Readers call the properties directly; there is no type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!Alive()) return GONE;
        return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!Alive()) return GONE;
        *count = Children();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        *child = nullptr;
        return ChildOf(id) > 0 ? S_FALSE : E_INVALIDARG;  // the lines are simple elements of the list
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        *name = nullptr;
        const LONG child = ChildOf(id);
        if (child < 0) return Alive() ? E_INVALIDARG : GONE;
        *name = WideText(child == CHILDID_SELF ? std::string("Server report") : TheApp.Spoken.Lines[child - 1]);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return NoText(value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return NoText(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG*) override { return NoText(file); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        const LONG child = ChildOf(id);
        if (child < 0) return Alive() ? E_INVALIDARG : GONE;
        SetChild(role, child == CHILDID_SELF ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        const LONG child = ChildOf(id);
        if (child < 0) return Alive() ? E_INVALIDARG : GONE;
        const bool focused = GetFocus() == window_;
        LONG flags = IsWindowVisible(window_) ? 0 : STATE_SYSTEM_INVISIBLE;
        if (child == CHILDID_SELF) {
            flags |= STATE_SYSTEM_FOCUSABLE | (focused && TheApp.SelectedRow < 0 ? STATE_SYSTEM_FOCUSED : 0);
        } else {
            flags |= STATE_SYSTEM_READONLY;
            if (ServerRow(child) >= 0) flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            if (ServerRow(child) >= 0 && ServerRow(child) == TheApp.SelectedRow)
                flags |= STATE_SYSTEM_SELECTED | (focused ? STATE_SYSTEM_FOCUSED : 0);
        }
        SetChild(state, flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* id) override {
        if (!Alive()) return GONE;
        if (GetFocus() != window_) {
            id->vt = VT_EMPTY;
            return S_FALSE;
        }
        SetChild(id, TheApp.SelectedRow + 1);  // the list itself (0) while no line is selected
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* id) override {
        if (!Alive()) return GONE;
        if (TheApp.SelectedRow < 0) {
            id->vt = VT_EMPTY;
            return S_FALSE;
        }
        SetChild(id, TheApp.SelectedRow + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        *action = nullptr;
        if (ServerRow(ChildOf(id)) < 0) return Alive() ? DISP_E_MEMBERNOTFOUND : GONE;
        *action = WideText("Show graph");
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        const int row = ServerRow(ChildOf(id));
        if (row < 0 || !(flags & (SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION))) return Alive() ? E_INVALIDARG : GONE;
        SelectReportLine(row);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
        const LONG child = ChildOf(id);
        if (child < 0) return Alive() ? E_INVALIDARG : GONE;
        RECT area{};
        if (child == CHILDID_SELF) GetClientRect(window_, &area);
        else area = ReportLineRect(TheApp.Canvas, child - 1 + TheApp.Spoken.FirstDrawnLine);
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&area), 2);
        *left = area.left;
        *top = area.top;
        *width = area.right - area.left;
        *height = area.bottom - area.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        const LONG child = ChildOf(start);
        if (child < 0) return Alive() ? E_INVALIDARG : GONE;
        LONG to = 0;
        if (child == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD) to = 1;
        else if (child == CHILDID_SELF && direction == NAVDIR_LASTCHILD) to = Children();
        else if (child != CHILDID_SELF && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)) to = child + 1;
        else if (child != CHILDID_SELF && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)) to = child - 1;
        if (to < 1 || to > Children()) {
            end->vt = VT_EMPTY;
            return S_FALSE;
        }
        SetChild(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* id) override {
        if (!Alive()) return GONE;
        POINT at{x, y};
        RECT client;
        GetClientRect(window_, &client);
        ScreenToClient(window_, &at);
        if (!PtInRect(&client, at)) {
            id->vt = VT_EMPTY;
            return S_FALSE;
        }
        const LONG child = ReportRowAt(TheApp.Canvas, at.y) - TheApp.Spoken.FirstDrawnLine + 1;
        SetChild(id, child >= 1 && child <= Children() ? child : CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        const int row = ServerRow(ChildOf(id));
        if (row < 0) return Alive() ? DISP_E_MEMBERNOTFOUND : GONE;
        OpenGraphWindow(TheApp.Spoken.ServerNames[row]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    bool Alive() const { return TheApp.Window == window_ && IsWindow(window_); }
    LONG Children() const { return static_cast<LONG>(TheApp.Spoken.Lines.size()); }
    // The child a reader names: CHILDID_SELF, a line, or -1 for none of this object's.
    LONG ChildOf(const VARIANT& id) const {
        if (!Alive() || id.vt != VT_I4 || id.lVal < 0 || id.lVal > Children()) return -1;
        return id.lVal;
    }
    // The server line a child reads, or -1.
    static int ServerRow(LONG child) {
        return child >= 1 && child <= static_cast<LONG>(TheApp.Spoken.ServerNames.size()) ? static_cast<int>(child - 1)
                                                                                           : -1;
    }
    HRESULT NoText(BSTR* text) const {
        *text = nullptr;
        return Alive() ? DISP_E_MEMBERNOTFOUND : GONE;
    }

    HWND window_;
    LONG references_ = 1;
};
}  // namespace

IAccessible* NewReportAccessible(HWND window) { return new ReportAccessible(window); }

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT))
        return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
    // A single-threaded apartment: the readers' calls then arrive through this thread's messages,
    // never on a thread of their own beside the window's.
    static bool apartment = false;
    if (!apartment) apartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IAccessible* report = NewReportAccessible(window);
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, report);
    report->Release();
    return result;
}

void SendLineFocus(HWND window, int row) {
    if (row < 0 || !IsWindowVisible(window)) return;
    if (GetFocus() == window) NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, row + 1);
    NotifyWinEvent(EVENT_OBJECT_SELECTION, window, OBJID_CLIENT, row + 1);
}

void SendReportEvents(HWND window, const ReportEvents& events, int row) {
    if (!IsWindowVisible(window)) return;  // a hidden window's reports are nobody's news
    if (events.Reorder) NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
    if (events.Focus) SendLineFocus(window, row);
    else if (events.NameChange) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, row + 1);
}
