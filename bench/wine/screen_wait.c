/* Waits for a program's window, and then for its first headline, on the display, and
 * prints the times they were first seen (CLOCK_REALTIME in nanoseconds, as
 * `date +%s%N` gives it), one a line.
 *   screen_wait WIDTH HEIGHT TIMEOUT_MS [headline]
 * Every 2 ms it lists the top-level windows: the window is seen when one of WIDTH x
 * HEIGHT is viewable (mapped, as xdotool's --onlyvisible has it). With "headline" it
 * then reads the screen's pixels where that window is (what the display shows, not
 * the window's own store) until a headline shows: white text on the strip's dark
 * background, a pixel with red, green and blue all at 240 or more, right of the
 * channel label (the columns from the left edge that hold the label's red). Exit
 * status 1 when either does not come within TIMEOUT_MS of the start. Built by
 * bench/wine/startup.sh with the system's cc. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static int is_label(unsigned long p)
{
    const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
    return r > 150 && g < 80 && b < 100;
}

static int is_white(unsigned long p)
{
    return ((p >> 16) & 0xff) >= 240 && ((p >> 8) & 0xff) >= 240 && (p & 0xff) >= 240;
}

/* True when the strip at (x, y) shows a headline's pixel right of its label. */
static int shows_headline(Display* d, Window root, int x, int y, int w, int h)
{
    XImage* image = XGetImage(d, root, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    int label_end = 0; /* the first column right of the label */
    for (int col = 0; col < w; ++col)
    {
        int red = 0;
        for (int row = 0; row < h && !red; ++row)
            red = is_label(XGetPixel(image, col, row));
        if (!red)
            break;
        label_end = col + 1;
    }
    int found = 0;
    for (int col = label_end; col < w && !found; ++col)
        for (int row = 0; row < h && !found; ++row)
            found = is_white(XGetPixel(image, col, row));
    XDestroyImage(image);
    return found;
}

/* A window may go between the listing and the look at it: that is not an error here. */
static int ignore_errors(Display* d, XErrorEvent* e)
{
    (void)d;
    (void)e;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5 || (argc == 5 && strcmp(argv[4], "headline") != 0))
    {
        fprintf(stderr, "usage: screen_wait WIDTH HEIGHT TIMEOUT_MS [headline]\n");
        return 2;
    }
    const int want_w = atoi(argv[1]), want_h = atoi(argv[2]);
    const int headline = argc == 5;
    const long long until = now_ns() + atoll(argv[3]) * 1000000LL;
    Display* d = XOpenDisplay(NULL);
    if (!d)
    {
        fprintf(stderr, "screen_wait: no display\n");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    const Window root = DefaultRootWindow(d);
    const struct timespec pause = { 0, 2000000 };
    int window_seen = 0;
    while (now_ns() < until)
    {
        Window root_back, parent, *children = NULL;
        unsigned count = 0;
        int seen = 0;
        if (XQueryTree(d, root, &root_back, &parent, &children, &count))
        {
            for (unsigned i = 0; i < count && !seen; ++i)
            {
                XWindowAttributes a;
                if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable || a.width != want_w ||
                    a.height != want_h)
                    continue;
                if (!window_seen)
                {
                    printf("%lld\n", now_ns());
                    fflush(stdout);
                    window_seen = 1;
                    if (!headline)
                        break;
                }
                seen = shows_headline(d, root, a.x, a.y, a.width, a.height);
            }
            if (children)
                XFree(children);
        }
        if (window_seen && (!headline || seen))
        {
            if (headline)
                printf("%lld\n", now_ns());
            XCloseDisplay(d);
            return 0;
        }
        nanosleep(&pause, NULL);
    }
    XCloseDisplay(d);
    return 1;
}
