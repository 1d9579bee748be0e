// Two helpers for the XScreenSaver test.
//
//     kaleon_screen_probe
// prints what each screen of the X display shows, one line a screen:
//     SCREEN n WIDTHxHEIGHT COLOURS c1:share c2:share ...
// the colours (RRGGBB) that cover at least 1% of the screen, the most common first.
//
//     kaleon_screen_probe --reap LOG COMMAND...
// runs COMMAND and adopts every process below it that its parent leaves behind, writing how
// each adopted process ended to LOG: "NAME signal N" or "NAME status N".

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int reap(const char* logPath, char** command)
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(command[0], command);
        ::_exit(127);
    }
    std::ofstream log(logPath);
    int commandStatus = 0;
    for (;;) {
        siginfo_t info {};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOWAIT) != 0)
            break;
        std::string name;
        std::ifstream(std::string("/proc/") + std::to_string(info.si_pid) + "/comm") >> name;
        int status = 0;
        ::waitpid(info.si_pid, &status, 0);
        if (info.si_pid == child) {
            commandStatus = status;
            log << "command " << (WIFSIGNALED(status) ? "signal " : "status ")
                << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status)) << std::endl;
            continue;
        }
        if (WIFSIGNALED(status))
            log << name << " signal " << WTERMSIG(status) << std::endl;
        else
            log << name << " status " << WEXITSTATUS(status) << std::endl;
    }
    return WIFEXITED(commandStatus) ? WEXITSTATUS(commandStatus) : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--reap") == 0)
        return reap(argv[2], argv + 3);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "screen_probe: cannot open the display\n");
        return 1;
    }
    for (int screen = 0; screen < ScreenCount(display); ++screen) {
        const Window root = RootWindow(display, screen);
        XWindowAttributes attributes {};
        XGetWindowAttributes(display, root, &attributes);
        XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (!image)
            return 1;
        std::map<unsigned long, long> counts;
        for (int y = 0; y < attributes.height; ++y) {
            for (int x = 0; x < attributes.width; ++x)
                ++counts[XGetPixel(image, x, y) & 0xffffff];
        }
        XDestroyImage(image);
        std::vector<std::pair<long, unsigned long>> common;
        const long total = static_cast<long>(attributes.width) * attributes.height;
        for (const auto& [colour, count] : counts) {
            if (count * 100 >= total)
                common.emplace_back(count, colour);
        }
        std::sort(common.rbegin(), common.rend());
        std::printf("SCREEN %d %dx%d COLOURS", screen, attributes.width, attributes.height);
        for (const auto& [count, colour] : common)
            std::printf(" %06lX:%.2f", colour, static_cast<double>(count) / static_cast<double>(total));
        std::printf("\n");
    }
    XCloseDisplay(display);
    return 0;
}
