// Commands that start, stop and steer the per-frame animations of layers: sequences, scrollers
// and fades.
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"
#include "image/SaturatingMath.h"

namespace kavelin {

namespace {

// The log line of an animation that cannot start because the layer shows no picture.
CommandResult noImage(CommandContext& c, const char* name, int32_t layer) {
    c.log.log("ERROR (%s) : Layer %d has no image.", name, layer);
    return CommandResult::error();
}

CommandResult setSequenceFrame(CommandContext& c, const Arguments& a) {
    bool set = false;
    int32_t frames = 0;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            set = layer.setFrame(a[1]);
            frames = layer.image() != nullptr ? layer.frameCount() : 0;
        }))
        return CommandResult::error();
    if (!set) {
        c.log.log("ERROR (setSequenceFrame) : Frame %d is not among layer %d's %d frames.", a[1],
                  a[0], frames);
        return CommandResult::error();
    }
    c.log.log("Layer %d sequence set to frame %d.", a[0], a[1]);
    return CommandResult::success();
}

CommandResult sequencePlay(CommandContext& c, const Arguments& a) {
    bool playing = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) { playing = layer.playSequence(a[1]); }))
        return CommandResult::error();
    if (!playing) {
        c.log.log("ERROR (sequencePlay) : Operation failed.");
        return CommandResult::error();
    }
    c.log.log("Playing sequence on layer %d.", a[0]);
    return CommandResult::success();
}

CommandResult sequencePlayRange(CommandContext& c, const Arguments& a) {
    bool playing = false;
    int32_t frames = 0;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            playing = layer.playSequenceRange(a[1], a[2], a[3]);
            frames = layer.image() != nullptr ? layer.frameCount() : 0;
        }))
        return CommandResult::error();
    if (!playing) {
        c.log.log("ERROR (sequencePlayRange) : Frames %d to %d are not among layer %d's %d "
                  "frames.",
                  a[2], a[3], a[0], frames);
        return CommandResult::error();
    }
    c.log.log("Playing sequence on layer %d. (frames %d to %d)", a[0], a[2], a[3]);
    return CommandResult::success();
}

CommandResult setupScroller(CommandContext& c, const Arguments& a) {
    bool set = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            set = layer.setupScroller(a[1], a[2], a[3], a[4], a[5]);
        }))
        return CommandResult::error();
    if (!set) {
        c.log.log("ERROR (setupScroller) : Setup failed.");
        return CommandResult::error();
    }
    c.log.log("Layer %d scroller setup done.", a[0]);
    return CommandResult::success();
}

CommandResult scrollerPlay(CommandContext& c, const Arguments& a) {
    bool playing = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) { playing = layer.scrollerPlay(); }))
        return CommandResult::error();
    if (!playing)
        return noImage(c, "scrollerPlay", a[0]);
    c.log.log("Layer %d scroller playing.", a[0]);
    return CommandResult::success();
}

CommandResult scrollerPlayPixels(CommandContext& c, const Arguments& a) {
    const int32_t count = a[1];
    bool playing = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            playing = count >= 0 && layer.scrollerPlayPixels(count);
        }))
        return CommandResult::error();
    if (count < 0) {
        c.log.log("ERROR (scrollerPlay_n) : Illegal pixel count %d.", count);
        return CommandResult::error();
    }
    if (!playing)
        return noImage(c, "scrollerPlay_n", a[0]);
    c.log.log("Layer %d scroller playing for %d pixels.", a[0], count);
    return CommandResult::success();
}

CommandResult scrollerPlayEx(CommandContext& c, const Arguments& a) {
    const int32_t direction = a[1], speed = a[2], count = a[3];
    bool playing = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            playing = speed >= 1 && count >= 0 && layer.scrollerPlayEx(direction, speed, count);
        }))
        return CommandResult::error();
    if (speed < 1) {
        c.log.log("ERROR (scrollerPlayEx_n) : Illegal speed %d.", speed);
        return CommandResult::error();
    }
    if (count < 0) {
        c.log.log("ERROR (scrollerPlayEx_n) : Illegal pixel count %d.", count);
        return CommandResult::error();
    }
    if (!playing)
        return noImage(c, "scrollerPlayEx_n", a[0]);
    c.log.log("Layer %d scrolling for %d pixels, to direction %d, at speed %d.", a[0], count,
              direction, speed);
    return CommandResult::success();
}

CommandResult scrollerPlayPair(CommandContext& c, const Arguments& a) {
    {
        SharedScene::Access scene = c.scene.forCommand();
        Layer* first = nullptr;
        Layer* second = nullptr;
        if (!findLayers(*scene, c.log, a[0], a[1], first, second))
            return CommandResult::error();
        // Both start, or neither.
        if (first->image() == nullptr || second->image() == nullptr) {
            const int32_t without = first->image() == nullptr ? a[0] : a[1];
            scene.release();
            return noImage(c, "scrollerPlayPair", without);
        }
        first->scrollerPlay();
        second->scrollerPlay();
    }
    c.log.log("Scrollers started on layers %d and %d.", a[0], a[1]);
    return CommandResult::success();
}

CommandResult scrollerStop(CommandContext& c, const Arguments& a) {
    return CommandResult::of(withLayer(c, a[0], [](Layer& layer, auto&) { layer.scrollerStop(); }));
}

CommandResult scrollerRewind(CommandContext& c, const Arguments& a) {
    return CommandResult::of(
        withLayer(c, a[0], [](Layer& layer, auto&) { layer.scrollerRewind(); }));
}

CommandResult scrollerIsPlaying(CommandContext& c, const Arguments& a) {
    bool playing = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) { playing = layer.scrollerIsPlaying(); }))
        return CommandResult::error();
    return CommandResult::number(playing ? 1 : 0);
}

CommandResult fadeLayer(CommandContext& c, const Arguments& a) {
    const int32_t target = a[1], duration = a[2];
    bool fading = false;
    if (!withLayer(c, a[0], [&](Layer& layer, auto&) {
            fading = layer.fadeTo(target, satAdd(duration, duration));
        }))
        return CommandResult::error();
    if (!fading) {
        c.log.log("ERROR (fadeLayer) : fade failed!");
        return CommandResult::error();
    }
    c.log.log("Layer %d fading to %d in %d frames.", a[0], target, duration);
    return CommandResult::success();
}

CommandResult crossFadeLayers(CommandContext& c, const Arguments& a) {
    const int32_t duration = a[2];
    {
        SharedScene::Access scene = c.scene.forCommand();
        Layer* first = nullptr;
        Layer* second = nullptr;
        if (!findLayers(*scene, c.log, a[0], a[1], first, second))
            return CommandResult::error();
        if (duration < 0) {
            scene.release();
            c.log.log("ERROR (crossFadeLayers) : invalid frame count %d.", duration);
            return CommandResult::error();
        }
        const int32_t opacityFirst = first->opacity();
        const int32_t opacitySecond = second->opacity();
        const int32_t steps = satAdd(duration, duration);
        const bool fadedFirst = first->fadeTo(opacitySecond, steps);
        const bool fadedSecond = second->fadeTo(opacityFirst, steps);
        if (!fadedFirst || !fadedSecond) {
            scene.release();
            c.log.log("ERROR (crossFadeLayers) : Crossfade failed!");
            return CommandResult::error();
        }
    }
    c.log.log("Layers %d and %d crossfading in %d frames.", a[0], a[1], duration);
    return CommandResult::success();
}

} // namespace

CommandRows animationCommands() {
    static const CommandRow rows[] = {
        {79,
         {integer("layer"), integer("direction"), integer("start mode"), integer("end mode"),
          integer("loop mode"), integer("speed"), integer("unused")},
         6,
         FreeText::None,
         setupScroller,
         "79 0 0 1 1 0 4 0",
         "OK",
         "scroller: direction, start mode, end mode, loop mode, speed"},
        {80,
         {integer("layer")},
         1,
         FreeText::None,
         scrollerPlay,
         "80 0",
         "OK",
         "start the scroller"},
        {81,
         {integer("layer"), integer("pixels")},
         2,
         FreeText::None,
         scrollerPlayPixels,
         "81 0 300",
         "OK",
         "scroll 300 pixels, then stop"},
        {82,
         {integer("layer")},
         1,
         FreeText::None,
         scrollerStop,
         "82 0",
         "OK",
         "stop the scroller"},
        {83,
         {integer("layer")},
         1,
         FreeText::None,
         scrollerRewind,
         "83 0",
         "OK",
         "move back to the start offset"},
        {88,
         {integer("layer"), integer("opacity"), integer("frames")},
         3,
         FreeText::None,
         fadeLayer,
         "88 0 0 25",
         "OK",
         "fade to opacity 0 in 2 x 25 steps: 25 frames interlaced, 50 progressive"},
        {89,
         {integer("first"), integer("second"), integer("frames")},
         3,
         FreeText::None,
         crossFadeLayers,
         "89 0 1 25",
         "OK",
         "crossfade two layers' opacities in 2 x 25 steps, as 88"},
        {94,
         {integer("first"), integer("second")},
         2,
         FreeText::None,
         scrollerPlayPair,
         "94 0 1",
         "OK",
         "start two scrollers together"},
        {96,
         {integer("layer"), integer("direction")},
         2,
         FreeText::None,
         sequencePlay,
         "96 0 1",
         "OK",
         "play the sequence (negative: backwards)"},
        {97,
         {integer("layer"), integer("direction"), integer("first"), integer("last")},
         4,
         FreeText::None,
         sequencePlayRange,
         "97 0 1 0 24",
         "OK",
         "play frames 0 to 24 once"},
        {98,
         {integer("layer"), integer("frame")},
         2,
         FreeText::None,
         setSequenceFrame,
         "98 0 5",
         "OK",
         "show frame 5"},
        {115,
         {integer("layer")},
         1,
         FreeText::None,
         scrollerIsPlaying,
         "115 0",
         "OK 1",
         "is the scroller playing (1 or 0)"},
        {123,
         {integer("layer"), integer("direction"), integer("speed"), integer("pixels")},
         4,
         FreeText::None,
         scrollerPlayEx,
         "123 0 0 4 300",
         "OK",
         "scroll 300 pixels in a direction at a speed, then stop"},
    };
    return rows;
}

} // namespace kavelin
