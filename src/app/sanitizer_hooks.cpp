// SPDX-License-Identifier: GPL-3.0-or-later
// Sanitizer builds read these hooks at start-up. They leave out what system libraries
// do that this program cannot change: fontconfig keeps its configuration for the life
// of the process once Qt has loaded fonts, and Qt's own thread pools (painting of
// large images, the offscreen platform), its X11 and D-Bus threads and GLib's event
// loop are not built with ThreadSanitizer. Child programs are started by fork and
// exec at once, which is safe with threads running. The web server's workers format
// their date headers with gmtime, whose static buffer they share. Linked into the
// programs and the GUI and web-view tests only; other builds never call them.
// Leaks inside fontconfig and D-Bus (the xcb platform's accessibility and theme
// connections) are theirs, freed at exit or never.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libdbus-1\n"; }
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core\nrace:libQt6Gui\nrace:libQt6Widgets\nrace:libQt6XcbQpa\nrace:libQt6DBus\n"
         "race:libglib-2.0\nrace:libxcb\ncalled_from_lib:libQt6Gui\nrace:^gmtime$\n";
}
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
