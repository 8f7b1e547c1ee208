#pragma once

#include "app/Application.h"
#include "app/CommandLine.h"

#include <functional>

namespace kavelin {

class ControlDialog;
class LogChannel;

// The exit code when Qt cannot start on the display after all (a platform plugin that is
// missing or fails); one line on standard error names the display and the reason.
inline constexpr int kExitDisplayUnusable = 3;

// The program with its windows: checks the colour depth, then runs the control dialog and the
// output window until the dialog is closed (or SIGINT or SIGTERM arrives, which closes it).
// Exit code 0 when the colour depth is refused, 1 after a normal run, kExitDisplayUnusable
// when Qt does not start; a failed start-up (a taken port) ends it as headless, with the same
// line on standard error and exit code, once its message box is closed.
int runGui(const CommandLine& commandLine, int argc, char** argv);

// The same inside a running QApplication, with the given settings and log. `opened` is called
// with the dialog before it runs. Returns the exit code.
int runControlSession(const Application::Settings& settings, LogChannel& log,
                      const std::function<void(ControlDialog&)>& opened = {});

// True for a desktop whose pixels carry at least 24 bits of colour.
inline bool colourDepthSupported(int depth) {
    return depth >= 24;
}

} // namespace kavelin
