// What each media output text becomes: the pipeline behind the frames, its options, and the
// reasons a text is refused. No GStreamer runs here.
#include "outputs/media/MediaPlan.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kavelin;

namespace {

Format format(const char* name) {
    return *parseFormat(name);
}

} // namespace

TEST(MediaPlanTest, FormsAndOptionsBecomeTheirPipelines) {
    struct Case {
        const char* output;
        const char* format;
        MediaKind kind;
        std::vector<const char*> contains;
        std::vector<const char*> lacks;
    };
    const Case cases[] = {
        // BGRA goes into FFV1 untouched; a key frame a second by default.
        {"/tmp/a.mkv",
         "pal",
         MediaKind::Recording,
         {"avenc_ffv1 gop-size=25 ! matroskamux ! filesink location=\"/tmp/a.mkv\""},
         {"videoconvert"}},
        {"rec.MKV?keyint=5", "1080p2997", MediaKind::Recording, {"gop-size=5 "}, {}},
        // ProRes gets 4:4:4:4 forced in front of it; HD is BT.709.
        {"out.mov",
         "1080i50",
         MediaKind::Recording,
         {"video/x-raw,format=A444_10LE,colorimetry=bt709 ! avenc_prores_ks profile=4444 threads=0 "
          "! "
          "qtmux ! filesink location=\"out.mov\""},
         {}},
        {"x.webm?alpha=off&bitrate=2M&keyint=10&preset=good",
         "720p50",
         MediaKind::Recording,
         {"format=I420,colorimetry=bt709 ! vp9enc deadline=1000000 ",
          " target-bitrate=2000000 keyframe-max-dist=10 ! webmmux ! filesink location=\"x.webm\""},
         {}},
        {"x.webm?alpha=off", "pal", MediaKind::Recording, {"deadline=1 cpu-used=8 "}, {}},
        // Paths are quoted for the pipeline and otherwise used as given.
        {"/tmp/a \"b\" \\c !.mkv",
         "pal",
         MediaKind::Recording,
         {"location=\"/tmp/a \\\"b\\\" \\\\c !.mkv\""},
         {}},
        // H.264 for live use, a key frame a second, SD in BT.601; srt calls by default.
        {"srt://10.0.0.5:9000",
         "pal",
         MediaKind::Stream,
         {"videoconvert ! video/x-raw,format=I420,colorimetry=bt601 ! x264enc tune=zerolatency "
          "speed-preset=veryfast bitrate=4000 key-int-max=25 ! h264parse config-interval=-1 ! "
          "mpegtsmux alignment=7 ! srtsink uri=\"srt://10.0.0.5:9000?mode=caller\" "
          "auto-reconnect=false"},
         {}},
        {"srt://:9000?mode=listener&bitrate=4000k&keyint=50&preset=ultrafast",
         "1080p50",
         MediaKind::Stream,
         {"colorimetry=bt709 ", "speed-preset=ultrafast bitrate=4000 key-int-max=50 ",
          "uri=\"srt://:9000?mode=listener\" "},
         {}},
        {"udp://239.0.0.1:5000?bitrate=1500000",
         "1080p5994",
         MediaKind::Stream,
         {"bitrate=1500 key-int-max=60 ", "mpegtsmux alignment=7 ! udpsink host=\"239.0.0.1\" "
                                          "port=5000"},
         {}},
        {"udp://[::1]:5000", "pal", MediaKind::Stream, {"udpsink host=\"::1\" port=5000"}, {}},
        {"rtmp://live.example.com/app/key?keyint=100",
         "720p50",
         MediaKind::Stream,
         {"key-int-max=100 ", "bitrate=8000 ",
          "flvmux streamable=true ! rtmp2sink location=\"rtmp://live.example.com/app/key\""},
         {"?keyint"}},
        // A pipeline of the user's goes in as written.
        {"gst:videoconvert ! x264enc ! filesink location=a.h264?x=1",
         "pal",
         MediaKind::Pipeline,
         {"videoconvert ! x264enc ! filesink location=a.h264?x=1"},
         {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(isMediaOutput(c.output)) << c.output;
        const Result<MediaPlan> plan = planMediaOutput(c.output, format(c.format));
        ASSERT_TRUE(plan.ok()) << c.output << ": " << plan.reason();
        EXPECT_EQ(plan->kind, c.kind) << c.output;
        for (const char* part : c.contains)
            EXPECT_NE(plan->pipeline.find(part), std::string::npos)
                << c.output << " lacks " << part << " in: " << plan->pipeline;
        for (const char* part : c.lacks)
            EXPECT_EQ(plan->pipeline.find(part), std::string::npos)
                << c.output << " has " << part << " in: " << plan->pipeline;
    }
    EXPECT_EQ(planMediaOutput("gst: fakesink", format("pal"))->pipeline, " fakesink");
}

TEST(MediaPlanTest, BadOptionsAndAddressesAreRefusedWithWhatIsWrong) {
    struct Case {
        const char* output;
        const char* reason; // the start of it
    };
    const Case cases[] = {
        {"a.mkv?bitrate=4M", "unknown option 'bitrate' for a .mkv recording; accepted: keyint"},
        {"a.mov?bitrate=4M", "unknown option 'bitrate' for a .mov recording (it takes none)"},
        {"a.webm", "VP9 with alpha cannot be written"},
        {"a.webm?alpha=no", "bad value 'no' for option 'alpha': one of on, off"},
        {"srt://h:9000?mode=rendezvous",
         "bad value 'rendezvous' for option 'mode': one of caller, listener"},
        {"srt://h:9000?bitrate=fast", "bad value 'fast' for option 'bitrate': bits a second"},
        {"srt://h:9000?bitrate=1001M", "bad value '1001M' for option 'bitrate'"},
        {"srt://h:9000?bitrate=99999999999999999999k", "bad value"},
        {"srt://h:9000?keyint=0", "bad value '0' for option 'keyint': a whole number from 1 to"},
        {"srt://h:9000?preset=warp", "bad value 'warp' for option 'preset': one of ultrafast,"},
        {"a.webm?alpha=off&preset=veryfast", "bad value 'veryfast' for option 'preset': one of "
                                             "realtime, good"},
        {"srt://h:9000?bitrate=4M&bitrate=5M", "option 'bitrate' given twice"},
        {"srt://h:9000?bitrate", "option 'bitrate' is not NAME=VALUE"},
        {"srt://h:9000?Bitrate=4M", "unknown option 'Bitrate' for an srt:// stream; accepted: "
                                    "bitrate, keyint, preset, mode"},
        {"udp://h:9000?mode=listener", "unknown option 'mode' for a udp:// stream"},
        {"srt://h", "malformed address 'srt://h': expected srt://HOST:PORT"},
        {"srt://h:0", "malformed address"},
        {"srt://:9000", "malformed address"}, // a caller needs someone to call
        {"udp://h:9000/path", "malformed address 'udp://h:9000/path': expected udp://HOST:PORT, "
                              "without a path"},
        {"rtmp://host/app", "malformed address 'rtmp://host/app': expected rtmp://HOST/APP/KEY"},
        {"gst:", "gst: needs a pipeline"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(isMediaOutput(c.output)) << c.output;
        const Result<MediaPlan> plan = planMediaOutput(c.output, format("pal"));
        ASSERT_FALSE(plan.ok()) << c.output << " gave " << plan->pipeline;
        EXPECT_EQ(plan.reason().rfind(c.reason, 0), 0u) << c.output << ": " << plan.reason();
    }
    // The refusal of VP9 with alpha names the ways that work.
    const std::string webm = planMediaOutput("a.webm", format("pal")).reason();
    for (const char* way : {".mkv", ".mov", "alpha=off"})
        EXPECT_NE(webm.find(way), std::string::npos) << way;
}

TEST(MediaPlanTest, OnlyMediaFormsAreTakenAndFramesEnterAsTheFormatSays) {
    for (const char* other : {"window", "raw:/tmp/a", "out.mp4", ".mkv", "dir/.mov", "mkv",
                              "http://host/a", "srt:/h:9000", "GST:fakesink", "a.mkv.txt"})
        EXPECT_FALSE(isMediaOutput(other)) << other;
    EXPECT_EQ(frameCaps(format("pal")),
              "video/x-raw,format=BGRA,width=720,height=576,framerate=25/1,pixel-aspect-ratio=1/"
              "1,interlace-mode=progressive");
    EXPECT_EQ(frameCaps(format("1080i5994")),
              "video/x-raw,format=BGRA,width=1920,height=1080,framerate=30000/1001,pixel-aspect-"
              "ratio=1/1,interlace-mode=interleaved,field-order=top-field-first");
}
