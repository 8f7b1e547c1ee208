// Under the leak checker: fontconfig (through Qt's fonts) and D-Bus (through Qt's platform
// integration) keep a few allocations until the process ends, by design of those libraries. So
// do the libraries under the media outputs: GLib replaces its quark table as GStreamer's types
// register their names and keeps the old blocks for lock-free lookups, and GStreamer's libav
// encoders copy a string option of FFmpeg's when configured and never free it. GLib and FFmpeg
// are built without frame pointers, so such a leak's stack ends in their allocators. They are
// not ours and would fail every test that starts the GUI or a media output.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libglib-2.0.so\n"
           "leak:av_strdup\n";
}
