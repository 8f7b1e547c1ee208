#include "outputs/media/MediaPlan.h"

#include "outputs/media/MediaOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>

namespace kavelin {

namespace {

enum class Form { Mkv, Mov, Webm, Srt, Udp, Rtmp };

constexpr int64_t kMinBitRate = 100'000;
constexpr int64_t kMaxBitRate = 1'000'000'000;
constexpr int64_t kMaxKeyInterval = 100'000;
// The usual choice for live pictures; at 1080p50 it needs more than one core (see
// bench_media_outputs), ultrafast about two thirds of that.
constexpr const char* kDefaultH264Preset = "veryfast";

const std::initializer_list<const char*> kH264Presets = {
    "ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"};
const std::initializer_list<const char*> kVp9Presets = {"realtime", "good"};

// The options of a preset form, defaults filled in.
struct Settings {
    int64_t bitRate = 0;
    int64_t keyInterval = 0;
    std::string preset;
    std::string mode = "caller";
};

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() &&
           std::equal(
               suffix.begin(), suffix.end(), text.end() - std::ptrdiff_t(suffix.size()),
               [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The text before the first '?', and the query after it.
std::pair<std::string_view, std::string_view> splitQuery(std::string_view output) {
    const size_t mark = output.find('?');
    if (mark == std::string_view::npos)
        return {output, {}};
    return {output.substr(0, mark), output.substr(mark + 1)};
}

bool fileForm(std::string_view output, Form& form) {
    const std::string_view path = splitQuery(output).first;
    for (auto [extension, which] : {std::pair{".mkv", Form::Mkv}, std::pair{".mov", Form::Mov},
                                    std::pair{".webm", Form::Webm}})
        if (endsWithNoCase(path, extension) && path.size() > std::string_view(extension).size() &&
            path[path.size() - std::string_view(extension).size() - 1] != '/') {
            form = which;
            return true;
        }
    return false;
}

bool streamForm(std::string_view output, Form& form) {
    for (auto [scheme, which] :
         {std::pair{"srt://", Form::Srt}, std::pair{"udp://", Form::Udp},
          std::pair{"rtmp://", Form::Rtmp}, std::pair{"rtmps://", Form::Rtmp}})
        if (startsWith(output, scheme)) {
            form = which;
            return true;
        }
    return false;
}

// A value for a pipeline description: in double quotes, with '"' and '\' escaped.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// Standard definition is BT.601, limited range; anything larger BT.709.
const char* colorimetry(const Format& format) {
    return format.height <= 576 ? "bt601" : "bt709";
}

int64_t framesPerSecond(const Format& format) {
    const FrameRate& rate = format.rate;
    return std::max<int64_t>(1, (rate.numerator + rate.denominator / 2) / rate.denominator);
}

int64_t defaultBitRate(const Format& format) {
    if (format.height <= 576)
        return 4'000'000;
    return format.height <= 1080 ? 8'000'000 : 20'000'000;
}

// A stream keeps its delay short. A recording rides out the encoder's start and a slow disk
// for up to half a second, within 64 MiB of frames.
unsigned queuedFrames(MediaKind kind, const Format& format) {
    if (kind == MediaKind::Stream)
        return 2;
    const int64_t frameBytes = int64_t{format.width} * format.height * 4;
    const int64_t frames =
        std::min((framesPerSecond(format) + 1) / 2, (int64_t{64} << 20) / frameBytes);
    return unsigned(std::max<int64_t>(2, frames));
}

std::string describe(Form form) {
    switch (form) {
    case Form::Mkv:
        return "a .mkv recording";
    case Form::Mov:
        return "a .mov recording";
    case Form::Webm:
        return "a .webm recording";
    case Form::Srt:
        return "an srt:// stream";
    case Form::Udp:
        return "a udp:// stream";
    case Form::Rtmp:
        return "an rtmp:// stream";
    }
    return "this output";
}

Error vp9AlphaRefused() {
    return failure("VP9 with alpha cannot be written: this system's GStreamer (1.22) has no WebM "
                   "writer for the alpha channel; record to .mkv (FFV1) or .mov (ProRes 4444) to "
                   "keep alpha, or add ?alpha=off for VP9 without it");
}

// Reads the query of a preset form: only the options the form takes, each checked.
Result<Settings> readSettings(std::string_view query, Form form, const Format& format) {
    std::vector<const char*> accepted;
    switch (form) {
    case Form::Mkv:
        accepted = {"keyint"};
        break;
    case Form::Mov:
        break;
    case Form::Webm:
        accepted = {"alpha", "bitrate", "keyint", "preset"};
        break;
    case Form::Srt:
        accepted = {"bitrate", "keyint", "preset", "mode"};
        break;
    case Form::Udp:
    case Form::Rtmp:
        accepted = {"bitrate", "keyint", "preset"};
        break;
    }
    Result<std::vector<MediaOption>> options = splitMediaOptions(query);
    if (!options)
        return options.error();
    Settings settings;
    settings.bitRate = defaultBitRate(format);
    settings.keyInterval = framesPerSecond(format);
    settings.preset = form == Form::Webm ? "realtime" : kDefaultH264Preset;
    bool alphaOff = false;
    for (const MediaOption& option : *options) {
        if (std::find_if(accepted.begin(), accepted.end(),
                         [&](const char* name) { return option.name == name; }) == accepted.end()) {
            std::string list;
            for (const char* name : accepted)
                list += (list.empty() ? "" : ", ") + std::string(name);
            return failure("unknown option '" + option.name + "' for " + describe(form) +
                           (list.empty() ? " (it takes none)" : "; accepted: " + list));
        }
        if (option.name == "bitrate") {
            Result<int64_t> value = parseBitRate(option, kMinBitRate, kMaxBitRate);
            if (!value)
                return value.error();
            settings.bitRate = *value;
        } else if (option.name == "keyint") {
            Result<int64_t> value = parseCount(option, 1, kMaxKeyInterval);
            if (!value)
                return value.error();
            settings.keyInterval = *value;
        } else if (option.name == "preset") {
            Result<std::string> value =
                parseChoice(option, form == Form::Webm ? kVp9Presets : kH264Presets);
            if (!value)
                return value.error();
            settings.preset = *value;
        } else if (option.name == "mode") {
            Result<std::string> value = parseChoice(option, {"caller", "listener"});
            if (!value)
                return value.error();
            settings.mode = *value;
        } else if (option.name == "alpha") {
            Result<std::string> value = parseChoice(option, {"on", "off"});
            if (!value)
                return value.error();
            alphaOff = *value == "off";
        }
    }
    if (form == Form::Webm && !alphaOff)
        return vp9AlphaRefused();
    return settings;
}

// Y'CbCr 4:2:0 of the format's colorimetry, into H.264 for live use: no frame waits for a later
// one, and every key frame carries the parameter sets so that a receiver can join at any.
std::string h264(const Settings& settings, const Format& format) {
    return std::string("videoconvert ! video/x-raw,format=I420,colorimetry=") +
           colorimetry(format) + " ! x264enc tune=zerolatency speed-preset=" + settings.preset +
           " bitrate=" + std::to_string(settings.bitRate / 1000) +
           " key-int-max=" + std::to_string(settings.keyInterval) +
           " ! h264parse config-interval=-1";
}

struct Address {
    std::string host; // without IPv6 brackets
    bool bracketed = false;
    int64_t port = 0;
};

// HOST:PORT or [IPV6]:PORT, the host left out only where `hostOptional`.
Result<Address> parseAddress(std::string_view target, std::string_view scheme, bool hostOptional) {
    const std::string_view text = target.substr(scheme.size());
    const Error malformed = failure("malformed address '" + std::string(target) + "': expected " +
                                    std::string(scheme) + "HOST:PORT with PORT from 1 to 65535");
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return malformed;
    Address address;
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        address.bracketed = true;
    } else if (host.find_first_of("[]:/@") != std::string_view::npos) {
        return malformed;
    }
    const std::string_view port = text.substr(colon + 1);
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), address.port);
    if (ec != std::errc() || end != port.data() + port.size() || address.port < 1 ||
        address.port > 65535 || (host.empty() && !hostOptional) || host.find(' ') != host.npos)
        return malformed;
    address.host = std::string(host);
    return address;
}

Result<MediaPlan> planStream(Form form, std::string_view output, const Format& format) {
    const auto [target, query] = splitQuery(output);
    Result<Settings> settings = readSettings(query, form, format);
    if (!settings)
        return settings.error();
    const std::string_view scheme = target.substr(0, target.find("://") + 3);
    const std::string_view rest = target.substr(scheme.size());
    MediaPlan plan{MediaKind::Stream, h264(*settings, format),
                   queuedFrames(MediaKind::Stream, format)};
    if (form == Form::Rtmp) {
        // rtmp://HOST[:PORT]/APP/KEY
        const size_t slash = rest.find('/');
        const size_t keySlash = slash == std::string_view::npos ? slash : rest.find('/', slash + 1);
        if (slash == 0 || keySlash == std::string_view::npos || keySlash == slash + 1 ||
            keySlash + 1 == rest.size() || rest.find(' ') != std::string_view::npos)
            return failure("malformed address '" + std::string(target) + "': expected " +
                           std::string(scheme) + "HOST/APP/KEY");
        plan.pipeline +=
            " ! flvmux streamable=true ! rtmp2sink location=" + quoted(target) + " sync=false";
        return plan;
    }
    if (rest.find('/') != std::string_view::npos)
        return failure("malformed address '" + std::string(target) + "': expected " +
                       std::string(scheme) + "HOST:PORT, without a path");
    const bool listener = settings->mode == "listener";
    Result<Address> address = parseAddress(target, scheme, form == Form::Srt && listener);
    if (!address)
        return address.error();
    const std::string port = std::to_string(address->port);
    // Seven transport-stream packets fill one datagram.
    plan.pipeline += " ! mpegtsmux alignment=7 ! ";
    if (form == Form::Udp) {
        plan.pipeline += "udpsink host=" + quoted(address->host) + " port=" + port + " sync=false";
    } else {
        const std::string host = address->bracketed ? "[" + address->host + "]" : address->host;
        // Reconnection is ours (logged, counted): the sink reports a lost receiver instead of
        // trying again by itself. A listener drops frames while no caller is there.
        // The sink takes its mode from the address only.
        plan.pipeline +=
            "srtsink uri=" + quoted("srt://" + host + ":" + port + "?mode=" + settings->mode) +
            " auto-reconnect=false wait-for-connection=false sync=false";
    }
    return plan;
}

Result<MediaPlan> planRecording(Form form, std::string_view output, const Format& format) {
    const auto [path, query] = splitQuery(output);
    Result<Settings> settings = readSettings(query, form, format);
    if (!settings)
        return settings.error();
    std::string encode;
    switch (form) {
    case Form::Mkv:
        // FFV1 takes BGRA as it is and keeps every byte, alpha included.
        encode = "avenc_ffv1 gop-size=" + std::to_string(settings->keyInterval) + " ! matroskamux";
        break;
    case Form::Mov:
        // Without 4:4:4:4 in front of it the ProRes encoder quietly makes 4:2:2 without alpha.
        // Both steps are costly (a 1080 frame takes longer than a period on one core) and
        // share the work among every core.
        encode = std::string("videoconvert n-threads=0 ! video/x-raw,format=A444_10LE,") +
                 "colorimetry=" + colorimetry(format) +
                 " ! avenc_prores_ks profile=4444 threads=0 ! qtmux";
        break;
    default:
        encode = std::string("videoconvert ! video/x-raw,format=I420,colorimetry=") +
                 colorimetry(format) + " ! vp9enc " +
                 (settings->preset == "realtime" ? "deadline=1 cpu-used=8"
                                                 : "deadline=1000000 cpu-used=4") +
                 " lag-in-frames=0 row-mt=true end-usage=cbr target-bitrate=" +
                 std::to_string(settings->bitRate) +
                 " keyframe-max-dist=" + std::to_string(settings->keyInterval) + " ! webmmux";
        break;
    }
    return MediaPlan{MediaKind::Recording, encode + " ! filesink location=" + quoted(path),
                     queuedFrames(MediaKind::Recording, format)};
}

} // namespace

bool isMediaOutput(std::string_view output) {
    Form form;
    return startsWith(output, "gst:") || streamForm(output, form) || fileForm(output, form);
}

Result<MediaPlan> planMediaOutput(std::string_view output, const Format& format) {
    Form form;
    if (startsWith(output, "gst:")) {
        const std::string_view pipeline = output.substr(4);
        if (pipeline.find_first_not_of(" \t") == std::string_view::npos)
            return failure("gst: needs a pipeline after it (gst:ELEMENT ! ELEMENT ...)");
        return MediaPlan{MediaKind::Pipeline, std::string(pipeline),
                         queuedFrames(MediaKind::Pipeline, format)};
    }
    if (streamForm(output, form))
        return planStream(form, output, format);
    if (fileForm(output, form))
        return planRecording(form, output, format);
    return failure("unknown output '" + std::string(output) + "'");
}

std::string frameCaps(const Format& format) {
    return "video/x-raw,format=BGRA,width=" + std::to_string(format.width) +
           ",height=" + std::to_string(format.height) +
           ",framerate=" + std::to_string(format.rate.numerator) + "/" +
           std::to_string(format.rate.denominator) + ",pixel-aspect-ratio=1/1" +
           (format.interlaced ? ",interlace-mode=interleaved,field-order=top-field-first"
                              : ",interlace-mode=progressive");
}

} // namespace kavelin
