// Under the leak checker: fontconfig (through Qt's fonts) and D-Bus (through Qt's platform
// integration) keep a few allocations until the process ends, by design of those libraries.
// They are not ours and would fail every test that starts the GUI.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
