// Helpers for the XScreenSaver and Wayland tests.
//
//     kaleon_screen_probe
// prints what each screen of the X display shows, one line a screen:
//     SCREEN n WIDTHxHEIGHT COLOURS c1:share c2:share ...
// the colours (RRGGBB) that cover at least 1% of the screen, the most common first.
//
//     kaleon_screen_probe --png FILE...
// prints the same of each PNG file (a screenshot of an output), numbered from 0.
//
//     kaleon_screen_probe --reap LOG COMMAND...
// runs COMMAND and adopts every process below it that its parent leaves behind, writing how
// each adopted process ended to LOG: "NAME signal N" or "NAME status N".

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cairo.h>
#include <csignal>
#include <cstdint>
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

// Prints the screen's line from a way to read its pixels (0xRRGGBB).
template<class PixelAt>
void printColours(int screen, int width, int height, PixelAt pixelAt)
{
    std::map<unsigned long, long> counts;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            ++counts[pixelAt(x, y) & 0xffffff];
    }
    std::vector<std::pair<long, unsigned long>> common;
    const long total = static_cast<long>(width) * height;
    for (const auto& [colour, count] : counts) {
        if (count * 100 >= total)
            common.emplace_back(count, colour);
    }
    std::sort(common.rbegin(), common.rend());
    std::printf("SCREEN %d %dx%d COLOURS", screen, width, height);
    for (const auto& [count, colour] : common)
        std::printf(" %06lX:%.2f", colour, static_cast<double>(count) / static_cast<double>(total));
    std::printf("\n");
}

int probePNGs(int count, char** paths)
{
    for (int index = 0; index < count; ++index) {
        cairo_surface_t* surface = cairo_image_surface_create_from_png(paths[index]);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "screen_probe: cannot read %s\n", paths[index]);
            cairo_surface_destroy(surface);
            return 1;
        }
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        printColours(
            index, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface), [&](int x, int y) {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
                return static_cast<unsigned long>(pixel);
            });
        cairo_surface_destroy(surface);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--reap") == 0)
        return reap(argv[2], argv + 3);
    if (argc >= 3 && std::strcmp(argv[1], "--png") == 0)
        return probePNGs(argc - 2, argv + 2);
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
        printColours(screen, attributes.width, attributes.height, [&](int x, int y) { return XGetPixel(image, x, y); });
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return 0;
}
