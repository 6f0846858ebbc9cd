// List box models, one per list box window.
#include "platform/plat_listbox.h"
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "platform/plat_backend.h"

namespace {

struct ListBox {
    std::vector<std::string> lines;
    int32_t selected = -1;
    uint32_t redraw = 1;
    bool lastDeleted = false;   // the last operation removed the last line
};

std::mutex g_mutex;
std::map<HWND, ListBox> g_lists;

bool ValidIndex(const ListBox& lb, WPARAM index)
{
    return index < lb.lines.size();
}

LRESULT Handle(ListBox& lb, uint32_t message, WPARAM wParam, LPARAM lParam, std::string* added, bool* replacesLast)
{
    bool lastDeleted = lb.lastDeleted;
    lb.lastDeleted = false;
    switch (message) {
    case LB_ADDSTRING:
        lb.lines.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
        *added = lb.lines.back();
        *replacesLast = lastDeleted;
        return static_cast<LRESULT>(lb.lines.size() - 1);
    case LB_DELETESTRING:
        if (!ValidIndex(lb, wParam))
            return LB_ERR;
        lb.lastDeleted = wParam + 1 == lb.lines.size();
        lb.lines.erase(lb.lines.begin() + static_cast<ptrdiff_t>(wParam));
        if (lb.selected >= static_cast<int32_t>(lb.lines.size()))
            lb.selected = -1;
        return static_cast<LRESULT>(lb.lines.size());
    case LB_RESETCONTENT:
        lb.lines.clear();
        lb.selected = -1;
        return 0;
    case LB_GETCOUNT:
        return static_cast<LRESULT>(lb.lines.size());
    case LB_GETTEXTLEN:
        return ValidIndex(lb, wParam) ? static_cast<LRESULT>(lb.lines[wParam].size()) : LB_ERR;
    case LB_GETTEXT:
        if (!ValidIndex(lb, wParam) || !lParam)
            return LB_ERR;
        memcpy(reinterpret_cast<char*>(lParam), lb.lines[wParam].c_str(), lb.lines[wParam].size() + 1);
        return static_cast<LRESULT>(lb.lines[wParam].size());
    case LB_SETCURSEL:
        if (!ValidIndex(lb, wParam)) {
            lb.selected = -1;
            return LB_ERR;
        }
        lb.selected = static_cast<int32_t>(wParam);
        return lb.selected;
    case LB_GETCURSEL:
        return lb.selected;
    case WM_SETREDRAW:
        lb.redraw = wParam ? 1 : 0;
        return 0;
    default:
        return 0;
    }
}

}

LRESULT PLAT_ListBoxProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    std::string added;
    bool replacesLast = false;
    LRESULT result;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_lists.find(window);
        if (it == g_lists.end())
            return message == LB_GETCOUNT ? 0 : LB_ERR;
        result = Handle(it->second, message, wParam, lParam, &added, &replacesLast);
    }
    if (message == LB_ADDSTRING)
        PLAT_GetBackend()->listBoxAdded(window, added.c_str(), replacesLast);
    return result;
}

void PLAT_ListBoxAttach(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lists[window] = ListBox{};
}

void PLAT_ListBoxDetach(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lists.erase(window);
}
