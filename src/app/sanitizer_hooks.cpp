// Sanitizer builds read these hooks at start-up. They leave out what system libraries
// do that this program cannot change: fontconfig keeps its configuration for the life
// of the process once Qt has loaded fonts, and Qt's own thread pools (painting of
// large images, the offscreen platform) are not built with ThreadSanitizer. Linked
// into the programs and the GUI tests only; other builds never call them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core\nrace:libQt6Gui\nrace:libQt6Widgets\ncalled_from_lib:libQt6Gui\n";
}
