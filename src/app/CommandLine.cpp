#include "app/CommandLine.h"

#include "app/ConfigFile.h"
#include "app/OutputMaker.h"

#include "base/MediaFolder.h"
#include "base/MemoryBudget.h"
#include "net/TcpServer.h"
#include "outputs/media/MediaPlan.h"

#include <arpa/inet.h>
#include <charconv>

namespace kavelin {

namespace {

CommandLine invalid(std::string why) {
    CommandLine c;
    c.mode = CommandLine::Mode::Invalid;
    c.error = std::move(why);
    return c;
}

} // namespace

bool parsePort(const std::string& text, int& port) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

bool parseSeconds(const std::string& text, double& seconds) {
    bool digit = false, point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    double value = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (!digit || ec != std::errc() || end != text.data() + text.size() || !(value > 0))
        return false;
    seconds = value;
    return true;
}

namespace {

// --format NAME for the server and for render; an empty error when it is not this option.
bool takeFormat(const std::vector<std::string>& args, size_t& i, CommandLine& c,
                std::string& error) {
    if (args[i] != "--format")
        return false;
    if (i + 1 >= args.size()) {
        error = "--format needs a value: " + std::string(formatChoices());
        return true;
    }
    Result<Format> format = parseFormat(args[++i]);
    if (!format)
        error = format.reason();
    else
        c.format = *format;
    return true;
}

// --key composed|clean for the server and for render; false when it is not this option.
bool takeKey(const std::vector<std::string>& args, size_t& i, CommandLine& c, std::string& error) {
    if (args[i] != "--key")
        return false;
    const std::string value = i + 1 < args.size() ? args[i + 1] : "";
    if (value == "composed")
        c.key = KeyMode::Composed;
    else if (value == "clean")
        c.key = KeyMode::Clean;
    else
        error = "--key needs composed or clean";
    ++i;
    return true;
}

// --memory-limit SIZE for the server and for render; false when it is not this option.
bool takeMemoryLimit(const std::vector<std::string>& args, size_t& i, CommandLine& c,
                     std::string& error) {
    if (args[i] != "--memory-limit")
        return false;
    const std::optional<uint64_t> size =
        i + 1 < args.size() ? parseMemorySize(args[i + 1]) : std::nullopt;
    if (!size)
        error = "--memory-limit needs a size above 0: bytes, or a number with K, M, G or T "
                "(512M, 4G)";
    else
        c.memoryLimit = *size;
    ++i;
    return true;
}

// `option` N with N from 1 to `most` into `value`; false when it is not this option.
bool takeCount(const std::vector<std::string>& args, size_t& i, const char* option, int most,
               int& value, std::string& error) {
    if (args[i] != option)
        return false;
    const std::string text = i + 1 < args.size() ? args[++i] : "";
    int number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || number < 1 || number > most)
        error = std::string(option) + " needs a number from 1 to " + std::to_string(most);
    else
        value = number;
    return true;
}

// --clients N: controllers served at once.
bool takeClients(const std::vector<std::string>& args, size_t& i, CommandLine& c,
                 std::string& error) {
    return takeCount(args, i, "--clients", TcpServer::kMaxClients, c.clients, error);
}

// --threads N for the server and for render: threads that compose a frame.
bool takeThreads(const std::vector<std::string>& args, size_t& i, CommandLine& c,
                 std::string& error) {
    return takeCount(args, i, "--threads", CommandLine::kMaxThreads, c.threads, error);
}

// --metrics [ADDRESS:]PORT; false when it is not this option.
bool takeMetrics(const std::vector<std::string>& args, size_t& i, CommandLine& c,
                 std::string& error) {
    if (args[i] != "--metrics")
        return false;
    const std::string value = i + 1 < args.size() ? args[++i] : "";
    const size_t colon = value.rfind(':');
    const std::string address = colon == std::string::npos ? "127.0.0.1" : value.substr(0, colon);
    in_addr parsed{};
    if (!parsePort(value.substr(colon == std::string::npos ? 0 : colon + 1), c.metricsPort) ||
        ::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        error = "--metrics needs [ADDRESS:]PORT, such as 9100 or 0.0.0.0:9100 (an IPv4 address, "
                "a port from 1 to 65535)";
    else
        c.metricsAddress = address;
    return true;
}

CommandLine parseRender(const std::vector<std::string>& args) {
    CommandLine c;
    c.mode = CommandLine::Mode::Render;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (takeFormat(args, i, c, error) || takeMemoryLimit(args, i, c, error) ||
            takeKey(args, i, c, error) || takeThreads(args, i, c, error)) {
            if (!error.empty())
                return invalid(error);
        } else if (a == "--png" || a == "--raw") {
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
    if (!args.empty() && args[0] == "send") {
        CommandLine c;
        c.mode = Mode::Send;
        c.sendArgs.assign(args.begin() + 1, args.end());
        return c;
    }
    if (!args.empty() && args[0] == "mkfont") {
        CommandLine c;
        c.mode = Mode::MakeFont;
        c.makeFontArgs.assign(args.begin() + 1, args.end());
        return c;
    }
    if (std::optional<CommandLine> configured = parseWithConfigFile(args))
        return *configured;
    CommandLine c;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (a == "--help" || a == "-h") {
            c.mode = Mode::Help;
            return c;
        }
        if (a == "--version") {
            c.mode = Mode::Version;
            return c;
        }
        if (a == "--commands") {
            c.mode = Mode::Commands;
            return c;
        }
        if (takeFormat(args, i, c, error) || takeMemoryLimit(args, i, c, error) ||
            takeKey(args, i, c, error) || takeClients(args, i, c, error) ||
            takeMetrics(args, i, c, error) || takeThreads(args, i, c, error)) {
            if (!error.empty())
                return invalid(error);
        } else if (a == "--log-format") {
            const std::string value = i + 1 < args.size() ? args[++i] : "";
            if (value != "plain" && value != "timestamped")
                return invalid("--log-format needs plain or timestamped");
            c.timestampedLog = value == "timestamped";
        } else if (a == "--headless") {
            c.headless = true;
        } else if (a == "--port") {
            if (i + 1 >= args.size() || !parsePort(args[i + 1], c.port))
                return invalid("--port needs a number from 1 to 65535");
            ++i;
        } else if (a == "--listen") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return invalid("--listen needs an IPv4 address");
            c.listenAddress = args[++i];
        } else if (a == "--media") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return invalid("--media needs a folder");
            Result<MediaFolder> folder = MediaFolder::open(args[++i]);
            if (!folder)
                return invalid("--media " + folder.reason());
            c.media = std::make_shared<const MediaFolder>(std::move(*folder));
        } else if (a == "--line-timeout" || a == "--idle-timeout") {
            if (i + 1 >= args.size() ||
                !parseSeconds(args[i + 1], a == "--line-timeout" ? c.lineTimeout : c.idleTimeout))
                return invalid(a + " needs a number of seconds above 0, such as 10 or 0.5");
            ++i;
        } else if (a == "--output") {
            if (i + 1 >= args.size() || !isOutputForm(args[i + 1]))
                return invalid("--output needs one of: " + std::string(outputForms()));
            c.outputs.push_back(args[++i]);
        } else {
            return invalid("unknown argument: " + a);
        }
    }
    for (const std::string& output : c.outputs) {
        if (c.headless && output == "window")
            return invalid("--output window needs the windows (leave out --headless)");
        // Options are checked against the format, which may come after the output.
        if (isMediaOutput(output))
            if (Result<MediaPlan> plan = planMediaOutput(output, c.format); !plan)
                return invalid("--output " + output + ": " + plan.reason());
    }
    return c;
}

const char* usageText() {
    return "Usage:\n"
           "  kavelin [--headless] [--port N] [--listen ADDRESS] [--line-timeout S]\n"
           "          [--idle-timeout S] [--format NAME] [--output TARGET]...\n"
           "          [--key composed|clean] [--media DIR] [--memory-limit SIZE]\n"
           "          [--log-format plain|timestamped] [--clients N]\n"
           "          [--metrics [ADDRESS:]PORT] [--threads N] [--config FILE]\n"
           "  kavelin render [--format NAME] [--key composed|clean] [--memory-limit SIZE]\n"
           "                 [--threads N] [--png DIR] [--raw FILE] SCRIPT\n"
           "                 (SCRIPT may be - for standard input)\n"
           "  kavelin mkfont [--face NAME] [--size PX] [--colour RRGGBB]\n"
           "                 [--effect none|shadow|outline] OUTPUT.tga\n"
           "  kavelin send [--host HOST] [--port N] [--timeout S] [FILE|-]\n"
           "  kavelin --commands | --help | --version\n"
           "\n"
           "Kavelin composes layered broadcast graphics, driven by command lines over TCP (port\n"
           "2031 unless --port is given), into a picture of the format's size and rate (720 x 576\n"
           "at 25 frames a second unless --format is given).\n"
           "\n"
           "  --headless        no windows: log lines go to standard output\n"
           "  --port N          TCP port to listen on (default 2031)\n"
           "  --listen ADDRESS  IPv4 address to listen on (default 0.0.0.0)\n"
           "  --line-timeout S  disconnect a client that leaves a line unfinished for S seconds\n"
           "                    (default 10; fractions allowed), so the next client is served\n"
           "  --idle-timeout S  disconnect a client that sends nothing for S seconds (default:\n"
           "                    never)\n"
           "  --clients N       serve up to N controllers at once, 1 to 64 (default 1); their\n"
           "                    lines are executed one at a time, in the order they arrive\n"
           "  --metrics [ADDRESS:]PORT\n"
           "                    serve /metrics (Prometheus text) and /health over HTTP on PORT\n"
           "                    (ADDRESS 127.0.0.1 unless given; default: no metrics)\n"
           "  --format NAME     pal (default), 720p50, 720p5994, 1080i50, 1080i5994, 1080p25,\n"
           "                    1080p2997, 1080p50, 1080p5994, 2160p25, 2160p50, or WxH@RATE[i]\n"
           "                    with RATE N or N/D frames a second (1920x1080@30000/1001)\n"
           "  --output TARGET   where the frames go, repeatable: window (the default with\n"
           "                    windows), raw:PATH (every frame's bytes, B G R A, to a file, "
           "which\n"
           "                    is replaced, or to a FIFO), PATH.mkv (FFV1 with alpha), PATH.mov\n"
           "                    (ProRes 4444), PATH.webm?alpha=off (VP9), srt://HOST:PORT,\n"
           "                    udp://HOST:PORT, rtmp://HOST/APP/KEY (H.264), gst:PIPELINE;\n"
           "                    options as ?NAME=VALUE&... (see README); headless without\n"
           "                    --output: none\n"
           "  --key composed|clean\n"
           "                    the alpha that outputs carrying a key send: composed (default)\n"
           "                    is the composed bytes; clean turns alpha 254 into 255, so that\n"
           "                    a downstream keyer sees solid graphics as fully opaque\n"
           "  --media DIR       open the files that commands name in DIR only: relative to "
           "it,\n"
           "                    and never outside it (absolute paths, .. and symbolic links "
           "that\n"
           "                    lead out are refused); use it, and --listen 127.0.0.1 or a\n"
           "                    firewall, when other machines can reach the port\n"
           "  --memory-limit SIZE\n"
           "                    memory that pictures, frames, layers and fonts may take together:\n"
           "                    bytes, or K, M, G, T (512M, 4G); a command that would pass it\n"
           "                    gets ERROR (default: half the machine's physical memory)\n"
           "  --log-format plain|timestamped\n"
           "                    log lines on standard output as they are (plain, the default),\n"
           "                    or each behind its UTC time and level (INFO, WARN, ERROR):\n"
           "                    2026-12-07T02:40:10.123Z INFO Layer 0 set visible.\n"
           "  --threads N       threads that compose each frame, 1 to 64 (default: one per\n"
           "                    processor); the frames are the same with any number\n"
           "  --config FILE     the options from a TOML file, each long option a key of the\n"
           "                    same name (port = 4000, headless = true, output = [\"a.mkv\"]);\n"
           "                    an option on the command line replaces the file's\n"
           "  --commands        print the command reference\n"
           "  render            run a script of command lines offline and write its frames\n"
           "    --png DIR       write each frame as DIR/frame00000.png, frame00001.png, ...\n"
           "    --raw FILE      write each frame's width x height x 4 bytes (B, G, R, A) to FILE,\n"
           "                    which is overwritten\n"
           "  mkfont            make a sprite font (glyph sheet, spacing file, effect sheet)\n"
           "                    from an installed face (kavelin mkfont --help)\n"
           "  send              send the command lines of a file or of standard input to a\n"
           "                    running server and print each reply (kavelin send --help)\n";
}

} // namespace kavelin
