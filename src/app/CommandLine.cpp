#include "app/CommandLine.h"

#include <charconv>

namespace kavelin {

namespace {

CommandLine invalid(std::string why) {
    CommandLine c;
    c.mode = CommandLine::Mode::Invalid;
    c.error = std::move(why);
    return c;
}

bool parsePort(const std::string& text, int& port) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

CommandLine parseRender(const std::vector<std::string>& args) {
    CommandLine c;
    c.mode = CommandLine::Mode::Render;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--png" || a == "--raw") {
            if (i + 1 >= args.size())
                return invalid(a + " needs a value");
            (a == "--png" ? c.pngDir : c.rawFile) = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return invalid("unknown option for render: " + a);
        } else if (c.script.empty()) {
            c.script = a;
        } else {
            return invalid("render takes one script, got another: " + a);
        }
    }
    if (c.script.empty())
        return invalid("render needs a script (a file, or - for standard input)");
    return c;
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "render")
        return parseRender(args);
    if (!args.empty() && args[0] == "mkfont") {
        CommandLine c;
        c.mode = Mode::MakeFont;
        c.makeFontArgs.assign(args.begin() + 1, args.end());
        return c;
    }
    CommandLine c;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            c.mode = Mode::Help;
            return c;
        }
        if (a == "--version") {
            c.mode = Mode::Version;
            return c;
        }
        if (a == "--headless") {
            c.headless = true;
        } else if (a == "--port") {
            if (i + 1 >= args.size() || !parsePort(args[i + 1], c.port))
                return invalid("--port needs a number from 1 to 65535");
            ++i;
        } else if (a == "--listen") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return invalid("--listen needs an IPv4 address");
            c.listenAddress = args[++i];
        } else {
            return invalid("unknown argument: " + a);
        }
    }
    return c;
}

const char* usageText() {
    return "Usage:\n"
           "  kavelin [--headless] [--port N] [--listen ADDRESS]\n"
           "  kavelin render [--png DIR] [--raw FILE] SCRIPT   (SCRIPT may be - for standard "
           "input)\n"
           "  kavelin mkfont [--face NAME] [--size PX] [--colour RRGGBB]\n"
           "                 [--effect none|shadow|outline] OUTPUT.tga\n"
           "  kavelin --help | --version\n"
           "\n"
           "Kavelin composes layered broadcast graphics into a 720 x 576 picture, 25 frames a\n"
           "second, driven by command lines over TCP (port 2031 unless --port is given).\n"
           "\n"
           "  --headless        no windows: log lines go to standard output\n"
           "  --port N          TCP port to listen on (default 2031)\n"
           "  --listen ADDRESS  IPv4 address to listen on (default 0.0.0.0)\n"
           "  render            run a script of command lines offline and write its frames\n"
           "    --png DIR       write each frame as DIR/frame00000.png, frame00001.png, ...\n"
           "    --raw FILE      append each frame's 720 x 576 x 4 bytes (B, G, R, A) to FILE\n"
           "  mkfont            make a sprite font (glyph sheet, spacing file, effect sheet)\n"
           "                    from an installed face\n";
}

} // namespace kavelin
