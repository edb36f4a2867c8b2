/* Presses keys and moves the pointer through KWin's own input (org_kde_kwin_fake_input), as a
 * keyboard would: what the compositor's shortcuts see. KWin grants the interface to a program
 * whose desktop entry (Exec= this binary) asks for it in X-KDE-Wayland-Interfaces.
 * usage: kinput CMD...   CMD: key:<Linux key codes joined by +>  abs:X,Y  click  rclick
 *                         down  up (the left button alone, for a drag)  sleep:MS
 * Prints "pressed <wall-clock ms>" for each combination: when its last key went down, for timing. */
#include <wayland-client.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include "fake-input.h"

static struct org_kde_kwin_fake_input *fi;

static void reg(void *d, struct wl_registry *r, uint32_t name, const char *iface, uint32_t ver) {
  (void)d;
  if (!strcmp(iface, "org_kde_kwin_fake_input"))
    fi = wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, ver < 4 ? ver : 4);
}
static void rem(void *d, struct wl_registry *r, uint32_t n) { (void)d; (void)r; (void)n; }
static const struct wl_registry_listener rl = {reg, rem};

int main(int argc, char **argv) {
  struct wl_display *dpy = wl_display_connect(NULL);
  if (!dpy) { fprintf(stderr, "kinput: no Wayland display\n"); return 1; }
  struct wl_registry *r = wl_display_get_registry(dpy);
  wl_registry_add_listener(r, &rl, NULL);
  wl_display_roundtrip(dpy);
  if (!fi) { fprintf(stderr, "kinput: org_kde_kwin_fake_input not offered\n"); return 1; }
  org_kde_kwin_fake_input_authenticate(fi, "vyrn-test", "test input");
  for (int i = 1; i < argc; i++) {
    if (!strncmp(argv[i], "key:", 4)) {
      int codes[8], n = 0;
      char *s = strdup(argv[i] + 4);
      for (char *t = strtok(s, "+"); t && n < 8; t = strtok(NULL, "+")) codes[n++] = atoi(t);
      free(s);
      /* The last key's press is the combination's moment: stamped just before it is sent. */
      for (int k = 0; k + 1 < n; k++) org_kde_kwin_fake_input_keyboard_key(fi, codes[k], 1);
      wl_display_roundtrip(dpy);
      struct timespec now;
      clock_gettime(CLOCK_REALTIME, &now);
      if (n > 0) org_kde_kwin_fake_input_keyboard_key(fi, codes[n - 1], 1);
      wl_display_roundtrip(dpy);
      printf("pressed %lld\n", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
      fflush(stdout);
      for (int k = n - 1; k >= 0; k--) org_kde_kwin_fake_input_keyboard_key(fi, codes[k], 0);
    } else if (!strncmp(argv[i], "abs:", 4)) {
      double x, y;
      if (sscanf(argv[i] + 4, "%lf,%lf", &x, &y) == 2)
        org_kde_kwin_fake_input_pointer_motion_absolute(fi, wl_fixed_from_double(x), wl_fixed_from_double(y));
    } else if (!strcmp(argv[i], "click")) {
      org_kde_kwin_fake_input_button(fi, 0x110, 1);
      org_kde_kwin_fake_input_button(fi, 0x110, 0);
    } else if (!strcmp(argv[i], "rclick")) {
      org_kde_kwin_fake_input_button(fi, 0x111, 1);
      org_kde_kwin_fake_input_button(fi, 0x111, 0);
    } else if (!strcmp(argv[i], "down") || !strcmp(argv[i], "up")) {
      org_kde_kwin_fake_input_button(fi, 0x110, !strcmp(argv[i], "down"));
    } else if (!strncmp(argv[i], "sleep:", 6)) {
      wl_display_roundtrip(dpy);
      usleep(atoi(argv[i] + 6) * 1000);
    }
    wl_display_roundtrip(dpy);
  }
  wl_display_roundtrip(dpy);
  return 0;
}
