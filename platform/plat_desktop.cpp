// The desktop backend: FLTK 1.3 widgets under X11 mirror the window records.
// Only the GUI thread touches FLTK; other threads hand frames and titles over
// through Fl::awake.
#include <chrono>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "platform/plat_backend.h"
#include "platform/plat_font.h"
#include "platform/plat_text.h"
#include "platform/plat_window.h"

namespace {

constexpr int MENU_HEIGHT = 25;
constexpr int MENU_TITLE_PADDING = 8;
// Texts and frames of controls laid out in pixels for the 8-point GUI font.
constexpr int CONTROL_FONT_SIZE = PLAT_GUI_FONT_HEIGHT;
// Liberation Sans has the metrics of the GUI font's face (Arial).
constexpr Fl_Font CONTROL_FONT = FL_FREE_FONT;
constexpr const char* FRAME_CLASS_PREFIX = "OpenGL_Window";

class PlatWindow : public Fl_Double_Window {
public:
    PlatWindow(HWND hwnd, int x, int y, int w, int h) : Fl_Double_Window(x, y, w, h), hwnd_(hwnd) {}
    HWND hwnd_;
    int menuHeight_ = 0;
    bool showsFrames_ = false;
    std::vector<uint8_t> frame_;   // bottom-up RGB rows
    int frameWidth_ = 0, frameHeight_ = 0, frameStride_ = 0;

    void draw() override
    {
        if (!showsFrames_ || frame_.empty()) {
            Fl_Double_Window::draw();
            return;
        }
        fl_draw_image(frame_.data() + static_cast<size_t>(frameHeight_ - 1) * frameStride_, 0, 0, frameWidth_,
                      frameHeight_, 3, -frameStride_);
    }
};

class PictureBox : public Fl_Box {
public:
    PictureBox(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}
    std::vector<uint8_t> rgb_;
    int pictureWidth_ = 0, pictureHeight_ = 0;

    void draw() override
    {
        draw_box();
        if (!rgb_.empty()) {
            fl_push_clip(x(), y(), w(), h());
            fl_draw_image(rgb_.data(), x(), y(), pictureWidth_, pictureHeight_, 3);
            fl_pop_clip();
        }
        // FLTK's own label drawing would keep 3 pixels free on either side.
        int inset = PLAT_CONTROL_TEXT_INSET;
        draw_label(x() + Fl::box_dx(box()) + inset, y() + Fl::box_dy(box()), w() - Fl::box_dw(box()) - 2 * inset,
                   h() - Fl::box_dh(box()));
    }
};

struct PendingFrame {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0, stride = 0;
    bool queued = false;
};

struct TitleChange {
    HWND window;
    std::string utf8;
};

std::map<HWND, Fl_Widget*> g_widgets;   // GUI thread only
std::mutex g_frameMutex;
std::map<HWND, PendingFrame> g_frames;
std::map<uint32_t, uint8_t> g_toCp1250;

void* Pack(HWND window, uint16_t id)
{
    return reinterpret_cast<void*>((static_cast<uintptr_t>(window) << 16) | id);
}

PlatWindow* TopWindow(HWND window)
{
    auto it = g_widgets.find(window);
    return it == g_widgets.end() ? nullptr : dynamic_cast<PlatWindow*>(it->second);
}

std::string Utf8(const char* cp1250)
{
    return PLAT_Cp1250ToUtf8(cp1250 ? cp1250 : "");
}

// --------------------------------------------------------------- keys

uint32_t VirtualKey(int key)
{
    if (key >= 'a' && key <= 'z')
        return static_cast<uint32_t>(key - 'a' + 'A');
    if (key >= '0' && key <= '9')
        return static_cast<uint32_t>(key);
    if (key >= FL_F + 1 && key <= FL_F + 12)
        return static_cast<uint32_t>(0x70 + key - FL_F - 1);
    if (key >= FL_KP + '0' && key <= FL_KP + '9')
        return static_cast<uint32_t>(0x60 + key - FL_KP - '0');
    switch (key) {
    case FL_Escape: return VK_ESCAPE;
    case FL_BackSpace: return VK_BACK;
    case FL_Tab: return VK_TAB;
    case FL_Enter: case FL_KP_Enter: return VK_RETURN;
    case ' ': return VK_SPACE;
    case FL_Page_Up: return VK_PRIOR;
    case FL_Page_Down: return VK_NEXT;
    case FL_End: return VK_END;
    case FL_Home: return VK_HOME;
    case FL_Left: return VK_LEFT;
    case FL_Up: return VK_UP;
    case FL_Right: return VK_RIGHT;
    case FL_Down: return VK_DOWN;
    case FL_KP + '+': return VK_ADD;
    case FL_KP + '-': return VK_SUBTRACT;
    case '+': case '=': return 0xBB;
    case '-': return 0xBD;
    case '/': return 0xBF;
    case ',': return 0xBC;
    case '.': return 0xBE;
    default: return 0;
    }
}

uint8_t ToCp1250(uint32_t unicode)
{
    if (unicode < 0x80)
        return static_cast<uint8_t>(unicode);
    auto it = g_toCp1250.find(unicode);
    return it == g_toCp1250.end() ? 0 : it->second;
}

// The character the key types, as Windows gives it: Ctrl with a letter
// types its control code, Ctrl with anything else types nothing.
uint8_t TypedCharacter(int key, int state)
{
    if (state & FL_CTRL)
        return key >= 'a' && key <= 'z' ? static_cast<uint8_t>(key - 'a' + 1) : 0;
    const char* text = Fl::event_text();
    if (!text || !*text)
        return 0;
    int length = 0;
    unsigned code = fl_utf8decode(text, text + Fl::event_length(), &length);
    return ToCp1250(code);
}

bool IsModifierOnly(int key)
{
    return key == FL_Shift_L || key == FL_Shift_R || key == FL_Control_L || key == FL_Control_R ||
           key == FL_Alt_L || key == FL_Alt_R || key == FL_Meta_L || key == FL_Meta_R || key == FL_Caps_Lock;
}

void PostKey(HWND window)
{
    int key = Fl::event_key();
    if (IsModifierOnly(key))
        return;
    int state = Fl::event_state();
    LPARAM modifiers = 0;
    if (state & FL_SHIFT) modifiers |= PLAT_KEY_SHIFT;
    if (state & FL_CTRL) modifiers |= PLAT_KEY_CTRL;
    if (state & FL_ALT) modifiers |= PLAT_KEY_ALT;
    uint32_t vk = VirtualKey(key);
    bool system = (state & FL_ALT) || vk == VK_F10;
    PLAT_PostMessage(window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, PLAT_KeyLParam(TypedCharacter(key, state), modifiers));
}

// Every key pressed in one of our windows becomes a key message of that
// window before any widget sees it: a focused list box would otherwise keep
// Page Up and Page Down from the accelerator table.
int Dispatch(int event, Fl_Window* window)
{
    PlatWindow* ours = window ? dynamic_cast<PlatWindow*>(window) : nullptr;
    if (ours && (event == FL_KEYBOARD || event == FL_SHORTCUT)) {
        PostKey(ours->hwnd_);
        return 1;
    }
    return Fl::handle_(event, window);
}

// --------------------------------------------------------------- widgets

void CloseCallback(Fl_Widget* widget, void*)
{
    PlatWindow* w = static_cast<PlatWindow*>(widget);
    PLAT_PostMessage(w->hwnd_, WM_CLOSE, 0, 0);
}

void MenuCallback(Fl_Widget*, void* data)
{
    uintptr_t packed = reinterpret_cast<uintptr_t>(data);
    PLAT_PostCommand(static_cast<HWND>(packed >> 16), static_cast<uint16_t>(packed & 0xFFFF));
}

void ButtonCallback(Fl_Widget* widget, void* data)
{
    uintptr_t packed = reinterpret_cast<uintptr_t>(data);
    (void)widget;
    PLAT_PostMessage(static_cast<HWND>(packed >> 16), WM_COMMAND, MAKEWPARAM(packed & 0xFFFF, 0), 0);
}

// A menu text for FLTK: '/' and '\' escaped, the key hint after the tab kept
// as plain text.
std::string MenuLabel(const char* cp1250)
{
    std::string text = Utf8(cp1250), out;
    for (char c : text) {
        if (c == '/' || c == '\\')
            out += '\\';
        out += c == '\t' ? ' ' : c;
    }
    return out;
}

// Fills the bars from the table; a top-level popup marked to stand at the
// right end goes to the right bar.
void BuildMenu(Fl_Menu_Bar* left, Fl_Menu_Bar* right, HWND window, const MENU_ENTRY* menu, uint32_t count)
{
    std::vector<std::string> path;
    Fl_Menu_Bar* bar = left;
    int last = -1;
    for (uint32_t i = 0; i < count; ++i) {
        const MENU_ENTRY& e = menu[i];
        std::string prefix;
        for (const std::string& p : path)
            prefix += p + "/";
        switch (e.kind) {
        case MENU_POPUP:
            if (path.empty())
                bar = e.rightJustify && right ? right : left;
            path.push_back(MenuLabel(e.text));
            bar->add((prefix + path.back()).c_str(), 0, nullptr, nullptr, FL_SUBMENU);
            last = -1;
            break;
        case MENU_END:
            if (!path.empty())
                path.pop_back();
            break;
        case MENU_SEPARATOR:
            if (last >= 0)
                bar->mode(last, bar->mode(last) | FL_MENU_DIVIDER);
            break;
        case MENU_ITEM:
            if (e.text)
                last = bar->add((prefix + MenuLabel(e.text)).c_str(), 0, MenuCallback, Pack(window, e.id));
            break;
        }
    }
}

// The width of the titles of the top-level popups that stand at the right.
int RightTitlesWidth(const MENU_ENTRY* menu, uint32_t count)
{
    int width = 0, depth = 0;
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    for (uint32_t i = 0; i < count; ++i) {
        if (menu[i].kind == MENU_POPUP && depth++ == 0 && menu[i].rightJustify) {
            std::string title = Utf8(menu[i].text);
            title.erase(std::remove(title.begin(), title.end(), '&'), title.end());
            width += static_cast<int>(fl_width(title.c_str())) + 2 * MENU_TITLE_PADDING;
        } else if (menu[i].kind == MENU_END) {
            --depth;
        }
    }
    return width;
}

void CreateTopWindow(HWND window, const char* className, const char* title, const MENU_ENTRY* menu,
                     uint32_t menuCount)
{
    PLAT_RECT r{0, 0, 100, 100};
    PLAT_GetWindowRect(window, &r);
    int menuHeight = menu && menuCount ? MENU_HEIGHT : 0;
    PlatWindow* w = new PlatWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top + menuHeight);
    w->copy_label(Utf8(title).c_str());
    w->menuHeight_ = menuHeight;
    w->showsFrames_ = strncmp(className, FRAME_CLASS_PREFIX, strlen(FRAME_CLASS_PREFIX)) == 0;
    w->callback(CloseCallback);
    if (menuHeight) {
        int rightWidth = RightTitlesWidth(menu, menuCount);
        Fl_Menu_Bar* left = new Fl_Menu_Bar(0, 0, w->w() - rightWidth, menuHeight);
        Fl_Menu_Bar* right = rightWidth ? new Fl_Menu_Bar(w->w() - rightWidth, 0, rightWidth, menuHeight) : nullptr;
        BuildMenu(left, right, window, menu, menuCount);
    }
    w->end();
    if (strcmp(className, "#32770") == 0)
        w->set_modal();
    g_widgets[window] = w;
}

Fl_Widget* MakeControl(HWND window, const char* className, const char* title, HWND parent, int x, int y, int w, int h)
{
    uint32_t style = PLAT_GetWindowStyle(window);
    if (strcasecmp(className, "listbox") == 0) {
        Fl_Browser* b = new Fl_Browser(x, y, w, h);
        b->format_char(0);
        return b;
    }
    if (strcasecmp(className, "button") == 0 && (style & 0xF) == BS_GROUPBOX) {
        Fl_Box* box = new Fl_Box(FL_ENGRAVED_FRAME, x, y, w, h, nullptr);
        box->copy_label(Utf8(title).c_str());
        box->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
        box->labelsize(CONTROL_FONT_SIZE);
        box->labelfont(CONTROL_FONT);
        return box;
    }
    if (strcasecmp(className, "button") == 0) {
        Fl_Button* button = new Fl_Button(x, y, w, h);
        button->copy_label(Utf8(title).c_str());
        button->labelsize(12);
        button->callback(ButtonCallback, Pack(parent, static_cast<uint16_t>(PLAT_GetWindowId(window))));
        return button;
    }
    PictureBox* box = new PictureBox(x, y, w, h);
    box->copy_label(Utf8(title).c_str());
    box->labelsize(CONTROL_FONT_SIZE);
    box->labelfont(CONTROL_FONT);
    box->box(style & SS_SUNKEN ? FL_DOWN_BOX : FL_NO_BOX);
    box->align(FL_ALIGN_INSIDE | FL_ALIGN_CLIP | ((style & SS_RIGHT) ? FL_ALIGN_RIGHT : FL_ALIGN_LEFT));
    return box;
}

void WindowCreated(HWND window, const char* className, const char* title, HWND parent, const MENU_ENTRY* menu,
                   uint32_t menuCount)
{
    if (!parent) {
        CreateTopWindow(window, className, title, menu, menuCount);
        return;
    }
    PlatWindow* top = TopWindow(parent);
    if (!top)
        return;
    PLAT_RECT r{0, 0, 10, 10};
    PLAT_GetWindowRect(window, &r);
    Fl_Widget* widget = MakeControl(window, className, title, parent, r.left, r.top + top->menuHeight_,
                                    r.right - r.left, r.bottom - r.top);
    top->add(widget);
    if (strcasecmp(className, "listbox") == 0)
        top->resizable(widget);
    top->redraw();
    g_widgets[window] = widget;
}

void WindowDestroyed(HWND window)
{
    auto it = g_widgets.find(window);
    if (it == g_widgets.end())
        return;
    Fl_Widget* widget = it->second;
    g_widgets.erase(it);
    {
        std::lock_guard<std::mutex> lock(g_frameMutex);
        g_frames.erase(window);
    }
    if (Fl_Group* parent = widget->parent()) {
        parent->remove(widget);
        parent->redraw();
    } else {
        widget->hide();
    }
    Fl::delete_widget(widget);
}

void WindowShown(HWND window, int showState)
{
    PlatWindow* w = TopWindow(window);
    if (!w)
        return;
    if (showState == SW_HIDE)
        w->hide();
    else
        w->show();
}

void WindowMoved(HWND window)
{
    auto it = g_widgets.find(window);
    if (it == g_widgets.end())
        return;
    PLAT_RECT r;
    PLAT_GetWindowRect(window, &r);
    Fl_Widget* widget = it->second;
    if (PlatWindow* top = dynamic_cast<PlatWindow*>(widget)) {
        top->resize(r.left, r.top, r.right - r.left, r.bottom - r.top + top->menuHeight_);
        return;
    }
    PlatWindow* top = dynamic_cast<PlatWindow*>(widget->window());
    int offset = top ? top->menuHeight_ : 0;
    widget->resize(r.left, r.top + offset, r.right - r.left, r.bottom - r.top);
    if (top)
        top->redraw();
}

void ListBoxAdded(HWND listBox, const char* text, uint32_t replacesLast)
{
    auto it = g_widgets.find(listBox);
    if (it == g_widgets.end())
        return;
    Fl_Browser* b = static_cast<Fl_Browser*>(it->second);
    if (replacesLast && b->size() > 0)
        b->remove(b->size());
    b->add(Utf8(text).c_str());
    // The model drops its first lines beyond its limit; follow it.
    LRESULT count = PLAT_SendMessage(listBox, LB_GETCOUNT, 0, 0);
    while (count >= 0 && b->size() > count)
        b->remove(1);
    b->bottomline(b->size());
}

void Wake()
{
    Fl::awake();
}

void WaitEvents(uint32_t timeoutMs)
{
    Fl::wait(timeoutMs / 1000.0);
}

// Takes in the display's pending input while the GUI thread is busy, at most
// every 20 ms: key and menu handlers only post messages, which the busy work
// then sees waiting.
void PollInput()
{
    static auto last = std::chrono::steady_clock::now();
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(20))
        return;
    last = now;
    Fl::check();
}

int32_t MessageBox(HWND, const char* text, const char* caption, uint32_t type)
{
    std::string title = Utf8(caption);
    fl_message_title(title.c_str());
    if (type & MB_ICONERROR)
        fl_alert("%s", Utf8(text).c_str());
    else
        fl_message("%s", Utf8(text).c_str());
    return IDOK;
}

void ApplyFrame(void* data)
{
    HWND window = static_cast<HWND>(reinterpret_cast<uintptr_t>(data));
    PlatWindow* w = TopWindow(window);
    std::lock_guard<std::mutex> lock(g_frameMutex);
    auto it = g_frames.find(window);
    if (it == g_frames.end())
        return;
    it->second.queued = false;
    if (!w) {
        g_frames.erase(it);   // the window went while its frame was on the way
        return;
    }
    w->frame_.swap(it->second.rgb);
    w->frameWidth_ = it->second.width;
    w->frameHeight_ = it->second.height;
    w->frameStride_ = it->second.stride;
    w->redraw();
}

// Render thread: the frame is copied and shown by the GUI thread; frames that
// come faster than it shows them replace each other.
void ShowFrame(HWND window, const uint8_t* rgb, int32_t width, int32_t height, uint32_t stride)
{
    bool queue;
    {
        std::lock_guard<std::mutex> lock(g_frameMutex);
        PendingFrame& p = g_frames[window];
        p.rgb.assign(rgb, rgb + static_cast<size_t>(stride) * height);
        p.width = width;
        p.height = height;
        p.stride = static_cast<int>(stride);
        queue = !p.queued;
        p.queued = true;
    }
    if (queue)
        Fl::awake(ApplyFrame, reinterpret_cast<void*>(static_cast<uintptr_t>(window)));
}

void ApplyTitle(void* data)
{
    TitleChange* change = static_cast<TitleChange*>(data);
    auto it = g_widgets.find(change->window);
    if (it != g_widgets.end()) {
        // Fl_Window::copy_label, which also names the X window, hides the
        // widget's method rather than overriding it.
        if (Fl_Window* window = it->second->as_window())
            window->copy_label(change->utf8.c_str());
        else
            it->second->copy_label(change->utf8.c_str());
        it->second->redraw();
    }
    delete change;
}

void TitleChanged(HWND window, const char* title)
{
    Fl::awake(ApplyTitle, new TitleChange{window, Utf8(title)});
}

void PictureChanged(HWND control, const uint8_t* rgb, int32_t width, int32_t height)
{
    auto it = g_widgets.find(control);
    PictureBox* box = it == g_widgets.end() ? nullptr : dynamic_cast<PictureBox*>(it->second);
    if (!box)
        return;
    box->rgb_.assign(rgb, rgb + static_cast<size_t>(width) * height * 3);
    box->pictureWidth_ = width;
    box->pictureHeight_ = height;
    box->redraw();
}

const PLAT_BACKEND g_desktop = {
    "desktop",    WindowCreated, WindowDestroyed, WindowShown, WindowMoved, ListBoxAdded, Wake,
    WaitEvents,   PollInput,     MessageBox,      ShowFrame,    TitleChanged, PictureChanged,
};

}

const PLAT_BACKEND* PLAT_DesktopBackend()
{
    static bool opened = false;
    if (opened)
        return &g_desktop;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        // Standard error takes UTF-8; the program's texts are code page 1250.
        std::string text = std::string("Displej \"") + (getenv("DISPLAY") ? getenv("DISPLAY") : "") +
                           "\" nelze otevřít, program běží bez oken.";
        fprintf(stderr, "%s\n", PLAT_Cp1250ToUtf8(text.c_str()).c_str());
        return nullptr;
    }
    // The probe stays open until FLTK has its own connection: an X server
    // whose last client leaves resets and refuses connections meanwhile.
    fl_open_display();
    XCloseDisplay(display);
    Fl::visual(FL_RGB);
    Fl::set_font(CONTROL_FONT, "Liberation Sans");
    // Lets the render and time threads post with Fl::awake.
    Fl::lock();
    Fl::event_dispatch(Dispatch);
    for (uint32_t b = 0x80; b < 0x100; ++b)
        if (uint32_t u = PLAT_Cp1250ToUnicode(static_cast<uint8_t>(b)))
            g_toCp1250[u] = static_cast<uint8_t>(b);
    opened = true;
    return &g_desktop;
}
