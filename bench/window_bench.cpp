// How long the window keeps the user waiting on a full folder: drives the real main window (the
// window tests' driver) on an image whose folder holds 1,000 entries and times, from the user's
// action until the window has painted its result, entering the folder with Enter, the refresh after
// deleting one file, and a resize by 20 pixels. Run by scripts/bench-window.sh.
// usage: tolven_window_bench IMAGE FOLDER-AS-LISTED [ROUNDS]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Paints everything the action left invalid, so that the time covers what the user sees.
void paintNow(UiSession& session) {
    session.onUiThread(
        [&] { RedrawWindow(session.window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); });
}

int indexOf(HWND list, const std::string& name) {
    std::vector<std::string> names = listNames(list);
    auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

struct Figures {
    std::vector<double> enter, refresh, resize;
};

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-32s best %.3f s, median %.3f s, worst %.3f s\n", what, times.front(),
                times[(times.size() - 1) / 2], times.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolven_window_bench IMAGE FOLDER-AS-LISTED [ROUNDS]\n");
        return 2;
    }
    const std::string image = argv[1], folder = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    INITCOMMONCONTROLSEX classes = {8, ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&classes);

    UiSession session;
    if (!session.start()) {
        std::fprintf(stderr, "the main window never appeared\n");
        return 1;
    }
    HWND list = session.control(IDC_FILE_LIST);
    Figures figures;
    for (int round = 0; round < rounds; ++round) {
        if (session.openImage(image) != kResultOk) {
            std::fprintf(stderr, "could not open %s\n", image.c_str());
            return 1;
        }
        paintNow(session);
        int at = indexOf(list, folder);
        if (at < 0) {
            std::fprintf(stderr, "no item %s in the root\n", folder.c_str());
            return 1;
        }
        session.selectListItem(at);

        double start = now();
        postKey(list, VK_RETURN);
        session.flushPosted();
        paintNow(session);
        figures.enter.push_back(now() - start);
        int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        if (count < 2) {
            std::fprintf(stderr, "Enter did not open %s\n", folder.c_str());
            return 1;
        }

        session.selectListItem(count / 2);
        start = now();
        session.onUiThread([&] { session.editor().deleteSelectedEntries(); });
        paintNow(session);
        figures.refresh.push_back(now() - start);
        if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != count - 1) {
            std::fprintf(stderr, "the delete did not remove one item\n");
            return 1;
        }

        RECT outer;
        GetWindowRect(session.window(), &outer);
        int grow = round % 2 == 0 ? 20 : -20;
        start = now();
        session.onUiThread([&] {
            SetWindowPos(session.window(), nullptr, 0, 0, outer.right - outer.left + grow,
                         outer.bottom - outer.top, SWP_NOZORDER | SWP_NOMOVE);
        });
        paintNow(session);
        figures.resize.push_back(now() - start);
        std::printf(
            "round %d: enter %.3f s, refresh after delete %.3f s, resize %.3f s (%d items)\n",
            round + 1, figures.enter.back(), figures.refresh.back(), figures.resize.back(), count);
        std::fflush(stdout);
    }
    report("entering the folder:", figures.enter);
    report("refreshing after a delete:", figures.refresh);
    report("resizing by 20 pixels:", figures.resize);
    return 0;
}
